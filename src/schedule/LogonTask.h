#pragma once
// The Task Scheduler task that starts the scheduled-backups monitor at every logon, with the highest run
// level. Only the Task Scheduler 2.0 interfaces are used: the program runs on Windows 6.0 and later, where
// they exist, so the older 1.0 work items are never made. COM must be startable on the calling thread.

#include "base/WideString.h"

#include <windows.h>

#include <optional>
#include <vector>

inline constexpr WideView kLogonTaskName = L"Brimlark Backup Monitoring";
inline constexpr WideView kLogonTaskSeparator = L"  |  ";

// The six parts of a registration request: task name, description, program, arguments, date
// (yyyy-mm-dd) and time (hh:mm:ss), joined by "  |  ". Nothing unless there are exactly six.
[[nodiscard]] std::optional<std::vector<WideString>> SplitLogonTaskRequest(WideView request);

// The program's folder: trailing backslashes removed, cut at the last backslash, unless that backslash is
// within the first three characters (a drive's root keeps its backslash).
[[nodiscard]] WideString LogonTaskWorkingFolder(WideView programPath);

// Replaces any task of the request's name with a new one. A malformed request fails before the Task
// Scheduler is contacted.
[[nodiscard]] bool RegisterLogonTask(WideView request);
// The program the monitor task runs (the Path of its first program action); nothing when there is no such
// task or action.
[[nodiscard]] std::optional<WideString> RegisteredMonitorProgram();
// True when the task is gone afterwards, including when there was none.
[[nodiscard]] bool DeleteLogonTask();

// The step of the last failed Task Scheduler call on this thread and its result, so that a caller (or a
// test on a system whose Task Scheduler lacks a feature) can tell what was refused.
struct LogonTaskFailure {
  const wchar_t* step = L"";
  HRESULT result = S_OK;
};
[[nodiscard]] LogonTaskFailure LastLogonTaskFailure();
