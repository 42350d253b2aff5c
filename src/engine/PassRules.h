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

// What the comparison of a source file with its copy decides.
enum class Comparison {
  kCopy,         // the source is newer, or the sizes differ at the same time
  kSame,         // same size and the same time, as closely as the two sides keep times
  kTargetNewer,  // the copy is newer: never replaced by an older source
};

struct PassRules {
  explicit PassRules(uint32_t runFlags)
      : deletionPass((runFlags & kRunStrict) != 0),
        compare((runFlags & (kRunUpdateMethod | kRunSync)) != 0),
        syncing((runFlags & kRunSync) != 0) {}

  // precision: how finely the coarser side keeps times (100-ns units); both are compared at that grain,
  // or a server that keeps whole seconds would have every file sent again on every run.
  // With equal sizes, times up to 2 seconds apart are the same time (FAT and exFAT keep even seconds),
  // and so are times exactly one hour apart, give or take those 2 seconds (FAT keeps local time, which
  // steps by an hour when summer time begins or ends); otherwise every run would copy a whole USB stick
  // again. A newer copy is never replaced: it may hold the only copy of the user's latest edit.
  [[nodiscard]] static Comparison Compare(int64_t sourceTime, uint64_t sourceSize, int64_t targetTime,
                                          uint64_t targetSize, int64_t precision = 1) {
    if (precision > 1) {
      sourceTime -= sourceTime % precision;
      targetTime -= targetTime % precision;
    }
    constexpr int64_t kSlack = 2 * 10'000'000;
    constexpr int64_t kHour = 3600ll * 10'000'000;
    int64_t apart = sourceTime > targetTime ? sourceTime - targetTime : targetTime - sourceTime;
    bool sameTime = apart <= kSlack || (apart >= kHour - kSlack && apart <= kHour + kSlack);
    if (sameTime && sourceSize == targetSize) return Comparison::kSame;
    // Within the slack the order of the two times says nothing: the sizes differ, so the copy is stale.
    if (apart <= kSlack || sourceTime > targetTime) return Comparison::kCopy;
    return Comparison::kTargetNewer;
  }

  const bool deletionPass;  // the Strict bit marks the deletion pass
  const bool compare;       // update method or Sync
  const bool syncing;
};

inline int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}
