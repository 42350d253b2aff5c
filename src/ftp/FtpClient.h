#pragma once
// Our FTP client: a control connection over Winsock and one data connection per listing or transfer.
// A command whose text holds CR, LF or a zero is never sent; a reply of more than 1,000 lines or 64 KiB
// ends the session, and a listing of more than 64 MiB is refused.
// It offers the operations the transfer passes need: directories, listings, and files read or written
// in chunks.

#include "ftp/FtpListing.h"
#include "ftp/FtpReply.h"
#include "ftp/Socket.h"
#include "ftp/TlsSession.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Certificates the system does not trust, remembered by their SHA-256 fingerprint per server and port on
// first use; a later connection must show the same one.
class CertificatePins {
 public:
  virtual ~CertificatePins() = default;
  [[nodiscard]] virtual std::optional<std::string> Find(const std::string& serverAndPort) = 0;
  virtual void Remember(const std::string& serverAndPort, const std::string& fingerprint) = 0;
};

struct FtpConnectOptions {
  WideString server;
  uint16_t port = 21;
  WideString user;
  WideString password;
  bool passive = true;
  DWORD timeoutMs = 30000;
  bool useTls = false;                // FTPS: AUTH TLS before the credentials, protected data connections
  CertificatePins* pins = nullptr;    // where untrusted certificates are remembered; none: refuse them
};

class FtpClient {
 public:
  FtpClient() = default;
  ~FtpClient() { Close(); }
  FtpClient(const FtpClient&) = delete;
  FtpClient& operator=(const FtpClient&) = delete;

  // Connects, logs in, learns the server's features, switches to UTF-8 names where offered and to binary
  // transfers. On failure lastReply() holds what the server said, if anything.
  [[nodiscard]] bool Connect(const FtpConnectOptions& options);
  // Says goodbye and closes the connections.
  void Close();
  // From another thread: breaks off whatever the client is waiting for.
  void Abort();

  [[nodiscard]] bool QueryCurrentDirectory(WideString& directory);
  [[nodiscard]] bool ChangeDirectory(WideView directory);
  [[nodiscard]] bool MakeDirectory(WideView directory);
  [[nodiscard]] bool RemoveRemoteDirectory(WideView directory);
  [[nodiscard]] bool DeleteRemoteFile(WideView path);
  // RNFR/RNTO; most servers replace an existing target.
  [[nodiscard]] bool Rename(WideView from, WideView to);
  // The size of a remote file in bytes (SIZE); nothing when the server cannot tell.
  [[nodiscard]] std::optional<uint64_t> QuerySize(WideView path);

  // The entries of a directory, without "." and "..". False when the directory cannot be entered or
  // listed; an empty directory gives true and no entries. A line in no format the client knows is left
  // out, and the first such line is kept in notUnderstood: the listing is then incomplete.
  [[nodiscard]] bool List(WideView directory, std::vector<FtpFindRecord>& entries, std::string* notUnderstood = nullptr);

  // One transfer at a time: open, read or write chunks, then finish (true when the server confirms the
  // whole file) or abandon it.
  [[nodiscard]] bool OpenForReading(WideView path);
  [[nodiscard]] bool OpenForWriting(WideView path);
  // Bytes read into buffer, 0 at the end of the file, -1 on failure.
  [[nodiscard]] int Read(void* buffer, size_t size);
  [[nodiscard]] bool Write(const void* data, size_t size);
  [[nodiscard]] bool FinishTransfer();
  void AbandonTransfer();

  // Sets a file's modification time (UTC): MFMT, or "MDTM time path", or SITE UTIME, whichever the server
  // takes; false when it takes none.
  [[nodiscard]] bool SetModificationTime(WideView path, const FILETIME& utcTime);
  [[nodiscard]] bool hasMfmt() const { return mfmt_; }
  // False once the control connection broke, timed out or the server announced its end (421).
  [[nodiscard]] bool IsConnected() const { return control_.IsOpen(); }

  [[nodiscard]] const FtpReply& lastReply() const { return lastReply_; }
  // Why the last Connect failed beyond what the server said (a refused TLS, a changed certificate).
  [[nodiscard]] const WideString& failureReason() const { return failureReason_; }
  [[nodiscard]] bool usesUtf8() const { return utf8_; }
  // Whether a name reaches this server exactly: no line break or zero, and, without UTF-8, nothing the
  // ANSI code page cannot hold.
  [[nodiscard]] bool CanSendName(WideView name) const;
  [[nodiscard]] bool hasMlsd() const { return mlsd_; }
  // Whether a listing came in the DOS format of Windows servers, which fold the case of names.
  [[nodiscard]] bool ListsLikeWindows() const { return windowsListing_; }
  // Whether the last List failed because the listing was larger than any folder's can be.
  [[nodiscard]] bool listingTooLarge() const { return listingTooLarge_; }

 private:
  [[nodiscard]] bool ReadReply(FtpReply& reply);
  [[nodiscard]] bool Command(const std::string& line, FtpReply& reply);
  [[nodiscard]] bool CommandExpect(const std::string& line, int expectedClass);
  [[nodiscard]] std::string Encode(WideView path) const;
  [[nodiscard]] bool OpenDataConnection(Socket& listening);
  [[nodiscard]] bool StartTransfer(const std::string& command);
  [[nodiscard]] bool ReadDataLines(std::vector<std::string>& lines);
  [[nodiscard]] bool StartTls();
  [[nodiscard]] bool CertificateAccepted(TlsSession& session);
  [[nodiscard]] bool ControlSend(const std::string& text);
  [[nodiscard]] int ControlReceive(char* buffer, size_t size);

  Socket control_;
  Socket data_;
  std::string pending_;  // received control bytes not yet consumed
  FtpReply lastReply_;
  FtpConnectOptions options_;
  bool utf8_ = false;
  bool mlsd_ = false;
  bool mfmt_ = false;
  bool siteUtime_ = false;
  enum class TimeSetter { kUnknown, kMdtm, kSiteUtime, kNone } timeSetter_ = TimeSetter::kUnknown;
  bool epsvRefused_ = false;
  bool transferOpen_ = false;
  bool windowsListing_ = false;
  bool listingTooLarge_ = false;
  bool uploading_ = false;
  TlsCredentials credentials_;
  std::unique_ptr<TlsSession> controlTls_;
  std::unique_ptr<TlsSession> dataTls_;
  WideString failureReason_;
};
