#include "engine/FileCopy.h"

#include "engine/Messages.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

enum class Streamed { kEnd, kReadFailed, kWriteFailed, kCancelled };

void Fail(const FileCopy& copy, WideView prefix, WideView path, const Side& side) {
  copy.log.Log(prefix, path, side.LastReply());
  copy.progress.AddFailure();
}

// The reading half of an overlapped copy: a thread that reads the next chunk into one half of the buffer
// while the caller writes the chunk in the other.
class ReadAhead {
 public:
  ReadAhead(Side& source, CopyBuffer buffer, BlockedCallBreaker& breaker)
      : source_(source), data_(buffer.data), half_(buffer.size / 2) {
    thread_ = std::thread([this, &breaker] {
      BlockedCallBreaker::Enrolment enrolment = breaker.EnrolThisThread();
      Loop();
    });
  }
  ~ReadAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Waits for the next chunk: its length, 0 at the end of the file, -1 when reading failed.
  int Next(const unsigned char*& bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return filled_[next_]; });
    bytes = data_ + next_ * half_;
    return got_[next_];
  }
  // The chunk that Next gave is written: its half may be read into again.
  void Done() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      filled_[next_] = false;
      next_ ^= 1;
    }
    changed_.notify_all();
  }

 private:
  void Loop() {
    for (int slot = 0;; slot ^= 1) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this, slot] { return stop_ || !filled_[slot]; });
        if (stop_) return;
      }
      int got = source_.Read(data_ + slot * half_, half_);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        got_[slot] = got;
        filled_[slot] = true;
      }
      changed_.notify_all();
      if (got <= 0) return;
    }
  }

  Side& source_;
  unsigned char* const data_;
  const size_t half_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool filled_[2] = {false, false};
  int got_[2] = {0, 0};
  int next_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

Streamed StreamInTurn(const FileCopy& copy, uint64_t& received) {
  while (true) {
    int got = copy.source.Read(copy.buffer.data, copy.buffer.size);
    if (got < 0) return Streamed::kReadFailed;
    if (got == 0) return Streamed::kEnd;
    if (!copy.target.Write(copy.buffer.data, static_cast<size_t>(got))) return Streamed::kWriteFailed;
    received += static_cast<uint64_t>(got);
    copy.progress.AddBytes(static_cast<uint64_t>(got));
    if (copy.progress.ShouldStop()) return Streamed::kCancelled;
  }
}

Streamed StreamOverlapped(const FileCopy& copy, uint64_t& received) {
  ReadAhead reader(copy.source, copy.buffer, copy.progress.breaker);
  while (true) {
    const unsigned char* bytes = nullptr;
    int got = reader.Next(bytes);
    if (got < 0) return Streamed::kReadFailed;
    if (got == 0) return Streamed::kEnd;
    if (!copy.target.Write(bytes, static_cast<size_t>(got))) return Streamed::kWriteFailed;
    received += static_cast<uint64_t>(got);
    copy.progress.AddBytes(static_cast<uint64_t>(got));
    reader.Done();
    if (copy.progress.ShouldStop()) return Streamed::kCancelled;
  }
}

}  // namespace

bool CopyOneFile(const FileCopy& copy, const WideString& sourcePath, const WideString& targetPath,
                 const SideEntry& entry, const OldCopy& old) {
  if (!copy.source.OpenRead(sourcePath)) {
    Fail(copy, copy.texts.cannotOpenSource, sourcePath, copy.source);
    return true;
  }
  if (!copy.target.OpenWrite(targetPath)) {
    (void)copy.source.CloseRead();
    Fail(copy, copy.texts.cannotOpenTarget, targetPath, copy.target);
    return true;
  }
  uint64_t received = 0;
  Streamed outcome = Streamed::kCancelled;
  if (!copy.progress.CancelRequested()) {
    // A small file gains nothing from a second thread. Nor did a server side in our measurements: with
    // the server on the same machine the extra thread competed with it, and the medians got worse.
    bool overlap = entry.sizeKnown && entry.size >= kOverlappedCopyThreshold && !copy.source.IsRemote() &&
                   !copy.target.IsRemote();
    outcome = overlap ? StreamOverlapped(copy, received) : StreamInTurn(copy, received);
  }
  if (outcome == Streamed::kEnd) {
    // A server that stops early and still says 226 gives a short file: the listed size tells.
    bool whole = copy.source.CloseRead() && (!entry.sizeKnown || received == entry.size || !copy.source.IsRemote());
    if (!whole) {
      Fail(copy, copy.texts.cannotRead, sourcePath, copy.source);
      copy.target.AbandonWrite();
      return true;
    }
    // The old copy moves to the versions only now that the new one is complete, and comes back when the
    // new one cannot take its place after all.
    WideString keptAt;
    if (old.keepIn) {
      MoveOutcome kept = KeepVersion(copy.target, *old.keepIn, targetPath, keptAt);
      if (kept == MoveOutcome::kNothingThere) keptAt.clear();
      if (kept != MoveOutcome::kMoved && kept != MoveOutcome::kNothingThere) {
        Fail(copy, messages::kCouldNotKeepOldVersion, targetPath, copy.target);
        copy.target.AbandonWrite();
        return !copy.progress.CancelRequested();
      }
    }
    if (!copy.target.FinishWrite(entry)) {
      Fail(copy, copy.texts.cannotWrite, targetPath, copy.target);
      if (!keptAt.empty()) (void)copy.target.MoveAside(keptAt, targetPath);
    } else {
      copy.progress.filesCopied.fetch_add(1, std::memory_order_relaxed);
      copy.progress.bytesCopied.fetch_add(received, std::memory_order_relaxed);
      if (old.exists) copy.progress.filesReplaced.fetch_add(1, std::memory_order_relaxed);
      if (!keptAt.empty()) copy.progress.versionsKept.fetch_add(1, std::memory_order_relaxed);
    }
    return !copy.progress.CancelRequested();
  }
  if (outcome == Streamed::kReadFailed) Fail(copy, copy.texts.cannotRead, sourcePath, copy.source);
  if (outcome == Streamed::kWriteFailed) Fail(copy, copy.texts.cannotWrite, targetPath, copy.target);
  // Whatever went wrong, only the partial copy goes; a previous copy stays as it was.
  (void)copy.source.CloseRead();
  copy.target.AbandonWrite();
  return outcome != Streamed::kCancelled;
}
