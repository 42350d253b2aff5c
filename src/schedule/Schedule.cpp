#include "schedule/Schedule.h"

#include "base/FileSystem.h"
#include "base/TimeStamp.h"
#include "jobs/SecretText.h"

WideString Schedule::Text(bool withLastRun) const {
  WideString result = text::Concat(text::DecimalUnsigned(start), L"\n", text::DecimalUnsigned(interval), L"\n", mode,
                                   L"\n", settingsFile);
  if (withLastRun) text::Append(result, L"\n", text::DecimalUnsigned(lastRun));
  return result;
}

std::optional<Schedule> Schedule::FromText(WideView name, WideView value) {
  std::vector<WideString> parts = text::Split(value, L"\n");
  if (parts.size() < 4) return std::nullopt;
  Schedule schedule;
  schedule.name = WideString(name);
  schedule.start = text::ParseUnsigned(parts[0]);
  schedule.interval = text::ParseUnsigned(parts[1]);
  schedule.mode = parts[2];
  schedule.settingsFile = parts[3];
  schedule.lastRun = parts.size() > 4 ? text::ParseUnsigned(parts[4]) : 0;
  return schedule;
}

bool Schedule::IsDue(uint64_t now) const {
  if (!IsExistingFile(settingsFile)) return false;
  if (now < start) return false;
  if (lastRun == 0) return true;
  if (interval == 0) return false;
  // A last run more than one interval ahead was written while the clock was wrong: waiting for the clock
  // to reach it would stop the backups silently. The run writes a correct one.
  if (lastRun > now && lastRun - now > interval) return true;
  // lastRun + interval cannot wrap for any moment the calendar holds; the check keeps it that way.
  return lastRun <= UINT64_MAX - interval && now >= lastRun + interval;
}

WideView ModeText(WideView mode) {
  if (text::EqualsNoCase(mode, L"1")) return L"Passive";
  if (text::EqualsNoCase(mode, L"2")) return L"Quiet";
  return L"Normal";
}

WideString IntervalText(uint64_t interval) {
  if (interval == 0) return L"Disabled";
  return text::Concat(L"Every ", text::DecimalUnsigned(interval / kSecondsPerDay), L" days");
}

std::optional<std::array<WideString, 4>> RenderScheduleRow(WideView decipheredValue) {
  auto schedule = Schedule::FromText(L"", decipheredValue);
  if (!schedule) return std::nullopt;
  return std::array<WideString, 4>{FormatTimeStamp(TimeFromSecondsSince1601(schedule->start), false),
                                   IntervalText(schedule->interval), WideString(ModeText(schedule->mode)),
                                   schedule->settingsFile};
}

std::optional<Schedule> FindSchedule(const IniFile& appIni, WideView name) {
  auto key = secret_text::Encipher(name);
  if (!key) return std::nullopt;
  const wchar_t* stored = appIni.GetString(kScheduleSection, *key, nullptr);
  if (!stored) return std::nullopt;
  auto value = secret_text::Decipher(stored);
  if (!value) return std::nullopt;
  return Schedule::FromText(name, *value);
}

bool ScheduleExists(const IniFile& appIni, WideView name) {
  auto key = secret_text::Encipher(name);
  if (!key) return false;
  // A valid enciphered schedule text is always longer than 32 characters.
  return text::View(appIni.GetString(kScheduleSection, *key, L"")).size() > 32;
}

bool WriteSchedule(IniFile& appIni, const Schedule& schedule, bool withLastRun) {
  auto key = secret_text::Encipher(schedule.name);
  auto value = secret_text::Encipher(schedule.Text(withLastRun));
  if (!key || !value || !appIni.SetString(kScheduleSection, *key, *value)) return false;
  return appIni.Save();
}

bool RenameSchedule(IniFile& appIni, WideView oldName, const Schedule& schedule) {
  if (!WriteSchedule(appIni, schedule, false)) return false;
  if (oldName == schedule.name) return true;
  return DeleteSchedule(appIni, oldName);
}

bool DeleteSchedule(IniFile& appIni, WideView name) {
  auto key = secret_text::Encipher(name);
  if (!key) return false;
  appIni.DeleteKey(kScheduleSection, *key);
  return appIni.Save();
}

std::vector<Schedule> EnumerateSchedules(const IniFile& appIni) {
  std::vector<Schedule> schedules;
  auto range = appIni.SectionRange(kScheduleSection);
  if (!range) return schedules;
  for (size_t line = appIni.NextKeyLine(range->firstBody, range->end); line != 0;
       line = appIni.NextKeyLine(line, range->end)) {
    WideString key, value;
    if (!appIni.GetKeyValueAt(line, key, value)) continue;
    auto name = secret_text::Decipher(key);
    auto text = name ? secret_text::Decipher(value) : std::nullopt;
    if (!text) continue;
    if (auto schedule = Schedule::FromText(*name, *text)) schedules.push_back(std::move(*schedule));
  }
  return schedules;
}

bool MarkScheduleRun(IniFile& appIni, Schedule& schedule, uint64_t now) {
  schedule.lastRun = now;
  return WriteSchedule(appIni, schedule, true);
}
