#include "ftp/FtpClient.h"

#include <ctime>

namespace {

constexpr size_t kMaxLineLength = 64 * 1024;

std::string PortArgument(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&v4.sin_addr);
    uint16_t port = ntohs(v4.sin_port);
    return "PORT " + std::to_string(bytes[0]) + "," + std::to_string(bytes[1]) + "," + std::to_string(bytes[2]) +
           "," + std::to_string(bytes[3]) + "," + std::to_string(port >> 8) + "," + std::to_string(port & 0xFF);
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
  char text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
  return std::string("EPRT |2|") + text + "|" + std::to_string(ntohs(v6.sin6_port)) + "|";
}

void SetPort(sockaddr_storage& address, uint16_t port) {
  if (address.ss_family == AF_INET) reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
  else reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
}

}  // namespace

bool FtpClient::ReadReply(FtpReply& reply) {
  FtpReplyAssembler assembler;
  while (true) {
    size_t end = pending_.find('\n');
    if (end == std::string::npos) {
      if (pending_.size() > kMaxLineLength) return false;
      char buffer[4096];
      int got = control_.Receive(buffer, sizeof(buffer));
      if (got <= 0) return false;
      pending_.append(buffer, static_cast<size_t>(got));
      continue;
    }
    std::string_view line(pending_.data(), end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    bool complete = assembler.AddLine(line);
    pending_.erase(0, end + 1);
    if (complete) {
      reply = assembler.Take();
      lastReply_ = reply;
      return reply.code != 0;
    }
  }
}

bool FtpClient::Command(const std::string& line, FtpReply& reply) {
  std::string sent = line + "\r\n";
  if (!control_.SendAll(sent.data(), sent.size())) return false;
  return ReadReply(reply);
}

bool FtpClient::CommandExpect(const std::string& line, int expectedClass) {
  FtpReply reply;
  return Command(line, reply) && reply.code / 100 == expectedClass;
}

std::string FtpClient::Encode(WideView path) const { return utf8_ ? text::ToUtf8(path) : text::ToAnsi(path); }

bool FtpClient::Connect(const FtpConnectOptions& options) {
  Close();
  options_ = options;
  utf8_ = mlsd_ = epsvRefused_ = false;
  pending_.clear();
  if (!control_.Connect(text::ToUtf8(options.server), options.port, options.timeoutMs)) return false;

  FtpReply reply;
  // A server may send 1xx before its greeting.
  do {
    if (!ReadReply(reply)) return false;
  } while (reply.IsPreliminary());
  if (!reply.IsCompletion()) return false;

  if (!Command("USER " + text::ToUtf8(options.user), reply)) return false;
  if (reply.IsIntermediate() && !Command("PASS " + text::ToUtf8(options.password), reply)) return false;
  if (!reply.IsCompletion()) return false;

  FtpReply features;
  if (Command("FEAT", features)) {
    auto list = ParseFeatures(features);
    mlsd_ = HasFeature(list, "MLST");
    // Only where the server offers UTF-8 is it asked for; a refusal is no reason to give up.
    if (HasFeature(list, "UTF8")) {
      FtpReply ignored;
      utf8_ = Command("OPTS UTF8 ON", ignored);
    }
  }
  return CommandExpect("TYPE I", 2);
}

void FtpClient::Close() {
  AbandonTransfer();
  if (control_.IsOpen()) {
    FtpReply ignored;
    std::string quit = "QUIT\r\n";
    if (control_.SendAll(quit.data(), quit.size())) (void)ReadReply(ignored);
  }
  control_.Close();
}

void FtpClient::Abort() {
  data_.Abort();
  control_.Abort();
}

bool FtpClient::QueryCurrentDirectory(WideString& directory) {
  FtpReply reply;
  if (!Command("PWD", reply) || reply.code != 257) return false;
  auto quoted = ParseQuotedDirectory(reply.text);
  if (!quoted) return false;
  directory = utf8_ ? text::FromUtf8(*quoted) : text::FromAnsi(*quoted);
  return true;
}

bool FtpClient::ChangeDirectory(WideView directory) { return CommandExpect("CWD " + Encode(directory), 2); }
bool FtpClient::MakeDirectory(WideView directory) { return CommandExpect("MKD " + Encode(directory), 2); }
bool FtpClient::RemoveRemoteDirectory(WideView directory) { return CommandExpect("RMD " + Encode(directory), 2); }
bool FtpClient::DeleteRemoteFile(WideView path) { return CommandExpect("DELE " + Encode(path), 2); }

bool FtpClient::Rename(WideView from, WideView to) {
  return CommandExpect("RNFR " + Encode(from), 3) && CommandExpect("RNTO " + Encode(to), 2);
}

bool FtpClient::OpenDataConnection(Socket& listening) {
  sockaddr_storage peer{};
  if (!control_.PeerAddress(peer)) return false;
  if (options_.passive) {
    FtpReply reply;
    std::optional<uint16_t> port;
    if (!epsvRefused_) {
      if (!Command("EPSV", reply)) return false;
      if (reply.code == 229) port = ParseEpsvPort(reply.text);
      else epsvRefused_ = true;
    }
    if (!port) {
      if (!Command("PASV", reply) || reply.code != 227) return false;
      port = ParsePasvPort(reply.text);
    }
    if (!port) return false;
    // The data connection goes to the control connection's peer whatever address a PASV reply names:
    // servers behind NAT name private addresses, and a hostile one could name somebody else's.
    SetPort(peer, *port);
    return data_.Connect(peer, options_.timeoutMs);
  }
  if (!listening.ListenBeside(control_)) return false;
  sockaddr_storage local{};
  if (!listening.LocalAddress(local)) return false;
  return CommandExpect(PortArgument(local), 2);
}

bool FtpClient::StartTransfer(const std::string& command) {
  AbandonTransfer();
  Socket listening;
  if (!OpenDataConnection(listening)) return false;
  FtpReply reply;
  if (!Command(command, reply) || !reply.IsPreliminary()) {
    data_.Close();
    return false;
  }
  if (!options_.passive) {
    data_ = listening.Accept(options_.timeoutMs);
    if (!data_.IsOpen()) return false;
  }
  transferOpen_ = true;
  return true;
}

bool FtpClient::FinishTransfer() {
  if (!transferOpen_) return false;
  transferOpen_ = false;
  data_.Close();
  FtpReply reply;
  return ReadReply(reply) && reply.IsCompletion();
}

void FtpClient::AbandonTransfer() {
  if (!transferOpen_) return;
  transferOpen_ = false;
  data_.Close();
  // The server answers the broken transfer (426 or 451, sometimes 226); read it so that the next
  // command meets its own reply.
  FtpReply ignored;
  (void)ReadReply(ignored);
}

bool FtpClient::ReadDataLines(std::vector<std::string>& lines) {
  std::string buffer;
  char chunk[16384];
  while (true) {
    int got = data_.Receive(chunk, sizeof(chunk));
    if (got < 0) return false;
    if (got == 0) break;
    buffer.append(chunk, static_cast<size_t>(got));
  }
  size_t at = 0;
  while (at < buffer.size()) {
    size_t end = buffer.find('\n', at);
    if (end == std::string::npos) end = buffer.size();
    std::string line = buffer.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    at = end + 1;
  }
  return true;
}

bool FtpClient::List(WideView directory, std::vector<FtpFindRecord>& entries) {
  entries.clear();
  // Entering the directory first tells a missing one from an empty one: some servers answer a listing
  // of a missing directory with an empty success.
  if (!ChangeDirectory(directory)) return false;
  std::vector<std::string> lines;
  bool listed = false;
  if (mlsd_) {
    listed = StartTransfer("MLSD") && ReadDataLines(lines) && FinishTransfer();
  } else {
    listed = StartTransfer("LIST -a") && ReadDataLines(lines) && FinishTransfer();
    if (!listed) {
      lines.clear();
      listed = StartTransfer("LIST") && ReadDataLines(lines) && FinishTransfer();
    }
  }
  if (!listed) return false;
  std::time_t now = std::time(nullptr);
  std::tm calendar{};
  gmtime_s(&calendar, &now);
  for (const auto& line : lines) {
    auto record = mlsd_ ? ParseMlsdLine(line) : ParseListLine(line, calendar.tm_year + 1900, calendar.tm_mon + 1);
    if (record) entries.push_back(std::move(*record));
  }
  return true;
}

bool FtpClient::OpenForReading(WideView path) { return StartTransfer("RETR " + Encode(path)); }
bool FtpClient::OpenForWriting(WideView path) { return StartTransfer("STOR " + Encode(path)); }

int FtpClient::Read(void* buffer, size_t size) {
  if (!transferOpen_) return -1;
  return data_.Receive(buffer, size);
}

bool FtpClient::Write(const void* data, size_t size) { return transferOpen_ && data_.SendAll(data, size); }
