#include "ftp/FtpClient.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace {

constexpr size_t kMaxLineLength = 64 * 1024;
// A reply longer than this is no reply but a server gone wrong (or hostile): it ends the session.
constexpr size_t kMaxReplyBytes = 64 * 1024;
constexpr size_t kMaxReplyLines = 1000;
// A listing of a million entries is about 100 MiB in MLSD; more than this is no folder's listing but a
// server that would exhaust the memory of a 32-bit process.
constexpr size_t kMaxListingBytes = 64u << 20;

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

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

// Lines a listing holds besides its entries: "total 12", the folder itself and its parent.
bool IsIgnorableListingLine(std::string_view line, bool mlsd) {
  if (mlsd) {
    for (std::string_view fact : {"type=cdir", "type=pdir"}) {
      for (size_t at = 0; at + fact.size() <= line.size(); ++at) {
        if (StartsWithNoCase(line.substr(at), fact)) return true;
      }
    }
    return false;
  }
  if (StartsWithNoCase(line, "total ") && line.find_first_not_of("0123456789 ", 6) == std::string_view::npos) return true;
  return line.size() >= 2 && (line.substr(line.size() - 2) == " ." || (line.size() >= 3 && line.substr(line.size() - 3) == " .."));
}

void SetPort(sockaddr_storage& address, uint16_t port) {
  if (address.ss_family == AF_INET) reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
  else reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
}

}  // namespace

bool FtpClient::ReadReply(FtpReply& reply) {
  FtpReplyAssembler assembler;
  size_t lines = 0, bytes = 0;
  while (true) {
    size_t end = pending_.find('\n');
    if (end == std::string::npos) {
      char buffer[4096];
      int got = pending_.size() > kMaxLineLength ? -1 : ControlReceive(buffer, sizeof(buffer));
      if (got <= 0) {
        // A connection that broke or timed out carries no further command.
        controlTls_.reset();
        control_.Close();
        return false;
      }
      pending_.append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (++lines > kMaxReplyLines || (bytes += end + 1) > kMaxReplyBytes) {
      lastReply_ = FtpReply{0, "reply too long"};
      pending_.clear();
      controlTls_.reset();
      control_.Close();
      return false;
    }
    std::string_view line(pending_.data(), end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    bool complete = assembler.AddLine(line);
    pending_.erase(0, end + 1);
    if (complete) {
      reply = assembler.Take();
      lastReply_ = reply;
      if (reply.ConnectionClosing()) {
        controlTls_.reset();
        control_.Close();
      }
      return reply.code != 0;
    }
  }
}

bool FtpClient::ControlSend(const std::string& text) {
  return controlTls_ ? controlTls_->Send(control_, text.data(), text.size()) : control_.SendAll(text.data(), text.size());
}

int FtpClient::ControlReceive(char* buffer, size_t size) {
  return controlTls_ ? controlTls_->Receive(control_, buffer, size) : control_.Receive(buffer, size);
}

bool FtpClient::Command(const std::string& line, FtpReply& reply) {
  // A line break or a zero inside a name would end the command early and let the rest of the name run
  // as a command of its own (a folder called "x\r\nDELE keep.txt").
  if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    lastReply_ = FtpReply{0, "name holds a line break or a zero"};
    reply = lastReply_;
    return false;
  }
  if (!ControlSend(line + "\r\n")) return false;
  return ReadReply(reply);
}

bool FtpClient::CertificateAccepted(TlsSession& session) {
  if (session.PeerTrusted(options_.server)) return true;
  std::string fingerprint = session.PeerFingerprint();
  if (fingerprint.empty() || !options_.pins) {
    failureReason_ = L"the server's certificate is not trusted";
    return false;
  }
  std::string key = text::ToUtf8(options_.server) + ":" + std::to_string(options_.port);
  auto known = options_.pins->Find(key);
  if (!known) {
    options_.pins->Remember(key, fingerprint);
    return true;
  }
  if (*known == fingerprint) return true;
  failureReason_ = text::FromUtf8("the server's certificate changed: SHA-256 " + fingerprint + " instead of " + *known);
  return false;
}

bool FtpClient::StartTls() {
  FtpReply reply;
  if (!Command("AUTH TLS", reply)) return false;
  if (!reply.IsCompletion() && (!Command("AUTH SSL", reply) || (reply.code != 234 && reply.code != 334))) {
    failureReason_ = L"the server does not offer TLS";
    return false;
  }
  if (!credentials_.Acquire()) {
    failureReason_ = L"TLS is not available on this system";
    return false;
  }
  auto session = std::make_unique<TlsSession>();
  if (!session->Handshake(control_, credentials_, options_.server)) {
    failureReason_ = L"the TLS handshake failed";
    return false;
  }
  if (!CertificateAccepted(*session)) return false;
  controlTls_ = std::move(session);
  return true;
}

bool FtpClient::CommandExpect(const std::string& line, int expectedClass) {
  FtpReply reply;
  return Command(line, reply) && reply.code / 100 == expectedClass;
}

std::string FtpClient::Encode(WideView path) const {
  if (utf8_) return text::ToUtf8(path);
  // A name the ANSI code page cannot hold exactly is never sent altered ("日本.txt" and "中国.txt" would
  // both become "??.txt"): it comes back with a zero in it, and no command carries a zero.
  std::string encoded;
  if (!path.empty()) {
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(path.size()), nullptr,
                                     0, nullptr, &usedDefault);
    encoded.resize(static_cast<size_t>(length));
    if (length > 0) {
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(path.size()), encoded.data(),
                          length, nullptr, &usedDefault);
    }
    if (length <= 0 || usedDefault || text::FromAnsi(encoded) != WideString(path)) return std::string(1, '\0');
  }
  return encoded;
}

