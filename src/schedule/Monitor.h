#pragma once
// The scheduled-backups monitor: an instance of the program started with /ScheduledBackups (at logon, by
// the task of LogonTask.h) that sits in the notification area, launches every due schedule as a separate
// instance of the program about once a minute, and runs the silent update check once an hour. Its hidden
// window, found by class and title, marks it as running and is the address for closing it from outside.

#include "base/AppPaths.h"
#include "base/UniqueHandle.h"
#include "ini/IniFile.h"
#include "run/RunEnvironment.h"
#include "schedule/Schedule.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

inline constexpr wchar_t kMonitorWindowClass[] = L"BRIMLARK_MONCLASS";
inline constexpr wchar_t kMonitorWindowTitle[] = L"Brimlark Backup Monitor";

// What the monitor does after a hook returns.
enum class MonitorAction {
  kCarryOn,
  kEnd,                // the program is being uninstalled: the monitor ends
  kRestartAfterUpdate  // a new version was written over the program: the monitor starts it and ends
};

// What the monitor needs from the layers above it.
struct MonitorHooks {
  // The silent update check.
  std::function<MonitorAction()> checkForUpdate;
  // Opens the settings window on its "Scheduled backups" page, modally, and returns when it is closed.
  std::function<MonitorAction(HWND owner)> manageScheduledBackups;
};

// The ids the monitor's icon and menu items raise as events (WM_COMMAND with an item's id chooses it).
struct MonitorIds {
  int trayIcon = 0;
  int exitItem = 0;
  int manageItem = 0;
  int launchItem = 0;
};

// How often the monitor looks, and what "now" is. The defaults are the real ones; tests shorten them.
struct MonitorTiming {
  uint64_t checkPeriodMs = 59900;     // a pass comes after more than this since the last one (or the start)
  uint64_t updatePeriodMs = 3600000;  // likewise the update check
  uint64_t clickDelayMs = 500;        // a single click on the icon opens the menu after this
  std::function<uint64_t()> localNow; // local time in seconds since 1601; empty: the clock
  // Told the window and the ids of its icon and menu items once they are there (for tests).
  std::function<void(HWND window, const MonitorIds& ids)> started;
};

// Returns when the monitor ends (at once when another runs, or when the notification area refuses its icon
// for about ten seconds). The exit code of the process.
int RunScheduledBackupsMonitor(const AppPaths& paths, const RunEnvironment& environment,
                               const MonitorHooks& hooks = {}, const MonitorTiming& timing = {});

// The monitor window of this desktop, or null.
[[nodiscard]] HWND FindScheduledBackupsMonitor();

// For the settings window: registers the logon task and starts the monitor unless one runs, then waits up
// to two seconds for its window, calling pumpMessages (when given) between rounds so that the caller's
// window stays answered. False only when the task could not be registered.
[[nodiscard]] bool StartScheduledBackupsMonitor(const AppPaths& paths, const std::function<void()>& pumpMessages = {});
// Deletes the logon task and asks a running monitor to close. False when the task could not be deleted.
[[nodiscard]] bool StopScheduledBackupsMonitor();

// The registration request for the logon task, registered at localTime.
[[nodiscard]] WideString MonitorTaskRequest(WideView modulePath, const SYSTEMTIME& localTime);

// One launch of a check pass.
struct ScheduleLaunch {
  WideString name;
  WideString arguments;  // the command line given to the new instance
  DWORD processId = 0;
  bool quiet = false;    // a Quiet schedule, which shows nothing itself: the monitor says it started
};

// The argument text for a schedule: a blank, the quoted settings file, then " /Passive" or " /Quiet".
[[nodiscard]] WideString ScheduleArguments(WideView settingsFile, WideView mode);

// What the monitor remembers of its own launches while it runs: the last run written back to the INI file
// is not enough, since that write can fail (and the schedule would then be launched at every pass).
class LaunchMemory {
 public:
  // False while the schedule's previous launch still runs, and within its interval of that launch (for
  // good, for a schedule that runs once). An edited schedule (other start, interval, mode or file) counts
  // as a new one. steadySeconds comes from a clock that the user's clock changes do not move.
  [[nodiscard]] bool MayLaunch(const Schedule& schedule, uint64_t steadySeconds) const;
  void Remember(const Schedule& schedule, uint64_t steadySeconds, UniqueKernelHandle process);

 private:
  struct Launch {
    WideString identity;
    uint64_t interval = 0;
    uint64_t steadySeconds = 0;
    UniqueKernelHandle process;
  };
  [[nodiscard]] static WideString IdentityOf(const Schedule& schedule);
  std::vector<Launch> launches_;
};

// Seconds of a clock that only moves forward (and goes on while the machine sleeps).
[[nodiscard]] uint64_t SteadySeconds();

// Launches every schedule of appIni that is due at now and that memory allows, in file order, remembers
// each launch and records it as its last run (saving appIni). A schedule that cannot be read, whose
// settings file is gone, or whose launch fails is left as it is. Returns the launches.
std::vector<ScheduleLaunch> RunScheduleCheckPass(IniFile& appIni, const AppPaths& paths, uint64_t now,
                                                 LaunchMemory& memory, uint64_t steadySeconds);
