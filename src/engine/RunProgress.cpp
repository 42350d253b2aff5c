#include "engine/RunProgress.h"

#include <algorithm>

void RunProgress::ResetForJob() {
  totalBytes = 1;
  bytesDone = 1;
  totalItems = 1;
  itemsDone = 1;
  failureCount = 0;
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