bool FtpClient::CanSendName(WideView name) const {
  return Encode(name).find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool FtpClient::Connect(const FtpConnectOptions& options) {
  Close();
  options_ = options;
  utf8_ = mlsd_ = mfmt_ = siteUtime_ = epsvRefused_ = false;
  timeSetter_ = TimeSetter::kUnknown;
  failureReason_.clear();
  pending_.clear();
  if (!control_.Connect(text::ToUtf8(options.server), options.port, options.timeoutMs)) return false;

  FtpReply reply;
  // A server may send 1xx before its greeting.
  do {
    if (!ReadReply(reply)) return false;
  } while (reply.IsPreliminary());
  if (!reply.IsCompletion()) return false;

  // With SSL asked for, the credentials go only over an encrypted connection, or not at all.
  if (options.useTls && !StartTls()) return false;

  if (!Command("USER " + text::ToUtf8(options.user), reply)) return false;
  if (reply.IsIntermediate() && !Command("PASS " + text::ToUtf8(options.password), reply)) return false;
  if (!reply.IsCompletion()) return false;

  if (options.useTls && (!CommandExpect("PBSZ 0", 2) || !CommandExpect("PROT P", 2))) {
    failureReason_ = L"the server refuses protected data connections";
    return false;
  }

  FtpReply features;
  bool listsUtf8 = false;
  if (Command("FEAT", features)) {
    auto list = ParseFeatures(features);
    mlsd_ = HasFeature(list, "MLST");
    mfmt_ = HasFeature(list, "MFMT");
    siteUtime_ = HasFeature(list, "SITE") && features.text.find("UTIME") != std::string::npos;
    listsUtf8 = HasFeature(list, "UTF8");
  }
  // UTF-8 is asked for whatever FEAT says: some servers take it without listing it (vsftpd answers
  // "200 Always in UTF8 mode."). A server that neither lists nor takes it gets the ANSI code page.
  FtpReply utf8Reply;
  if (!Command("OPTS UTF8 ON", utf8Reply) && !control_.IsOpen()) return false;
  utf8_ = listsUtf8 || utf8Reply.IsCompletion();
  return CommandExpect("TYPE I", 2);
}

void FtpClient::Close() {
  AbandonTransfer();
  if (control_.IsOpen()) {
    FtpReply ignored;
    if (ControlSend("QUIT\r\n")) (void)ReadReply(ignored);
    if (controlTls_) controlTls_->SendCloseNotify(control_);
  }
  controlTls_.reset();
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

bool FtpClient::SetModificationTime(WideView path, const FILETIME& utcTime) {
  SYSTEMTIME time{};
  if (!FileTimeToSystemTime(&utcTime, &time)) return false;
  char stamp[20];
  snprintf(stamp, sizeof(stamp), "%04u%02u%02u%02u%02u%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
           time.wMinute, time.wSecond);
  std::string name = Encode(path);
  if (mfmt_) return CommandExpect(std::string("MFMT ") + stamp + " " + name, 2);
  // Without MFMT: "MDTM time path" where the server writes times that way (vsftpd does), else SITE UTIME
  // where listed. The first attempt decides for the session; a server that only reads MDTM takes the
  // line for the name of a missing file and refuses it.
  if (timeSetter_ == TimeSetter::kUnknown || timeSetter_ == TimeSetter::kMdtm) {
    if (CommandExpect(std::string("MDTM ") + stamp + " " + name, 2)) {
      timeSetter_ = TimeSetter::kMdtm;
      return true;
    }
    if (timeSetter_ == TimeSetter::kMdtm || !control_.IsOpen()) return false;
    timeSetter_ = siteUtime_ ? TimeSetter::kSiteUtime : TimeSetter::kNone;
  }
  if (timeSetter_ == TimeSetter::kSiteUtime) return CommandExpect(std::string("SITE UTIME ") + stamp + " " + name, 2);
  return false;
}

bool FtpClient::Rename(WideView from, WideView to) {
  return CommandExpect("RNFR " + Encode(from), 3) && CommandExpect("RNTO " + Encode(to), 2);
}

std::optional<uint64_t> FtpClient::QuerySize(WideView path) {
  FtpReply reply;
  if (!Command("SIZE " + Encode(path), reply) || reply.code != 213) return std::nullopt;
  size_t first = reply.text.find_first_not_of(' ');
  size_t last = reply.text.find_last_not_of(" \r\n");
  if (first == std::string::npos || last < first) return std::nullopt;
  std::string digits = reply.text.substr(first, last - first + 1);
  if (digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::strtoull(digits.c_str(), nullptr, 10);
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
    return data_.Connect(peer, options_.timeoutMs, SocketUse::kData);
  }
  if (!listening.ListenBeside(control_)) return false;
  sockaddr_storage local{};
  if (!listening.LocalAddress(local)) return false;
  return CommandExpect(PortArgument(local), 2);
}

bool FtpClient::StartTransfer(const std::string& command) {
  AbandonTransfer();
  // Refused before a data connection is opened: one opened for nothing would be taken by the server
  // for the next transfer's.
  if (command.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
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
  if (controlTls_) {
    // The data connection's handshake follows the 1xx reply, with the control connection's credentials.
    dataTls_ = std::make_unique<TlsSession>();
    if (!dataTls_->Handshake(data_, credentials_, options_.server)) {
      AbandonTransfer();
      return false;
    }
  }
  return true;
}

bool FtpClient::FinishTransfer() {
  if (!transferOpen_) return false;
  transferOpen_ = false;
  // An upload's end is told with close_notify, so that the server knows the file is whole.
  if (dataTls_ && uploading_) dataTls_->SendCloseNotify(data_);
  dataTls_.reset();
  data_.Close();
  FtpReply reply;
  return ReadReply(reply) && reply.IsCompletion();
}

void FtpClient::AbandonTransfer() {
  if (!transferOpen_) return;
  transferOpen_ = false;
  dataTls_.reset();
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
    int got = dataTls_ ? dataTls_->Receive(data_, chunk, sizeof(chunk)) : data_.Receive(chunk, sizeof(chunk));
    if (got < 0) return false;
    if (got == 0) break;
    if (buffer.size() + static_cast<size_t>(got) > kMaxListingBytes) {
      listingTooLarge_ = true;
      return false;
    }
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

bool FtpClient::List(WideView directory, std::vector<FtpFindRecord>& entries, std::string* notUnderstood) {
  entries.clear();
  if (notUnderstood) notUnderstood->clear();
  listingTooLarge_ = false;
  // Entering the directory first tells a missing one from an empty one: some servers answer a listing
  // of a missing directory with an empty success.
  if (!ChangeDirectory(directory)) return false;
  std::vector<std::string> lines;
  bool listed = false;
  uploading_ = false;
  if (mlsd_) {
    listed = StartTransfer("MLSD") && ReadDataLines(lines) && FinishTransfer();
  } else {
    listed = StartTransfer("LIST -a") && ReadDataLines(lines) && FinishTransfer();
    if (!listed && !listingTooLarge_ && IsConnected()) {
      lines.clear();
      listed = StartTransfer("LIST") && ReadDataLines(lines) && FinishTransfer();
    }
  }
  if (!listed) {
    AbandonTransfer();
    return false;
  }
  std::time_t now = std::time(nullptr);
  std::tm calendar{};
  gmtime_s(&calendar, &now);
  for (const auto& line : lines) {
    auto record = mlsd_ ? ParseMlsdLine(line) : ParseListLine(line, calendar.tm_year + 1900, calendar.tm_mon + 1);
    if (record) {
      if (!mlsd_ && line[0] >= '0' && line[0] <= '9') windowsListing_ = true;
      entries.push_back(std::move(*record));
    } else if (notUnderstood && notUnderstood->empty() && !IsIgnorableListingLine(line, mlsd_)) {
      *notUnderstood = line;
    }
  }
  return true;
}

bool FtpClient::OpenForReading(WideView path) {
  uploading_ = false;
  return StartTransfer("RETR " + Encode(path));
}

bool FtpClient::OpenForWriting(WideView path) {
  uploading_ = true;
  return StartTransfer("STOR " + Encode(path));
}

int FtpClient::Read(void* buffer, size_t size) {
  if (!transferOpen_) return -1;
  return dataTls_ ? dataTls_->Receive(data_, buffer, size) : data_.Receive(buffer, size);
}

bool FtpClient::Write(const void* data, size_t size) {
  if (!transferOpen_) return false;
  return dataTls_ ? dataTls_->Send(data_, data, size) : data_.SendAll(data, size);
}
