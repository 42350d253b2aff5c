#pragma once
// One transfer over WinINet (HTTP, HTTPS or FTP) on a thread of its own: into memory, or into a file
// through a second thread that writes one buffer while the first thread reads into the other. The creator
// polls State, Status, Received and Percent and may cancel; destroying the object cancels the transfer
// and waits for its threads.
//
// The fields the threads share are atomics written by one side and read by the other; no lock is taken.
// The two file buffers are handed over through their byte counts: the reader fills a buffer only when
// its count is 0, the writer sets the count back to 0 once the buffer is on disk.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

enum class DownloadState : int {
  kIdle = 0,
  kConnecting = 1,
  kTransferring = 2,
  kFinished = 3,
  kUpToDate = 4,  // skipped: the size was the one already there (kDownloadSkipSameSize)
};

enum class DownloadStatus : int {
  kOk = 0,
  kNoConnection = 1,
  kOpenFailed = 2,  // the server could not be reached, refused the request, or answered with an error page
  kCancelled = 3,
  kTargetNotCreated = 4,
  kOutOfMemory = 5,
  kReadWriteFailed = 6,  // also: the server sent less than the length it announced
};

enum DownloadMode : unsigned {
  kDownloadWait = 0x01,          // Start returns only when the transfer has ended
  kDownloadReload = 0x02,        // never from a cache
  kDownloadToMemory = 0x04,
  kDownloadSkipSameSize = 0x08,  // skip when the size equals expectedSize, or the existing target's size
};

inline constexpr wchar_t kBrowserUserAgent[] =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/147.0.0.0 "
    L"Safari/537.36";

inline constexpr DWORD kConnectTimeoutMs = 20000;
inline constexpr DWORD kConnectRetries = 2;
// Without a limit of our own a server that stops sending in the middle of an answer holds the transfer
// for ever (Wine's WinINet never gives up), and with it the start of an unattended backup.
inline constexpr DWORD kReceiveTimeoutMs = 30000;

// A memory download takes what fits between these bounds; when the size is not known, kUnknownSizeGuess.
inline constexpr uint64_t kMemoryBufferMin = 65535;
inline constexpr uint64_t kMemoryBufferMax = 41943040;  // 40 MiB
inline constexpr uint64_t kUnknownSizeGuess = 1048576;

struct DownloadRequest {
  WideString url;          // http://, https://, ftp:// or ftps://
  WideString targetPath;   // the file to write; unused with kDownloadToMemory
  unsigned mode = 0;       // DownloadMode bits
  uint64_t expectedSize = 0;
  WideString referer;      // sent as a Referer header unless extraHeaders starts with one
  WideString userAgent = kBrowserUserAgent;
  WideString extraHeaders; // "Name: value\r\n" lines
};

// The size of each read: larger for larger transfers; kUnknownSizeGuess's chunk when the size is unknown.
[[nodiscard]] uint32_t DownloadChunkSize(std::optional<uint64_t> size);
// The buffer of a memory download: expectedSize when set, else the size (kUnknownSizeGuess when
// unknown), kept within kMemoryBufferMin ... kMemoryBufferMax.
[[nodiscard]] uint64_t MemoryBufferSize(uint64_t expectedSize, std::optional<uint64_t> size);
// The header text sent with the request: extraHeaders, the Referer line, every line ended by one CR LF;
// empty when that is shorter than 10 characters.
[[nodiscard]] WideString DownloadHeaders(WideView extraHeaders, WideView referer);

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle handle) { InternetCloseHandle(handle); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

struct HeapMemoryTraits {
  using Handle = char*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle memory) { HeapFree(GetProcessHeap(), 0, memory); }
};
using UniqueHeapMemory = UniqueResource<HeapMemoryTraits>;

class Download {
  struct Token {};

 public:
  // Starts the transfer on its thread; null when the thread could not be started. With kDownloadWait it
  // returns once the transfer has ended.
  [[nodiscard]] static std::unique_ptr<Download> Start(DownloadRequest request);

