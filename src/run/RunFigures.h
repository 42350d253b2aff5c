#pragma once
// The figures a run shows: how much of a pass is done and left while it copies, and what the whole run did
// once it ends.

#include "base/WideString.h"

#include <cstdint>
#include <optional>

// 1234567 as "1,234,567".
[[nodiscard]] WideString GroupedNumber(uint64_t value);
// A size in the unit that suits it: "512 bytes", "12 KB", "120 MB", "1.5 GB" (1 KB = 1024 bytes).
[[nodiscard]] WideString SizeText(uint64_t bytes);
// "25 s", "3 min", "1 h 20 min".
[[nodiscard]] WideString ShortDurationText(uint64_t seconds);

// The speed and the time left of a pass, from its counters read a few times a second. The time left is told
// only once the pass has gone on long enough for its pace to mean something.
class PassPace {
 public:
  void Start(uint64_t tick);
  void Add(uint64_t tick, uint64_t bytesDone, uint32_t permille);
  [[nodiscard]] std::optional<uint64_t> BytesPerSecond() const;
  [[nodiscard]] std::optional<uint64_t> SecondsLeft() const;

 private:
  struct Sample {
    uint64_t tick = 0;
    uint64_t bytes = 0;
    uint32_t permille = 0;
  };
  // The pace is taken over the last few seconds: a pass slows down and speeds up with the sizes of its files.
  static constexpr size_t kSamples = 24;
  [[nodiscard]] const Sample& Oldest() const;
  [[nodiscard]] const Sample& Newest() const;

  uint64_t startTick_ = 0;
  Sample samples_[kSamples];
  size_t count_ = 0;
  size_t next_ = 0;
};

// "1,234 of 5,000 items, 120 MB of 1.2 GB, 45 MB/s, about 25 s left": the totals start at 1 (see RunProgress).
[[nodiscard]] WideString PassFiguresText(uint64_t itemsDone, uint64_t totalItems, uint64_t bytesDone, uint64_t totalBytes,
                                         const PassPace& pace);
