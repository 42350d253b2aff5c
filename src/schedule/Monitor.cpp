#include "schedule/Monitor.h"

#include "base/Process.h"
#include "base/Regex.h"
#include "base/TimeStamp.h"
#include "res/ResourceIds.h"
#include "schedule/LogonTask.h"
#include "schedule/Schedule.h"
#include "ui/Controls.h"
#include "ui/Drawing.h"
#include "ui/Images.h"
#include "ui/Menus.h"
#include "ui/UiWindow.h"

#include <algorithm>

namespace {

constexpr WideView kMonitoringTip = L"Monitoring scheduled backups...";
constexpr WideView kManagingTip = L"Managing scheduled backups.\r\nClose the dialog box for more options.";
constexpr int kTrayAttempts = 200;
constexpr DWORD kTrayRetryMs = 50;
constexpr uint64_t kDoubleClickGuardMs = 50;
constexpr UINT_PTR kWakeTimerId = 0x4D4F;

// Milliseconds from the high-resolution counter: the loop's own timing says nothing about wall time.
uint64_t CounterMs() {
  static const int64_t frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart > 0 ? value.QuadPart : 1;
  }();
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  return static_cast<uint64_t>(count.QuadPart / frequency * 1000 + count.QuadPart % frequency * 1000 / frequency);
}

// The cross of the exit item, drawn large and scaled down so that its edges stay smooth.
UniqueBitmap ExitPicture(int width, int height) {
  Gdiplus::Bitmap canvas(300, 300, PixelFormat32bppPARGB);
  {
    Gdiplus::Graphics graphics(&canvas);
    // On the menu's own colour: a menu draws its pictures without their transparency under some systems,
    // and a cross on nothing became a black square.
    COLORREF menu = GetSysColor(COLOR_MENU);
    graphics.Clear(Gdiplus::Color(255, GetRValue(menu), GetGValue(menu), GetBValue(menu)));
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::Pen pen(Gdiplus::Color(255, 0, 0, 0), 40.0f);
    graphics.DrawLine(&pen, 30, 30, 240, 240);
    graphics.DrawLine(&pen, 240, 30, 30, 240);
  }
  return ScaledBitmap(canvas, width, height);
}

void LaunchProgram(const AppPaths& paths) { (void)LaunchProcess(paths.modulePath, L"", paths.appDirectory, SW_SHOW); }

}  // namespace

HWND FindScheduledBackupsMonitor() { return FindWindowW(kMonitorWindowClass, kMonitorWindowTitle); }

WideString ScheduleArguments(WideView settingsFile, WideView mode) {
  WideString arguments = text::Concat(L" \"", settingsFile, L"\"");
  if (text::EqualsNoCase(mode, L"1")) text::Append(arguments, L" /Passive");
  if (text::EqualsNoCase(mode, L"2")) text::Append(arguments, L" /Quiet");
  return arguments;
}

WideString LaunchMemory::IdentityOf(const Schedule& schedule) {
  return text::Concat(schedule.name, L"\n", schedule.Text(false));
}

bool LaunchMemory::MayLaunch(const Schedule& schedule, uint64_t steadySeconds) const {
  WideString identity = IdentityOf(schedule);
  for (const Launch& launch : launches_) {
    if (launch.identity != identity) continue;
    if (launch.process && WaitForSingleObject(launch.process.get(), 0) == WAIT_TIMEOUT) return false;
    if (launch.interval == 0) return false;
    return steadySeconds - launch.steadySeconds >= launch.interval;
  }
  return true;
}

void LaunchMemory::Remember(const Schedule& schedule, uint64_t steadySeconds, UniqueKernelHandle process) {
  WideString identity = IdentityOf(schedule);
  std::erase_if(launches_, [&identity](const Launch& launch) { return launch.identity == identity; });
  launches_.push_back({std::move(identity), schedule.interval, steadySeconds, std::move(process)});
}

uint64_t SteadySeconds() { return GetTickCount64() / 1000; }

