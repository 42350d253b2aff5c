#include "ftp/Socket.h"


bool StartWinsock() {
  static bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

void Socket::SetTimeouts(DWORD timeoutMs) {
  SOCKET socket = handle_.load();
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof(timeoutMs));
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof(timeoutMs));
}

bool Socket::Connect(const std::string& host, uint16_t port, DWORD timeoutMs) {
  if (!StartWinsock()) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) return false;
  bool connected = false;
  for (addrinfo* candidate = found; candidate && !connected; candidate = candidate->ai_next) {
    sockaddr_storage address{};
    memcpy(&address, candidate->ai_addr, candidate->ai_addrlen);
    connected = Connect(address, timeoutMs, SocketUse::kControl);
  }
  freeaddrinfo(found);
  return connected;
}

bool Socket::Connect(const sockaddr_storage& address, DWORD timeoutMs, SocketUse use) {
  if (!StartWinsock()) return false;
  Close();
  SOCKET socket = ::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return false;
  handle_ = socket;
  // Connect without blocking, then wait for it at most timeoutMs: a dead server never hangs the run.
  u_long nonBlocking = 1;
  ioctlsocket(socket, FIONBIO, &nonBlocking);
  int length = address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  if (connect(socket, reinterpret_cast<const sockaddr*>(&address), length) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    Close();
    return false;
  }
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  if (select(0, nullptr, &writable, &failed, &wait) != 1 || !FD_ISSET(socket, &writable)) {
    Close();
    return false;
  }
  u_long blocking = 0;
  ioctlsocket(socket, FIONBIO, &blocking);
  SetTimeouts(timeoutMs);
  // Segments go out at once: a command must not wait for an acknowledgement, and neither must the tail of
  // a chunk.
  BOOL noDelay = TRUE;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay));
  // Large buffers keep a fast link full between two chunks of the copy loop; a control connection carries
  // short commands and needs none (under Wine every option is a round trip to the wineserver).
  if (use == SocketUse::kData) {
    int bufferSize = 1 << 20;
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bufferSize), sizeof(bufferSize));
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferSize), sizeof(bufferSize));
  }
  return true;
}

bool Socket::ListenBeside(const Socket& control) {
  sockaddr_storage address{};
  if (!control.LocalAddress(address)) return false;
  if (address.ss_family == AF_INET) reinterpret_cast<sockaddr_in&>(address).sin_port = 0;
  else reinterpret_cast<sockaddr_in6&>(address).sin6_port = 0;
  Close();
  SOCKET socket = ::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return false;
  handle_ = socket;
  int length = address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  if (bind(socket, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(socket, 1) != 0) {
    Close();
    return false;
  }
  return true;
}

Socket Socket::Accept(DWORD timeoutMs) {
  SOCKET listening = handle_.load();
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(listening, &readable);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  if (select(0, &readable, nullptr, nullptr, &wait) != 1) return Socket();
  Socket accepted(accept(listening, nullptr, nullptr));
  if (accepted.IsOpen()) accepted.SetTimeouts(timeoutMs);
  return accepted;
}

bool Socket::SendAll(const void* data, size_t size) {
  if (aborted_.load()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    int sent = send(handle_.load(), bytes, static_cast<int>(std::min<size_t>(size, 1 << 21)), 0);
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

int Socket::Receive(void* data, size_t size) {
  if (aborted_.load()) return -1;
  int got = recv(handle_.load(), static_cast<char*>(data), static_cast<int>(std::min<size_t>(size, 1 << 30)), 0);
  return got < 0 ? -1 : got;
}

bool Socket::PeerAddress(sockaddr_storage& address) const {
  int length = sizeof(address);
  return getpeername(handle_.load(), reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

bool Socket::LocalAddress(sockaddr_storage& address) const {
  int length = sizeof(address);
  return getsockname(handle_.load(), reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

void Socket::Abort() {
  std::lock_guard<std::mutex> lock(closing_);
  SOCKET socket = handle_.load();
  if (socket == INVALID_SOCKET) return;
  aborted_ = true;
  // The shutdown fails every call that comes later; a recv or send already blocked is woken by cancelling
  // its I/O (shutdown alone does not wake it under Wine).
  shutdown(socket, SD_BOTH);
  CancelIoEx(reinterpret_cast<HANDLE>(socket), nullptr);
}

void Socket::Close() {
  std::lock_guard<std::mutex> lock(closing_);
  SOCKET socket = handle_.exchange(INVALID_SOCKET);
  aborted_ = false;
  if (socket != INVALID_SOCKET) closesocket(socket);
}
