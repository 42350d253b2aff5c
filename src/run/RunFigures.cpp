#include "run/RunFigures.h"

#include <algorithm>

WideString GroupedNumber(uint64_t value) {
  WideString digits = text::DecimalUnsigned(value);
  WideString grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += L',';
    grouped += digits[i];
  }
  return grouped;
}

WideString SizeText(uint64_t bytes) {
  static constexpr const wchar_t* kUnits[] = {L" KB", L" MB", L" GB", L" TB"};
  if (bytes < 1024) return text::Concat(text::DecimalUnsigned(bytes), bytes == 1 ? L" byte" : L" bytes");
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  // Tenths below 10 units, whole units above.
  auto tenths = static_cast<uint64_t>(value * 10 + 0.5);
  if (tenths >= 100) return text::Concat(GroupedNumber((tenths + 5) / 10), kUnits[unit]);
  return text::Concat(text::DecimalUnsigned(tenths / 10), L".", text::DecimalUnsigned(tenths % 10), kUnits[unit]);
}

WideString ShortDurationText(uint64_t seconds) {
  if (seconds < 60) return text::Concat(text::DecimalUnsigned(seconds), L" s");
  uint64_t minutes = (seconds + 30) / 60;
  if (minutes < 60) return text::Concat(text::DecimalUnsigned(minutes), L" min");
  uint64_t hours = minutes / 60;
  minutes %= 60;
  WideString text = text::Concat(text::DecimalUnsigned(hours), L" h");
  if (minutes != 0) text::Append(text, L" ", text::DecimalUnsigned(minutes), L" min");
  return text;
}

void PassPace::Start(uint64_t tick) {
  startTick_ = tick;
  count_ = 0;
  next_ = 0;
}

void PassPace::Add(uint64_t tick, uint64_t bytesDone, uint32_t permille) {
  samples_[next_] = {tick, bytesDone, permille};
  next_ = (next_ + 1) % kSamples;
  count_ = std::min(count_ + 1, kSamples);
}

const PassPace::Sample& PassPace::Oldest() const { return samples_[count_ < kSamples ? 0 : next_]; }
const PassPace::Sample& PassPace::Newest() const { return samples_[(next_ + kSamples - 1) % kSamples]; }

std::optional<uint64_t> PassPace::BytesPerSecond() const {
  if (count_ < 2) return std::nullopt;
  const Sample& oldest = Oldest();
  const Sample& newest = Newest();
  if (newest.tick <= oldest.tick || newest.bytes < oldest.bytes) return std::nullopt;
  return (newest.bytes - oldest.bytes) * 1000 / (newest.tick - oldest.tick);
}

std::optional<uint64_t> PassPace::SecondsLeft() const {
  // Three seconds in, and over a window of at least two, the pace of the bar says when it will be full.
  constexpr uint64_t kSteadyAfterMs = 3000;
  constexpr uint64_t kWindowMs = 2000;
  if (count_ < 2) return std::nullopt;
  const Sample& oldest = Oldest();
  const Sample& newest = Newest();
  if (newest.tick < startTick_ + kSteadyAfterMs || newest.tick < oldest.tick + kWindowMs) return std::nullopt;
  if (newest.permille <= oldest.permille) return std::nullopt;
  uint64_t perMille = newest.permille;
  uint64_t left = perMille >= 1000 ? 0 : 1000 - perMille;
  return (left * (newest.tick - oldest.tick) / (newest.permille - oldest.permille) + 999) / 1000;
}

WideString PassFiguresText(uint64_t itemsDone, uint64_t totalItems, uint64_t bytesDone, uint64_t totalBytes,
                           const PassPace& pace) {
  // The counters start at 1, so that an empty tree never divides by zero.
  uint64_t items = itemsDone > 0 ? itemsDone - 1 : 0;
  uint64_t allItems = totalItems > 0 ? totalItems - 1 : 0;
  uint64_t bytes = bytesDone > 0 ? bytesDone - 1 : 0;
  uint64_t allBytes = totalBytes > 0 ? totalBytes - 1 : 0;
  // A tree that grew after it was counted shows no more done than there is.
  items = std::min(items, allItems);
  bytes = std::min(bytes, allBytes);
  WideString text = text::Concat(GroupedNumber(items), L" of ", GroupedNumber(allItems), L" items, ", SizeText(bytes),
                                 L" of ", SizeText(allBytes));
  if (auto speed = pace.BytesPerSecond()) text::Append(text, L", ", SizeText(*speed), L"/s");
  if (auto left = pace.SecondsLeft()) text::Append(text, L", about ", ShortDurationText(*left), L" left");
  return text;
}
