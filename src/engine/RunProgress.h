#pragma once
// What the UI thread reads of a run while a worker thread works: the counters behind the progress bar,
// the failure count, the cancel request and the pause gate. Everything here is shared between the two
// threads, so everything is atomic; what only the worker touches lives in its pass context instead.
//
// Relaxed atomics make the sharing well defined at the cost of plain loads and stores.

#include "base/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

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
  // True while the worker stands still at its checkpoint: a pause asked for takes effect only there.
  [[nodiscard]] bool IsHolding() const { return holding_.load(); }
  // Called by the worker: returns at once unless paused. The flag spares the kernel call on every chunk.
  void WaitWhilePaused() const {
    if (!paused_.load()) return;
    holding_.store(true);
    WaitForSingleObject(running_.get(), INFINITE);
    holding_.store(false);
  }

 private:
  std::atomic<bool> paused_{false};
  mutable std::atomic<bool> holding_{false};
  UniqueKernelHandle running_;
};

struct RunProgress {
  // Totals start at 1, so that an empty tree never divides by zero.
  std::atomic<uint64_t> totalBytes{1};
  std::atomic<uint64_t> bytesDone{1};
  std::atomic<uint64_t> totalItems{1};
  std::atomic<uint64_t> itemsDone{1};
  std::atomic<uint64_t> failureCount{0};
  std::atomic<uint32_t> cancelRequested{0};
  std::atomic<uint32_t> progressPermille{0};
  PauseGate pause;

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