std::vector<ScheduleLaunch> RunScheduleCheckPass(IniFile& appIni, const AppPaths& paths, uint64_t now,
                                                 LaunchMemory& memory, uint64_t steadySeconds) {
  std::vector<ScheduleLaunch> launches;
  for (Schedule& schedule : EnumerateSchedules(appIni)) {
    if (schedule.settingsFile.empty() || !schedule.IsDue(now) || !memory.MayLaunch(schedule, steadySeconds)) {
      continue;
    }
    WideString arguments = ScheduleArguments(schedule.settingsFile, schedule.mode);
    LaunchedProcess launched = LaunchProcessKeepingHandle(paths.modulePath, arguments, paths.appDirectory, SW_SHOW);
    // A failed launch stays due and is tried again at the next pass.
    if (launched.processId == 0) continue;
    memory.Remember(schedule, steadySeconds, std::move(launched.process));
    // A failed write-back leaves the schedule due on disk; the memory keeps this monitor from launching it
    // again within its interval.
    (void)MarkScheduleRun(appIni, schedule, now);
    launches.push_back({schedule.name, std::move(arguments), launched.processId,
                        text::EqualsNoCase(schedule.mode, L"2")});
  }
  return launches;
}

WideString MonitorTaskRequest(WideView modulePath, const SYSTEMTIME& localTime) {
  wchar_t stamp[64] = {};
  swprintf(stamp, 64, L"%04u/%02u/%02u  %02u:%02u:%02u  ", localTime.wYear, localTime.wMonth, localTime.wDay,
           localTime.wHour, localTime.wMinute, localTime.wSecond);
  WideString when(stamp);
  WideString rewritten;
  if (Regex(LR"((\d{4})/(\d{2})/(\d{2})  (\d{2}:\d{2}:\d{2}))").ReplaceAll(when, L"$1-$2-$3  |  $4", rewritten)) {
    when = std::move(rewritten);
  }
  return text::Concat(kLogonTaskName, kLogonTaskSeparator,
                      L"This task monitors your scheduled backups and executes them according to their schedule",
                      kLogonTaskSeparator, modulePath, kLogonTaskSeparator, L" /ScheduledBackups", kLogonTaskSeparator,
                      when);
}

bool StartScheduledBackupsMonitor(const AppPaths& paths, const std::function<void()>& pumpMessages) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  if (!RegisterLogonTask(MonitorTaskRequest(paths.modulePath, now))) return false;
  if (!FindScheduledBackupsMonitor()) {
    (void)LaunchProcess(paths.modulePath, L" /ScheduledBackups", paths.appDirectory, SW_SHOWNORMAL);
  }
  for (int round = 0; round < 100 && !FindScheduledBackupsMonitor(); ++round) {
    Sleep(20);
    if (pumpMessages) pumpMessages();
  }
  return true;
}

bool StopScheduledBackupsMonitor() {
  if (!DeleteLogonTask()) return false;
  if (HWND monitor = FindScheduledBackupsMonitor()) PostMessageW(monitor, WM_CLOSE, 0, 0);
  return true;
}

