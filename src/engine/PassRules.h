#pragma once
// What the run's flags ask of a transfer pass, and the comparison that decides whether a file is copied
// over an existing one.

#include <windows.h>

#include <cstdint>

// The run's mode bits, with the update method.
enum RunFlags : uint32_t {
  kRunCommon = 0,
  kRunStrict = 0x01,
  kRunRestore = 0x02,
  kRunSync = 0x04,
  kRunUpdateMethod = 0x10,
};

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

inline int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}
