#include "engine/RunProgress.h"

#include <algorithm>

void RunProgress::ResetForJob() {
  totalBytes = 1;
  bytesDone = 1;
  totalItems = 1;
  itemsDone = 1;
  failureCount = 0;
  filesCopied = 0;
  bytesCopied = 0;
  filesReplaced = 0;
  entriesDeleted = 0;
  deletionsHeldBack = 0;
  versionsKept = 0;
  newerInTarget = 0;
  progressPermille = 0;
}

void RunProgress::ResetForRun() {
  ResetForJob();
  cancelRequested = 0;
  pause.Resume();
}

void RunProgress::UpdateProgress() {
  uint64_t items = itemsDone.load(std::memory_order_relaxed) * 500 / totalItems.load(std::memory_order_relaxed);
  uint64_t bytes = bytesDone.load(std::memory_order_relaxed) * 500 / totalBytes.load(std::memory_order_relaxed);
  // A tree that grew after it was counted must not push the bar past its end.
  progressPermille.store(static_cast<uint32_t>(std::min<uint64_t>(items + bytes, 1000)), std::memory_order_relaxed);
}

BlockedCallBreaker::Enrolment& BlockedCallBreaker::Enrolment::operator=(Enrolment&& other) noexcept {
  if (this != &other) {
    End();
    breaker_ = other.breaker_;
    id_ = other.id_;
    other.breaker_ = nullptr;
  }
  return *this;
}

void BlockedCallBreaker::Enrolment::End() {
  if (breaker_) breaker_->Remove(id_);
  breaker_ = nullptr;
}

BlockedCallBreaker::Enrolment BlockedCallBreaker::EnrolThisThread() {
  HANDLE thread = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return {};
  }
  AcquireSRWLockExclusive(&lock_);
  size_t id = nextId_++;
  entries_.push_back({id, UniqueKernelHandle(thread), {}});
  ReleaseSRWLockExclusive(&lock_);
  return {this, id};
}

BlockedCallBreaker::Enrolment BlockedCallBreaker::EnrolConnection(std::function<void()> abort) {
  AcquireSRWLockExclusive(&lock_);
  size_t id = nextId_++;
  entries_.push_back({id, UniqueKernelHandle(), std::move(abort)});
  ReleaseSRWLockExclusive(&lock_);
  return {this, id};
}

void BlockedCallBreaker::BreakAll() {
  AcquireSRWLockShared(&lock_);
  for (const Entry& entry : entries_) {
    if (entry.thread) CancelSynchronousIo(entry.thread.get());
    if (entry.abort) entry.abort();
  }
  ReleaseSRWLockShared(&lock_);
}

void BlockedCallBreaker::Remove(size_t id) {
  AcquireSRWLockExclusive(&lock_);
  std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; });
  ReleaseSRWLockExclusive(&lock_);
}