int RunScheduledBackupsMonitor(const AppPaths& paths, const RunEnvironment& environment, const MonitorHooks& hooks,
                               const MonitorTiming& timing) {
  // One monitor per desktop.
  if (FindScheduledBackupsMonitor()) return 0;
  UiWindow window;
  if (!window.Create(kMonitorWindowClass, kMonitorWindowTitle, 650, 525, kCentred, kCentred, kDefaultWindowStyle,
                     kDefaultExtendedStyle, nullptr)) {
    return 0;
  }
  HINSTANCE module = GetModuleHandleW(nullptr);
  UniqueIcon icon = LoadIconResource(module, IDI_PROGRAM, GetSystemMetrics(SM_CXSMICON));
  // At logon the taskbar may not be there yet.
  int trayId = 0;
  for (int attempt = 0; attempt < kTrayAttempts; ++attempt) {
    trayId = AddTrayIcon(window, icon.get(), kMonitoringTip);
    if (trayId) break;
    Sleep(kTrayRetryMs);
  }
  if (!trayId) return 0;

  int checkWidth = GetSystemMetrics(SM_CXMENUCHECK);
  int checkHeight = GetSystemMetrics(SM_CYMENUCHECK);
  int menuId = AddPopupMenu(window);
  int exitId = AddMenuItem(window, menuId, L"Exit scheduled backups monitor", -1, 0, ExitPicture(checkWidth, checkHeight));
  int manageId = AddMenuItem(window, menuId, L"Manage scheduled backups", -1, 0,
                             LoadImageResourceBitmap(module, IDIMG_SCHEDULE, checkWidth, checkHeight));
  int launchId = AddMenuItem(window, menuId, L"Launch Brimlark Backup", -1, 0,
                             IconToBitmap(icon.get(), checkWidth, checkHeight));
  (void)window.SetState(launchId, kStateMakeDefault);

  HWND handle = window.handle();
  if (timing.started) timing.started(handle, MonitorIds{trayId, exitId, manageId, launchId});
  auto localNow = [&timing] { return timing.localNow ? timing.localNow() : LocalNowInSeconds(); };
  // Starts the new version written over the program, which takes over; when it cannot be started this
  // monitor carries on.
  auto restartedAfterUpdate = [&paths] {
    WideString commandLine = text::Concat(text::View(GetCommandLineW()), L" /PostUpdate");
    return LaunchProcess(paths.modulePath, commandLine, L"", SW_SHOWNORMAL, kLaunchNoRedirection) > 0;
  };
  LaunchMemory launchMemory;
  uint64_t lastCheck = CounterMs();
  uint64_t lastUpdateCheck = lastCheck;
  uint64_t clickTime = 0;
  int clickState = 0;  // 0 idle, 1 one click pending, 2 a double click consumed
  // The monitor sleeps until its next duty: one timer, set again before each wait for the nearest of the
  // check pass, the update check and a pending click, so that an idle monitor wakes about once a minute.
  auto armWakeTimer = [&] {
    uint64_t now = CounterMs();
    auto waitUntil = [now](uint64_t moment) { return moment > now ? moment - now : 0; };
    uint64_t wait = std::min(waitUntil(lastCheck + timing.checkPeriodMs + 1),
                             waitUntil(lastUpdateCheck + timing.updatePeriodMs + 1));
    if (clickState != 0) wait = std::min(wait, waitUntil(clickTime + timing.clickDelayMs + 1));
    wait = std::clamp<uint64_t>(wait, USER_TIMER_MINIMUM, 0x7FFFFFFF);
    (void)SetTimer(handle, kWakeTimerId, static_cast<UINT>(wait), nullptr);
  };
  bool running = true;
  while (running) {
    int32_t code = window.NextEvent().code;
    if (code == kEventNone) {
      armWakeTimer();
      WaitMessage();
      code = window.NextEvent().code;
    }
    if (clickState != 0 && CounterMs() - clickTime > timing.clickDelayMs) {
      if (clickState == 1) {
        POINT cursor{};
        GetCursorPos(&cursor);
        (void)ShowPopupMenu(window, menuId, TPM_LEFTALIGN, cursor.x, cursor.y);
      }
      clickState = 0;
    }
    if (code == kEventClose || code == kEventQuit || (code == exitId && exitId != 0)) break;
    if (code == kEventContextMenu) {
      (void)ShowPopupMenu(window, menuId);
    } else if (code == trayId) {
      if (clickState == 0) {
        clickState = 1;
        clickTime = CounterMs();
        continue;
      }
      if (CounterMs() - clickTime < kDoubleClickGuardMs) continue;
      if (clickState == 1) {
        LaunchProgram(paths);
        clickState = 2;
        clickTime = CounterMs();
      }
    } else if (code == manageId && manageId != 0) {
      (void)SetTooltip(window, trayId, kManagingTip);
      MonitorAction action =
          hooks.manageScheduledBackups ? hooks.manageScheduledBackups(window.handle()) : MonitorAction::kCarryOn;
      (void)SetTooltip(window, trayId, kMonitoringTip);
      if (action == MonitorAction::kEnd) break;
      if (action == MonitorAction::kRestartAfterUpdate && restartedAfterUpdate()) break;
    } else if (code == launchId && launchId != 0) {
      LaunchProgram(paths);
    }

    if (CounterMs() - lastCheck > timing.checkPeriodMs) {
      // Another instance may have changed the schedules since: the pass works on the file as it is now,
      // so that its save keeps their changes. A file that is there but cannot be read waits for next time.
      if (environment.appIni.Load(paths.appIniPath) || !environment.appIni.loadFailedOnExistingFile()) {
        for (const ScheduleLaunch& launch :
             RunScheduleCheckPass(environment.appIni, paths, localNow(), launchMemory, SteadySeconds())) {
          if (!launch.quiet) continue;
          (void)ShowBalloon(window, trayId,
                            text::Concat(L"Successfully started the scheduled backup named ", launch.name, L"."),
                            icon.get());
        }
      }
      lastCheck = CounterMs();
      continue;
    }
    if (CounterMs() - lastUpdateCheck > timing.updatePeriodMs) {
      lastUpdateCheck = CounterMs();
      if (hooks.checkForUpdate && hooks.checkForUpdate() == MonitorAction::kRestartAfterUpdate &&
          restartedAfterUpdate()) {
        running = false;
      }
    }
  }
  KillTimer(handle, kWakeTimerId);
  window.Destroy();
  return 0;
}
