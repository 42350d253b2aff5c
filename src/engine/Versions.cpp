#include "engine/Versions.h"

#include "engine/Messages.h"
#include "engine/PassRules.h"

#include <algorithm>

void LeaveOutVersionsFolder(std::vector<SideEntry>& entries) {
  std::erase_if(entries, [](const SideEntry& entry) { return text::EqualsNoCase(entry.name, kVersionsFolderName); });
}

namespace {

WideString TwoDigits(unsigned value) {
  WideString digits = text::DecimalUnsigned(value);
  return digits.size() < 2 ? text::Concat(L"0", digits) : digits;
}

// The digits at [at, at + count) of name as a number; nothing when any is no digit.
std::optional<unsigned> DigitsAt(WideView name, size_t at, size_t count) {
  unsigned value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (name[i] < L'0' || name[i] > L'9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(name[i] - L'0');
  }
  return value;
}

}  // namespace

WideString VersionStamp(const SYSTEMTIME& localTime) {
  return text::Concat(text::DecimalUnsigned(localTime.wYear), L"-", TwoDigits(localTime.wMonth), L"-",
                      TwoDigits(localTime.wDay), L" ", TwoDigits(localTime.wHour), TwoDigits(localTime.wMinute),
                      TwoDigits(localTime.wSecond));
}

std::optional<FILETIME> ParseVersionStamp(WideView name) {
  // "YYYY-MM-DD HHMMSS", perhaps followed by " (2)"
  if (name.size() > 17) {
    WideView more = name.substr(17);
    if (more.size() < 4 || more.substr(0, 2) != L" (" || more.back() != L')' ||
        !DigitsAt(more, 2, more.size() - 3)) {
      return std::nullopt;
    }
    name = name.substr(0, 17);
  }
  if (name.size() != 17 || name[4] != L'-' || name[7] != L'-' || name[10] != L' ') return std::nullopt;
  auto year = DigitsAt(name, 0, 4), month = DigitsAt(name, 5, 2), day = DigitsAt(name, 8, 2);
  auto hour = DigitsAt(name, 11, 2), minute = DigitsAt(name, 13, 2), second = DigitsAt(name, 15, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(*year);
  time.wMonth = static_cast<WORD>(*month);
  time.wDay = static_cast<WORD>(*day);
  time.wHour = static_cast<WORD>(*hour);
  time.wMinute = static_cast<WORD>(*minute);
  time.wSecond = static_cast<WORD>(*second);
  FILETIME value;
  if (!SystemTimeToFileTime(&time, &value)) return std::nullopt;  // 2024-02-30 is no date
  return value;
}

MoveOutcome KeepVersion(Side& side, const VersionsPlace& place, const WideString& path, WideString& keptAt) {
  // The walk builds every path from its root, so the root is always where the path begins.
  size_t start = std::min(place.root.size(), path.size());
  while (start < path.size() && (path[start] == L'\\' || path[start] == L'/')) ++start;
  WideString relative = path.substr(start);
  WideString versions = side.Join(place.root, WideString(kVersionsFolderName));
  constexpr unsigned kRunFoldersPerSecond = 9;
  for (unsigned attempt = 1; attempt <= kRunFoldersPerSecond; ++attempt) {
    WideString runFolder =
        attempt == 1 ? place.stamp : text::Concat(place.stamp, L" (", text::DecimalUnsigned(attempt), L")");
    keptAt = side.Join(side.Join(versions, runFolder), relative);
    MoveOutcome moved = side.MoveAside(path, keptAt);
    if (moved != MoveOutcome::kPlaceTaken) return moved;
  }
  return MoveOutcome::kPlaceTaken;
}

void ExpireVersions(Side& side, const WideString& root, uint32_t keepDays, const SYSTEMTIME& now, ErrorLog& log,
                    RunProgress& progress) {
  WideString versions = side.Join(root, WideString(kVersionsFolderName));
  std::vector<SideEntry> entries;
  if (side.List(versions, entries, Leftovers::kLeave) != ListOutcome::kListed) return;
  FILETIME nowValue;
  if (!SystemTimeToFileTime(&now, &nowValue)) return;
  int64_t cutoff = FileTimeValue(nowValue) - int64_t{keepDays} * 86400 * 10'000'000;
  for (const SideEntry& entry : entries) {
    if (!entry.IsDirectory() || entry.IsLink()) continue;
    std::optional<FILETIME> made = ParseVersionStamp(entry.name);
    if (!made || FileTimeValue(*made) >= cutoff) continue;
    WideString path = side.Join(versions, entry.name);
    if (!side.Delete(path, true)) {
      log.Log(messages::kCouldNotDelete, path, side.LastReply());
      progress.AddFailure();
    }
  }
}
