#include "update/Download.h"

#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "ini/TextFile.h"

#include <algorithm>

namespace {

constexpr uint32_t kUnknownSizeChunk = 100000;
// How long a waiting side sleeps before it looks at the status again (a cancel sets no event).
constexpr DWORD kHandOverPollMs = 50;
constexpr DWORD kPumpStepMs = 10;
constexpr WideView kDecodingRequest = L"Accept-Encoding: gzip, deflate\r\n";

bool SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  return InternetSetOptionW(handle, option, &value, sizeof value) != FALSE;
}

WideString Piece(const wchar_t* start, DWORD length) { return start ? WideString(start, length) : WideString(); }

// Handles the messages sent to this thread's windows and repaints them, leaving posted input queued for
// the loops that own it: a close request taken here would never reach its window's owner. A window that
// never validates its area gets its paint again and again, hence the limit to one round.
void PumpSentAndPaint() {
  constexpr int kMostPerRound = 64;
  MSG message;
  for (int handled = 0;
       handled < kMostPerRound && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE | PM_QS_PAINT);
       ++handled) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchMessageW(&message);
  }
}

}  // namespace

uint32_t DownloadChunkSize(std::optional<uint64_t> size) {
  if (!size) return kUnknownSizeChunk;
  if (*size > 9999999) return 200000;
  if (*size > 499999) return 100000;
  if (*size > 99999) return static_cast<uint32_t>(*size / 5);
  return 20000;
}

uint64_t MemoryBufferSize(uint64_t expectedSize, std::optional<uint64_t> size) {
  uint64_t wanted = expectedSize != 0 ? expectedSize : size.value_or(kUnknownSizeGuess);
  return std::clamp(wanted, kMemoryBufferMin, kMemoryBufferMax);
}

WideString DownloadHeaders(WideView extraHeaders, WideView referer) {
  WideString headers(extraHeaders);
  if (!referer.empty() && !text::StartsWith(headers, L"Referer:")) {
    text::Append(headers, L"Referer: ", referer, L"\r\n");
  }
  headers += L"\r\n";
  // Whatever the caller's text ended with, every line ends with exactly one CR LF and no blank line
  // ends the header block early.
  while (headers.find(L"\r\n\r\n") != WideString::npos) headers = text::ReplaceAll(headers, L"\r\n\r\n", L"\r\n");
  if (headers.size() < 10) return {};
  return headers;
}

std::unique_ptr<Download> Download::Start(DownloadRequest request) {
  auto download = std::make_unique<Download>(Token{}, std::move(request));
  download->thread_.reset(CreateThread(nullptr, 0, ReaderEntry, download.get(), 0, nullptr));
  if (!download->thread_) return nullptr;
  if (download->request_.mode & kDownloadWait) download->WaitForThread();
  return download;
}

Download::Download(Token, DownloadRequest request) : request_(std::move(request)) {}

Download::~Download() {
  Cancel();
  WaitForThread();
}

void Download::WaitForThread() {
  if (!thread_) return;
  HANDLE thread = thread_.get();
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, kPumpStepMs, QS_SENDMESSAGE | QS_PAINT) != WAIT_OBJECT_0) {
    PumpSentAndPaint();
  }
}

void Download::Cancel() {
  // A transfer that has ended keeps the outcome it had.
  if (!Ended()) Fail(DownloadStatus::kCancelled);
}

bool Download::Ended() const { return !thread_ || WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0; }

std::optional<uint64_t> Download::announcedSize() const {
  int64_t size = announcedSize_.load();
  if (size < 0) return std::nullopt;
  return static_cast<uint64_t>(size);
}

std::string_view Download::data() const {
  if (!Ended() || state() != DownloadState::kFinished || !data_) return {};
  return std::string_view(data_.get(), dataSize_);
}

void Download::Fail(DownloadStatus status, DWORD error) {
  int expected = static_cast<int>(DownloadStatus::kOk);
  if (status_.compare_exchange_strong(expected, static_cast<int>(status)) && error != ERROR_SUCCESS) {
    lastError_.store(error);
  }
}

DWORD WINAPI Download::ReaderEntry(void* self) {
  static_cast<Download*>(self)->Run();
  return 0;
}