  Download(Token, DownloadRequest request);
  // Cancels, waits for the threads (handling this thread's sent messages and paints meanwhile, in 10 ms
  // steps, so that windows stay drawn while input stays queued for their owners) and closes the handles.
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  // Asks the threads to stop (Status kCancelled, unless a failure came first); returns at once.
  void Cancel();
  // True once the transfer's thread has ended; what the fields say then no longer changes.
  [[nodiscard]] bool Ended() const;
  // The transfer's thread, signalled when it ends: for waits that also watch the message queue.
  [[nodiscard]] HANDLE thread() const { return thread_.get(); }

  [[nodiscard]] DownloadState state() const { return static_cast<DownloadState>(state_.load()); }
  [[nodiscard]] DownloadStatus status() const { return static_cast<DownloadStatus>(status_.load()); }
  [[nodiscard]] uint64_t totalSize() const { return totalSize_.load(); }
  [[nodiscard]] uint64_t received() const { return received_.load(); }
  [[nodiscard]] uint32_t percent() const { return percent_.load(); }
  // The HTTP status of the answer; 0 before it came and for FTP.
  [[nodiscard]] uint32_t httpStatus() const { return httpStatus_.load(); }
  // The length the server announced (Content-Length, or the FTP file size); none when it gave none.
  [[nodiscard]] std::optional<uint64_t> announcedSize() const;
  // The system or WinINet error code of the failure, when one caused it.
  [[nodiscard]] DWORD lastError() const { return lastError_.load(); }
  // A memory download's bytes, once it has ended with kFinished (two zero bytes follow them).
  [[nodiscard]] std::string_view data() const;
  // The buffer a memory download read into (0 before it was made).
  [[nodiscard]] uint64_t bufferSize() const { return bufferSize_.load(); }

 private:
  static DWORD WINAPI ReaderEntry(void* self);
  static DWORD WINAPI WriterEntry(void* self);
  void Run();
  [[nodiscard]] bool OpenHttp(const URL_COMPONENTSW& parts, bool secure);
  [[nodiscard]] bool OpenFtp(const URL_COMPONENTSW& parts, bool secure);
  // What has arrived, at most size bytes, waiting only until something arrives; 0 at the end, -1 on failure.
  [[nodiscard]] int64_t ReadSome(char* buffer, uint32_t size);
  void ReadIntoMemory(std::optional<uint64_t> size, uint32_t chunk);
  void ReadIntoFile(uint32_t chunk);
  void WriteFile();
  void CountReceived(uint64_t count);
  // Records the first failure; a later one (or a cancel) does not replace it.
  void Fail(DownloadStatus status, DWORD error = ERROR_SUCCESS);
  [[nodiscard]] bool Stopped() const { return status_.load() != static_cast<int>(DownloadStatus::kOk); }
  // The end of the data came before the announced length (a cut connection).
  [[nodiscard]] bool CutShort(bool streamEnded) const;
  void WaitForThread();

  const DownloadRequest request_;
  std::atomic<int> state_{static_cast<int>(DownloadState::kIdle)};
  std::atomic<int> status_{static_cast<int>(DownloadStatus::kOk)};
  std::atomic<uint64_t> totalSize_{0};
  std::atomic<uint64_t> received_{0};
  std::atomic<uint32_t> percent_{0};
  std::atomic<uint32_t> httpStatus_{0};
  std::atomic<int64_t> announcedSize_{-1};
  std::atomic<DWORD> lastError_{ERROR_SUCCESS};
  std::atomic<uint64_t> bufferSize_{0};
  bool decoding_ = false;  // WinINet decodes the content: the announced length is not what arrives

  UniqueInternetHandle session_;
  UniqueInternetHandle connection_;
  UniqueInternetHandle transfer_;

  // Memory mode.
  UniqueHeapMemory data_;
  size_t dataSize_ = 0;

  // File mode: the two buffers, their byte counts, and the events that wake the other side.
  UniqueHeapMemory buffers_[2];
  std::atomic<uint32_t> counts_[2] = {0, 0};
  std::atomic<bool> readerDone_{false};
  UniqueKernelHandle filled_;   // set by the reader after it handed over a buffer
  UniqueKernelHandle emptied_;  // set by the writer after it gave one back

  UniqueKernelHandle thread_;
};
