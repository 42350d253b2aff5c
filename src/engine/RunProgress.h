#pragma once
// What the UI thread reads of a run while its worker threads work: the counters behind the progress bar,
// the failure count, the cancel request and the pause gate. Everything here is shared between the
// threads, so everything is atomic (or locked); what only one worker touches lives in its pass context.
//
// Relaxed atomics make the sharing well defined at the cost of plain loads and stores.

#include "base/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Pausing holds the worker at its next cancellation point (between entries and between chunks). A worker
// suspended at an arbitrary instruction may hold the heap lock and freeze the UI thread with it.
class PauseGate {
 public:
  PauseGate() : running_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
  void Pause() {
    paused_.store(true);
    ResetEvent(running_.get());
  }
  void Resume() {
    paused_.store(false);
    SetEvent(running_.get());
  }
  [[nodiscard]] bool IsPaused() const { return paused_.load(); }
  // True while a worker stands still at its checkpoint: a pause asked for takes effect only there.
  [[nodiscard]] bool IsHolding() const { return holders_.load() > 0; }
  // How many threads of the run stand still there (a run may copy on several).
  [[nodiscard]] int Holders() const { return holders_.load(); }
  // Called by the workers: returns at once unless paused. The flag spares the kernel call on every chunk.
  void WaitWhilePaused() const {
    if (!paused_.load()) return;
    holders_.fetch_add(1);
    WaitForSingleObject(running_.get(), INFINITE);
    holders_.fetch_sub(1);
  }

 private:
  std::atomic<bool> paused_{false};
  mutable std::atomic<int> holders_{0};
  UniqueKernelHandle running_;
};

// The threads and connections working for a run, so that a cancel can break off a call that hangs in any
// of them: a system call on a share that stopped answering, or a server that stopped answering.
class BlockedCallBreaker {
 public:
  BlockedCallBreaker() { InitializeSRWLock(&lock_); }
  BlockedCallBreaker(const BlockedCallBreaker&) = delete;
  BlockedCallBreaker& operator=(const BlockedCallBreaker&) = delete;

  // Enrols the calling thread, or a connection, until the enrolment ends.
  class Enrolment {
   public:
    Enrolment() = default;
    Enrolment(BlockedCallBreaker* breaker, size_t id) : breaker_(breaker), id_(id) {}
    ~Enrolment() { End(); }
    Enrolment(Enrolment&& other) noexcept : breaker_(other.breaker_), id_(other.id_) { other.breaker_ = nullptr; }
    Enrolment& operator=(Enrolment&& other) noexcept;
    void End();

   private:
    BlockedCallBreaker* breaker_ = nullptr;
    size_t id_ = 0;
  };
  [[nodiscard]] Enrolment EnrolThisThread();
  [[nodiscard]] Enrolment EnrolConnection(std::function<void()> abort);
  // From another thread: cancels the enrolled threads' pending system calls and aborts the connections.
  void BreakAll();

 private:
  struct Entry {
    size_t id;
    UniqueKernelHandle thread;
    std::function<void()> abort;
  };
  void Remove(size_t id);

  SRWLOCK lock_;
  size_t nextId_ = 1;
  std::vector<Entry> entries_;
};

struct RunProgress {
  // Totals start at 1, so that an empty tree never divides by zero.
  std::atomic<uint64_t> totalBytes{1};
  std::atomic<uint64_t> bytesDone{1};
  std::atomic<uint64_t> totalItems{1};
  std::atomic<uint64_t> itemsDone{1};
  std::atomic<uint64_t> failureCount{0};
  // Files of the job left alone because their copy in the target is newer (update method).
  std::atomic<uint64_t> newerInTarget{0};
  std::atomic<uint32_t> cancelRequested{0};
  std::atomic<uint32_t> progressPermille{0};
  PauseGate pause;
  BlockedCallBreaker breaker;
  // What the job did, for the run's record: files copied (and of them, those that replaced a copy) and
  // their bytes, entries deleted and deletions held back.
  std::atomic<uint64_t> filesCopied{0};
  std::atomic<uint64_t> bytesCopied{0};
  std::atomic<uint64_t> filesReplaced{0};
  std::atomic<uint64_t> entriesDeleted{0};
  std::atomic<uint64_t> deletionsHeldBack{0};
  std::atomic<uint64_t> versionsKept{0};  // entries deleted or replaced that were kept as versions

  [[nodiscard]] bool CancelRequested() const { return cancelRequested.load(std::memory_order_relaxed) != 0; }
  void RequestCancel() {
    cancelRequested.store(1, std::memory_order_relaxed);
    pause.Resume();
  }
  // A worker's cancellation point: waits while paused, then tells whether to stop.
  [[nodiscard]] bool ShouldStop() const {
    pause.WaitWhilePaused();
    return CancelRequested();
  }
  // progressPermille from the four counters: items and bytes weigh half each.
  void UpdateProgress();
  void AddItem() {
    itemsDone.fetch_add(1, std::memory_order_relaxed);
    UpdateProgress();
  }
  void AddBytes(uint64_t bytes) {
    bytesDone.fetch_add(bytes, std::memory_order_relaxed);
    UpdateProgress();
  }
  void AddFailure() { failureCount.fetch_add(1, std::memory_order_relaxed); }
  // Before each transfer pass: the totals of the counting pass stay.
  void StartPass() {
    bytesDone = 1;
    itemsDone = 1;
  }

  // At the top of every job; a cancel request stays.
  void ResetForJob();
  // Before a new run starts.
  void ResetForRun();
};