DWORD WINAPI Download::WriterEntry(void* self) {
  static_cast<Download*>(self)->WriteFile();
  return 0;
}

void Download::Run() {
  DWORD connection = 0;
  if (!InternetGetConnectedState(&connection, 0)) {
    Fail(DownloadStatus::kNoConnection, GetLastError());
    return;
  }
  state_.store(static_cast<int>(DownloadState::kConnecting));
  session_.reset(InternetOpenW(request_.userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session_) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return;
  }
  (void)SetDwordOption(session_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
  (void)SetDwordOption(session_.get(), INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);

  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  parts.dwUserNameLength = parts.dwPasswordLength = 1;
  const WideString& url = request_.url;
  bool ftp = text::StartsWith(url, L"ftp", false);
  bool secure = text::StartsWith(url, L"https:", false) || text::StartsWith(url, L"ftps:", false);
  if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) || !parts.lpszHostName) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return;
  }
  if (!(ftp ? OpenFtp(parts, secure) : OpenHttp(parts, secure))) return;

  std::optional<uint64_t> size = announcedSize();
  if (size) totalSize_.store(*size);
  if ((request_.mode & kDownloadSkipSameSize) && size) {
    bool same = request_.expectedSize != 0
                    ? *size == request_.expectedSize
                    : IsExistingFile(request_.targetPath) && FileSize(request_.targetPath) == *size;
    if (same) {
      received_.store(*size);
      percent_.store(100);
      state_.store(static_cast<int>(DownloadState::kUpToDate));
      return;
    }
  }
  if (Stopped()) return;

  state_.store(static_cast<int>(DownloadState::kTransferring));
  if (!size) totalSize_.store(kUnknownSizeGuess);
  uint32_t chunk = DownloadChunkSize(size);
  if (request_.mode & kDownloadToMemory) {
    ReadIntoMemory(size, chunk);
  } else {
    ReadIntoFile(chunk);
  }
}

bool Download::OpenHttp(const URL_COMPONENTSW& parts, bool secure) {
  WideString host = Piece(parts.lpszHostName, parts.dwHostNameLength);
  WideString object = text::Concat(Piece(parts.lpszUrlPath, parts.dwUrlPathLength),
                                   Piece(parts.lpszExtraInfo, parts.dwExtraInfoLength));
  if (object.empty()) object = L"/";
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    Fail(DownloadStatus::kOpenFailed, ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return false;
  }
  connection_.reset(InternetConnectW(session_.get(), host.c_str(), parts.nPort, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection_) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return false;
  }
  // Set on the connection, so that the request inherits them before it connects: WinINet applies a
  // receive time-out set later only to the next connection.
  (void)SetDwordOption(connection_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
  (void)SetDwordOption(connection_.get(), INTERNET_OPTION_SEND_TIMEOUT, kReceiveTimeoutMs);

  DWORD flags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RESYNCHRONIZE;
  if (request_.mode & kDownloadReload) flags |= INTERNET_FLAG_RELOAD;
  if (secure) flags |= INTERNET_FLAG_SECURE;
  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  transfer_.reset(HttpOpenRequestW(connection_.get(), L"GET", object.c_str(), nullptr, nullptr, acceptTypes, flags, 0));
  if (!transfer_) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return false;
  }
  WideString headers = DownloadHeaders(request_.extraHeaders, request_.referer);
  if (text::Find(headers, kDecodingRequest, {.caseSensitive = false}) != 0) {
    BOOL on = TRUE;
    decoding_ = InternetSetOptionW(transfer_.get(), INTERNET_OPTION_HTTP_DECODING, &on, sizeof on) != FALSE;
  }
  if (!HttpSendRequestW(transfer_.get(), headers.empty() ? nullptr : headers.c_str(),
                        static_cast<DWORD>(headers.size()), nullptr, 0)) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return false;
  }

  DWORD status = 0;
  DWORD length = sizeof status;
  if (HttpQueryInfoW(transfer_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) {
    httpStatus_.store(status);
  }
  // An error page is no download: nothing of it may land where the file was asked for.
  if (status < 200 || status > 299) {
    Fail(DownloadStatus::kOpenFailed);
    return false;
  }

  wchar_t lengthText[32] = {};
  length = sizeof lengthText;
  DWORD lengthNumber = 0;
  if (HttpQueryInfoW(transfer_.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &length, nullptr) &&
      lengthText[0] >= L'0' && lengthText[0] <= L'9') {
    announcedSize_.store(static_cast<int64_t>(text::ParseUnsigned(lengthText)));
  } else if (length = sizeof lengthNumber;
             HttpQueryInfoW(transfer_.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &lengthNumber,
                            &length, nullptr)) {
    announcedSize_.store(lengthNumber);
  }
  return true;
}

