#pragma once
// The state of one backup run as the engine's passes see it. The run controller owns it for the whole
// process (one run at a time) and resets it per run and per job.
//
// A worker thread writes the counters while the UI thread reads them, and the UI thread sets the cancel
// flag that workers poll; relaxed atomics make that sharing well defined at the cost of plain loads and
// stores.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

#include <atomic>

class FtpClient;
#include <cstdint>
#include <memory>

// The run's mode bits, with the update method.
enum RunFlags : uint32_t {
  kRunCommon = 0,
  kRunStrict = 0x01,
  kRunRestore = 0x02,
  kRunSync = 0x04,
  kRunUpdateMethod = 0x10,
};

// The direction of a pass.
enum class TransferKind : uint32_t {
  kLocalToLocal = 0,
  kLocalToFtp = 1,
  kFtpToLocal = 2,
  kFtpToFtp = 4,
};

inline constexpr size_t kCopyBufferSize = 0x200000;

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

struct RunState {
  std::atomic<uint64_t> totalBytes{1};
  std::atomic<uint64_t> bytesDone{1};
  std::atomic<uint64_t> totalItems{1};
  std::atomic<uint64_t> itemsDone{1};
  std::atomic<uint64_t> failureCount{0};
  std::atomic<uint32_t> cancelRequested{0};
  std::atomic<uint32_t> progressPermille{0};

  uint32_t runFlags = 0;
  uint32_t skipAttributes = 0;  // files with any of these attributes are left out (2 hidden, 4 system)
  TransferKind transferKind = TransferKind::kLocalToLocal;

  WideString sourceRoot;
  WideString targetRoot;
  // The FTP connections of the current pass; null for local sides. The run controller owns them.
  FtpClient* sourceConnection = nullptr;
  FtpClient* targetConnection = nullptr;

  // Allocated before the first run and kept for the process.
  std::unique_ptr<unsigned char[]> copyBuffer;

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

  // At the top of every job.
  void ResetForJob();
  // Before the options of a new run are filled in.
  void ResetForRun();
};
