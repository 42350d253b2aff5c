#pragma once
// The rules every transfer pass shares, local or FTP: what the run's flags ask of a pass, the comparison
// that decides whether a file is copied over an existing one, and how a failed entry is recorded.

#include "engine/ErrorLog.h"
#include "engine/RunState.h"

struct PassRules {
  explicit PassRules(uint32_t runFlags)
      : deletionPass((runFlags & kRunStrict) != 0),
        compare((runFlags & (kRunUpdateMethod | kRunSync)) != 0),
        syncing((runFlags & kRunSync) != 0) {}

  // A target at least as new and of the same size is skipped. In Sync a newer target is never
  // overwritten by an older source, whatever the sizes: the other pass brings it across instead.
  // precision: how finely the coarser side keeps times (100-ns units); both are compared at that grain,
  // or a server that keeps whole seconds would have every file sent again on every run.
  [[nodiscard]] bool ShouldCopy(int64_t sourceTime, uint64_t sourceSize, int64_t targetTime, uint64_t targetSize,
                                int64_t precision = 1) const {
    if (precision > 1) {
      sourceTime -= sourceTime % precision;
      targetTime -= targetTime % precision;
    }
    if (sourceTime > targetTime) return true;
    if (syncing && targetTime > sourceTime) return false;
    return sourceSize != targetSize;
  }

  const bool deletionPass;  // the Strict bit marks the deletion pass
  const bool compare;       // update method or Sync
  const bool syncing;
};

// One log entry and one more failure for an entry that failed.
inline void RecordFailure(RunState& state, ErrorLog& log, WideView prefix, WideView path) {
  log.Log(prefix, path);
  state.failureCount.fetch_add(1, std::memory_order_relaxed);
}

inline int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}