bool Download::OpenFtp(const URL_COMPONENTSW& parts, bool secure) {
  WideString host = Piece(parts.lpszHostName, parts.dwHostNameLength);
  WideString path = Piece(parts.lpszUrlPath, parts.dwUrlPathLength);
  WideString user = Piece(parts.lpszUserName, parts.dwUserNameLength);
  WideString password = Piece(parts.lpszPassword, parts.dwPasswordLength);
  INTERNET_PORT port = parts.nPort != 0 ? parts.nPort : INTERNET_DEFAULT_FTP_PORT;
  // Anonymous unless the address names a user.
  connection_.reset(InternetConnectW(session_.get(), host.c_str(), port, user.empty() ? nullptr : user.c_str(),
                                     user.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_FTP,
                                     INTERNET_FLAG_PASSIVE | (secure ? INTERNET_FLAG_SECURE : 0), 0));
  if (!connection_) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return false;
  }
  // The listing's size, asked before the file is opened (a connection carries one transfer at a time):
  // Wine's FtpGetFileSize answers 0 for every file, so a 0 from it is checked against the listing.
  std::optional<uint64_t> listedSize;
  WIN32_FIND_DATAW found{};
  if (UniqueInternetHandle find(FtpFindFirstFileW(connection_.get(), path.c_str(), &found, INTERNET_FLAG_RELOAD, 0));
      find && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    listedSize = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  }
  DWORD flags = FTP_TRANSFER_TYPE_BINARY;
  if (request_.mode & kDownloadReload) flags |= INTERNET_FLAG_RELOAD;
  transfer_.reset(FtpOpenFileW(connection_.get(), path.c_str(), GENERIC_READ, flags, 0));
  if (!transfer_) {
    Fail(DownloadStatus::kOpenFailed, GetLastError());
    return false;
  }
  DWORD high = 0;
  DWORD low = FtpGetFileSize(transfer_.get(), &high);
  bool reported = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
  uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  if (!reported || size == 0) {
    if (!listedSize) {
      Fail(DownloadStatus::kOpenFailed, reported ? ERROR_INTERNET_EXTENDED_ERROR : GetLastError());
      return false;
    }
    size = *listedSize;
  }
  announcedSize_.store(static_cast<int64_t>(size));
  return true;
}

int64_t Download::ReadSome(char* buffer, uint32_t size) {
  DWORD available = 0;
  if (!InternetQueryDataAvailable(transfer_.get(), &available, 0, 0)) {
    lastError_.store(GetLastError());
    return -1;
  }
  if (available == 0) return 0;
  DWORD got = 0;
  if (!InternetReadFile(transfer_.get(), buffer, std::min<DWORD>(available, size), &got)) {
    lastError_.store(GetLastError());
    return -1;
  }
  return got;
}

void Download::CountReceived(uint64_t count) {
  uint64_t received = received_.fetch_add(count) + count;
  uint64_t total = totalSize_.load();
  percent_.store(total == 0 ? 100 : static_cast<uint32_t>(std::min<uint64_t>(received * 100 / total, 100)));
}

bool Download::CutShort(bool streamEnded) const {
  std::optional<uint64_t> announced = announcedSize();
  return streamEnded && announced && !decoding_ && received_.load() < *announced;
}

