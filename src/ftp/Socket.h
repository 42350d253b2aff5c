#pragma once
// A TCP connection over Winsock with time-outs on connect and on every read and write, which another
// thread can break off (Abort) to unblock a call that waits for a dead server. Only the owning thread
// closes the handle: a handle value closed under another thread's send or recv could be reused by the
// next connection, and that call would then read or write someone else's data.

#include "base/WideString.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Starts Winsock once for the process.
bool StartWinsock();

// A control connection carries short commands and replies; a data connection carries a file or listing.
enum class SocketUse { kControl, kData };

class Socket {
 public:
  Socket() = default;
  explicit Socket(SOCKET handle) : handle_(handle) {}
  ~Socket() { Close(); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  // Moves happen on the owning thread; an Abort meanwhile meets either no handle or the new one.
  Socket(Socket&& other) noexcept : handle_(other.handle_.exchange(INVALID_SOCKET)), aborted_(other.aborted_.load()) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      Close();
      aborted_ = other.aborted_.load();
      handle_ = other.handle_.exchange(INVALID_SOCKET);
    }
    return *this;
  }

  // Connects to host:port within timeoutMs; afterwards every read and write waits at most timeoutMs.
  [[nodiscard]] bool Connect(const std::string& host, uint16_t port, DWORD timeoutMs);
  [[nodiscard]] bool Connect(const sockaddr_storage& address, DWORD timeoutMs, SocketUse use);
  // Listens on the local address of another connection, on a free port (active-mode data connections).
  [[nodiscard]] bool ListenBeside(const Socket& control);
  [[nodiscard]] Socket Accept(DWORD timeoutMs);

  [[nodiscard]] bool SendAll(const void* data, size_t size);
  // Bytes received (0 at the end of the stream), or -1 on failure or time-out.
  [[nodiscard]] int Receive(void* data, size_t size);

  [[nodiscard]] bool PeerAddress(sockaddr_storage& address) const;
  [[nodiscard]] bool LocalAddress(sockaddr_storage& address) const;
  // False once closed or aborted.
  [[nodiscard]] bool IsOpen() const { return handle_.load() != INVALID_SOCKET && !aborted_.load(); }
  [[nodiscard]] SOCKET handle() const { return handle_.load(); }

  // Ends the connection at once, from any thread; a call blocked in it on another thread returns with a
  // failure, and every later one fails at once. The handle stays open until the owner closes it.
  void Abort();
  // On the owning thread only.
  void Close();

 private:
  void SetTimeouts(DWORD timeoutMs);
  std::atomic<SOCKET> handle_{INVALID_SOCKET};
  std::atomic<bool> aborted_{false};
  std::mutex closing_;  // an Abort never meets a handle that is being closed
};
