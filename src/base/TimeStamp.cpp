#include "base/TimeStamp.h"

namespace {

WideString FixedDigits(unsigned value, size_t width) {
  WideString digits = text::DecimalUnsigned(value);
  if (digits.size() > width) return digits.substr(digits.size() - width);
  return WideString(width - digits.size(), L'0') + digits;
}

constexpr uint64_t kTicksPerSecond = 10'000'000;

}  // namespace

WideString FormatTimeStamp(const SYSTEMTIME& time, bool withMilliseconds) {
  WideString stamp = text::Concat(FixedDigits(time.wYear, 4), L"/", FixedDigits(time.wMonth, 2), L"/",
                                  FixedDigits(time.wDay, 2), L" ", FixedDigits(time.wHour, 2), L":",
                                  FixedDigits(time.wMinute, 2), L":", FixedDigits(time.wSecond, 2));
  if (withMilliseconds) text::Append(stamp, L":", FixedDigits(time.wMilliseconds, 3));
  return stamp;
}

uint64_t SecondsSince1601(const SYSTEMTIME& time) {
  FILETIME file{};
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  return ((static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime) / kTicksPerSecond;
}

SYSTEMTIME TimeFromSecondsSince1601(uint64_t seconds) {
  uint64_t ticks = seconds * kTicksPerSecond;
  FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME time{};
  FileTimeToSystemTime(&file, &time);
  return time;
}

uint64_t LocalNowInSeconds() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return SecondsSince1601(now);
}
