#pragma once
// Scheduled backups: which settings file to run, from when, how often and in which run mode. Each lives
// in the application INI file, section "Scheduled backups", with both its name (the key) and the rest
// (the value) enciphered, so the file shows neither names nor paths.

#include "base/WideString.h"
#include "ini/IniFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

inline constexpr WideView kScheduleSection = L"Scheduled backups";
inline constexpr uint64_t kSecondsPerDay = 86400;

struct Schedule {
  WideString name;
  uint64_t start = 0;     // first due moment, local time in seconds since 1601
  uint64_t interval = 0;  // seconds between runs; 0 = runs once
  WideString mode;        // "0" Normal, "1" Passive, "2" Quiet; anything else reads as Normal
  WideString settingsFile;
  uint64_t lastRun = 0;   // when the monitor last launched it; 0 = never

  // start, interval, mode and settingsFile joined by LF, and lastRun after them when asked for.
  [[nodiscard]] WideString Text(bool withLastRun) const;
  // Nothing when the text has fewer than four LF-separated parts.
  [[nodiscard]] static std::optional<Schedule> FromText(WideView name, WideView text);

  // Due when the settings file exists, now has reached start, and it never ran, or repeats and one
  // interval has passed since its last launch, or its last launch lies more than one interval ahead of
  // now (a clock that was once ahead). Unsigned 64-bit throughout.
  [[nodiscard]] bool IsDue(uint64_t now) const;
};

[[nodiscard]] WideView ModeText(WideView mode);  // "Passive", "Quiet" or "Normal"
[[nodiscard]] WideString IntervalText(uint64_t interval);  // "Every N days" or "Disabled"

// The four cells after the name in the settings window's list, from a deciphered value.
[[nodiscard]] std::optional<std::array<WideString, 4>> RenderScheduleRow(WideView decipheredValue);

// Operations on the application INI store; the ones that change it also save it.
[[nodiscard]] std::optional<Schedule> FindSchedule(const IniFile& appIni, WideView name);
[[nodiscard]] bool ScheduleExists(const IniFile& appIni, WideView name);
bool WriteSchedule(IniFile& appIni, const Schedule& schedule, bool withLastRun);
// Writes the schedule under its new name, then removes the entry of the old name.
bool RenameSchedule(IniFile& appIni, WideView oldName, const Schedule& schedule);
bool DeleteSchedule(IniFile& appIni, WideView name);
// Every entry that deciphers into a valid schedule, in file order; others are skipped silently.
[[nodiscard]] std::vector<Schedule> EnumerateSchedules(const IniFile& appIni);
// Records now as the last launch and writes the five-field text under the unchanged key.
bool MarkScheduleRun(IniFile& appIni, Schedule& schedule, uint64_t now);