void Download::ReadIntoMemory(std::optional<uint64_t> size, uint32_t chunk) {
  uint64_t capacity = MemoryBufferSize(request_.expectedSize, size);
  bufferSize_.store(capacity);
  // Two more bytes for the zeros that end the data.
  data_.reset(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(capacity) + 2)));
  if (!data_) {
    Fail(DownloadStatus::kOutOfMemory, ERROR_NOT_ENOUGH_MEMORY);
    return;
  }
  uint64_t filled = 0;
  bool streamEnded = false;
  while (filled < capacity && !Stopped()) {
    int64_t got = ReadSome(data_.get() + filled, static_cast<uint32_t>(std::min<uint64_t>(chunk, capacity - filled)));
    if (got < 0) {
      Fail(DownloadStatus::kReadWriteFailed);
      return;
    }
    if (got == 0) {
      streamEnded = true;
      break;
    }
    filled += static_cast<uint64_t>(got);
    CountReceived(static_cast<uint64_t>(got));
  }
  if (Stopped()) return;
  if (filled == 0 || CutShort(streamEnded)) {
    Fail(DownloadStatus::kReadWriteFailed);
    return;
  }
  data_.get()[filled] = 0;
  data_.get()[filled + 1] = 0;
  dataSize_ = static_cast<size_t>(filled);
  totalSize_.store(filled);
  percent_.store(100);
  state_.store(static_cast<int>(DownloadState::kFinished));
}

void Download::ReadIntoFile(uint32_t chunk) {
  for (auto& buffer : buffers_) {
    buffer.reset(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, chunk)));
    if (!buffer) {
      Fail(DownloadStatus::kOutOfMemory, ERROR_NOT_ENOUGH_MEMORY);
      return;
    }
  }
  bufferSize_.store(chunk);
  filled_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  emptied_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  UniqueKernelHandle writer;
  if (filled_ && emptied_) writer.reset(CreateThread(nullptr, 0, WriterEntry, this, 0, nullptr));
  if (!writer) {
    Fail(DownloadStatus::kOutOfMemory, GetLastError());
    return;
  }

  bool streamEnded = false;
  int next = 0;
  while (!streamEnded && !Stopped()) {
    while (counts_[next].load() != 0 && !Stopped()) WaitForSingleObject(emptied_.get(), kHandOverPollMs);
    if (Stopped()) break;
    uint32_t filled = 0;
    while (filled < chunk && !Stopped()) {
      int64_t got = ReadSome(buffers_[next].get() + filled, chunk - filled);
      if (got < 0) {
        Fail(DownloadStatus::kReadWriteFailed);
        break;
      }
      if (got == 0) {
        streamEnded = true;
        break;
      }
      filled += static_cast<uint32_t>(got);
      CountReceived(static_cast<uint64_t>(got));
    }
    if (filled != 0 && !Stopped()) {
      counts_[next].store(filled);
      SetEvent(filled_.get());
      next ^= 1;
    }
  }
  readerDone_.store(true);
  SetEvent(filled_.get());
  WaitForSingleObject(writer.get(), INFINITE);
  if (Stopped()) return;
  if (CutShort(streamEnded)) {
    Fail(DownloadStatus::kReadWriteFailed);
    return;
  }
  totalSize_.store(received_.load());
  percent_.store(100);
  state_.store(static_cast<int>(DownloadState::kFinished));
}

void Download::WriteFile() {
  constexpr uint32_t kFlags = TextFile::kRaw | TextFile::kCreateFolders | TextFile::kCreate;
  TextFile file;
  if (!file.Open(request_.targetPath, kFlags)) {
    // A file that cannot be replaced (read-only, or refused to us) is removed by force and made anew.
    if (IsExistingFile(request_.targetPath)) (void)ForceDelete(request_.targetPath, 0);
    if (!file.Open(request_.targetPath, kFlags)) {
      Fail(DownloadStatus::kTargetNotCreated, file.lastError());
      return;
    }
  }
  int next = 0;
  while (!Stopped()) {
    uint32_t count = counts_[next].load();
    if (count == 0) {
      // The reader's last hand-over comes before it says it is done: an empty buffer then is the end.
      if (readerDone_.load() && counts_[next].load() == 0) break;
      WaitForSingleObject(filled_.get(), kHandOverPollMs);
      continue;
    }
    if (!file.WriteBytes(buffers_[next].get(), count)) {
      Fail(DownloadStatus::kReadWriteFailed, GetLastError());
      return;
    }
    counts_[next].store(0);
    SetEvent(emptied_.get());
    next ^= 1;
  }
  // Finished means on the disk, not in the system's cache, before anyone relies on the file.
  if (!Stopped() && !FlushFileBuffers(file.handle())) Fail(DownloadStatus::kReadWriteFailed, GetLastError());
}
