#pragma once
// TLS over a connected socket through SChannel: the client handshake, encrypted sends and receives, and
// the close_notify alert. Certificates are checked by the caller (manual validation), which learns here
// whether the system trusts the server's chain and what its SHA-256 fingerprint is.

#include "base/WideString.h"
#include "ftp/Socket.h"

#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <memory>
#include <string>
#include <vector>

// The client credentials, shared by the control connection and its data connections (with the same
// target name) so that servers requiring the data connection to resume the control connection's TLS
// session are satisfied on Windows. Wine's SChannel never resumes sessions, so such servers cannot be
// tested here.
class TlsCredentials {
 public:
  TlsCredentials() = default;
  ~TlsCredentials();
  TlsCredentials(const TlsCredentials&) = delete;
  TlsCredentials& operator=(const TlsCredentials&) = delete;

  [[nodiscard]] bool Acquire();
  [[nodiscard]] CredHandle* get() { return valid_ ? &handle_ : nullptr; }

 private:
  CredHandle handle_{};
  bool valid_ = false;
};

class TlsSession {
 public:
  TlsSession() = default;
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  [[nodiscard]] bool Handshake(Socket& socket, TlsCredentials& credentials, const WideString& targetName);
  [[nodiscard]] bool Send(Socket& socket, const void* data, size_t size);
  // Plain bytes received, 0 when the peer closed the session (close_notify or end of stream), -1 on failure.
  [[nodiscard]] int Receive(Socket& socket, void* data, size_t size);
  // Tells the peer that nothing more comes (close_notify), as an upload's end must be told.
  void SendCloseNotify(Socket& socket);

  // Hex SHA-256 of the server's certificate, empty when there is none.
  [[nodiscard]] std::string PeerFingerprint() const;
  // Whether the system trusts the server's certificate chain for this host name.
  [[nodiscard]] bool PeerTrusted(const WideString& hostName) const;

 private:
  [[nodiscard]] bool ReadMore(Socket& socket);
  bool readFailed_ = false;  // the last ReadMore met an error or a timeout, not the peer's orderly close

  CtxtHandle context_{};
  bool contextValid_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<char> encrypted_;  // received, not yet decrypted
  std::string plain_;            // decrypted, not yet handed out
  bool closed_ = false;
};
