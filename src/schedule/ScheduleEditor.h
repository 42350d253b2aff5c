#pragma once
// The modal editor of one scheduled backup: its name, the settings file it runs, the start, the repetition
// in days and the run mode. It can try the schedule at once without saving it. Saving checks the fields
// in a fixed order and shows the first problem in red under them; a good schedule is written to the
// application INI store (enciphered, see Schedule.h), which is then saved.

#include "base/AppPaths.h"
#include "base/WideString.h"
#include "ini/IniFile.h"
#include "ui/UiWindow.h"

#include <array>
#include <cstdint>
#include <optional>

enum ScheduleEditResult : int {
  kScheduleNotSaved = 0,      // cancelled or closed
  kScheduleSavedSameName = 1,
  kScheduleSavedNewName = 2,  // renamed, or new
};

// name: the schedule to edit, empty for a new one. parent is disabled while the editor is open. On a save,
// row becomes the schedule's line of the settings window's list: the name, the start, the repetition, the
// mode word and the settings file. Returns a ScheduleEditResult.
[[nodiscard]] int EditSchedule(UiWindow& parent, WideView name, IniFile& appIni, const AppPaths& paths,
                               std::array<WideString, 5>& row);

// The days box's text as a number of days: empty or anything but digits gives nothing. Exposed for tests.
[[nodiscard]] std::optional<uint64_t> DaysInBox(WideView text);
// The days a committed or saved box holds: no number or below 1 is 1, above 365 is 365.
[[nodiscard]] uint64_t ClampedDays(WideView text);
