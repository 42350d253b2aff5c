// The monitor for real: its hidden window and tray icon under Xvfb, its check pass launching real
// processes. The launched "program" is a copy of this test executable named Brimlark.exe, which, before
// any test runs, writes the command line and folder it was started with beside itself and ends.

#include "schedule/Monitor.h"
#include "schedule/Schedule.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "base/TimeStamp.h"
#include "jobs/SecretText.h"
#include "ui/UiWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

constexpr wchar_t kRecorderName[] = L"Brimlark.exe";

// Runs before main: a copy started as a scheduled backup records itself and ends (without recording when
// its folder is gone), so that it never runs the tests itself.
[[maybe_unused]] const bool recordedLaunch = [] {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  WideView path(module);
  if (!text::EqualsNoCase(text::FileNamePart(path), kRecorderName)) return false;
  WideString folder(text::FolderPart(path));
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  WideString record = text::Concat(text::View(GetCommandLineW()), L"\n", text::View(current));
  // Written aside and then renamed, so that a test that finds the record finds it whole.
  WideString pid = text::DecimalUnsigned(GetCurrentProcessId());
  WideString aside = text::Concat(folder, L"\\record-", pid, L".tmp");
  if (WriteTestFile(aside, text::ToUtf8(record))) {
    (void)MoveFileW(aside.c_str(), text::Concat(folder, L"\\launch-", pid, L".txt").c_str());
  }
  // A test that wants a launch still running when the next pass comes holds it with this file.
  for (int round = 0; round < 600 && GetFileAttributesW(text::Concat(folder, L"\\hold").c_str()) !=
                                         INVALID_FILE_ATTRIBUTES; ++round) {
    Sleep(50);
  }
  ExitProcess(0);
}();

std::vector<std::string> LaunchRecords(const TempFolder& folder) {
  std::vector<std::string> records;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder / L"launch-*.txt").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return records;
  do {
    records.push_back(ReadTestFile(folder / found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return records;
}

// Waits for launched processes to end: the monitor never starts a schedule whose last launch still runs.
bool LaunchesEnded(const std::vector<ScheduleLaunch>& launches) {
  for (const ScheduleLaunch& launch : launches) {
    UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, launch.processId));
    if (process && WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) return false;
  }
  return true;
}

class MonitorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(FindScheduledBackupsMonitor()) << "another monitor runs in this prefix";
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    paths.appDirectory = folder.path();
    paths.modulePath = folder / kRecorderName;
    paths.appIniPath = folder / L"Brimlark.ini";
    ASSERT_TRUE(CopyFileW(self, paths.modulePath.c_str(), FALSE));
    ASSERT_TRUE(WriteTestFile(settings, "[Folders]\r\n"));
  }

  // A schedule written to the INI file on disk by another store, as another instance would.
  void WriteScheduleOnDisk(const Schedule& schedule) {
    IniFile other;
    (void)other.Load(paths.appIniPath);
    ASSERT_TRUE(WriteSchedule(other, schedule, schedule.lastRun != 0));
  }

  std::optional<Schedule> ScheduleOnDisk(WideView name) {
    IniFile reread;
    (void)reread.Load(paths.appIniPath);
    return FindSchedule(reread, name);
  }

  TempFolder folder;
  AppPaths paths;
  WideString settings = folder / L"nightly job.brlk";
  IniFile appIni;
  IniFile jobIni;
  ErrorLog log{folder / L"Brimlark_ErrorLog.txt"};
  RunProgress progress;
  GdiplusSession gdiplus;
};

constexpr uint64_t kNow = 13'400'000'000;
constexpr uint64_t kSteady = 1'000'000;

Schedule MakeSchedule(WideView name, WideView settingsFile, WideView mode, uint64_t start) {
  Schedule schedule;
  schedule.name = WideString(name);
  schedule.start = start;
  schedule.interval = kSecondsPerDay;
  schedule.mode = WideString(mode);
  schedule.settingsFile = WideString(settingsFile);
  return schedule;
}

TEST(MonitorTexts, TaskRequestRewritesTheTime) {
  SYSTEMTIME time{};
  time.wYear = 2026;
  time.wMonth = 3;
  time.wDay = 4;
  time.wHour = 5;
  time.wMinute = 6;
  time.wSecond = 7;
  EXPECT_EQ(MonitorTaskRequest(L"C:\\Program Files\\Brimlark\\Brimlark.exe", time),
            L"Brimlark Backup Monitoring  |  This task monitors your scheduled backups and executes them according to "
            L"their schedule  |  C:\\Program Files\\Brimlark\\Brimlark.exe  |   /ScheduledBackups  |  2026-03-04  |  "
            L"05:06:07  ");
}

TEST(MonitorTexts, ArgumentsByMode) {
  EXPECT_EQ(ScheduleArguments(L"C:\\a b.brlk", L"0"), L" \"C:\\a b.brlk\"");
  EXPECT_EQ(ScheduleArguments(L"C:\\a b.brlk", L"1"), L" \"C:\\a b.brlk\" /Passive");
  EXPECT_EQ(ScheduleArguments(L"C:\\a b.brlk", L"2"), L" \"C:\\a b.brlk\" /Quiet");
  EXPECT_EQ(ScheduleArguments(L"C:\\a b.brlk", L"x"), L" \"C:\\a b.brlk\"");
}

TEST_F(MonitorTest, CheckPassLaunchesDueSchedulesInFileOrder) {
  WriteScheduleOnDisk(MakeSchedule(L"Passive one", settings, L"1", kNow - 10));
  WriteScheduleOnDisk(MakeSchedule(L"Normal one", settings, L"0", kNow - 5));
  WriteScheduleOnDisk(MakeSchedule(L"Not yet", settings, L"0", kNow + 3600));
  WriteScheduleOnDisk(MakeSchedule(L"File gone", folder / L"missing.brlk", L"2", kNow - 5));
  (void)appIni.Load(paths.appIniPath);

  LaunchMemory memory;
  auto launches = RunScheduleCheckPass(appIni, paths, kNow, memory, kSteady);
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_EQ(launches[0].name, L"Passive one");
  EXPECT_EQ(launches[0].arguments, text::Concat(L" \"", settings, L"\" /Passive"));
  EXPECT_EQ(launches[1].name, L"Normal one");
  EXPECT_EQ(launches[1].arguments, text::Concat(L" \"", settings, L"\""));
  ASSERT_TRUE(WaitUntil([&] { return LaunchRecords(folder).size() == 2; }));
  std::string passive = ReadTestFile(folder / text::Concat(L"launch-", text::DecimalUnsigned(launches[0].processId), L".txt"));
  EXPECT_EQ(passive, text::ToUtf8(text::Concat(L" \"", settings, L"\" /Passive\n", folder.path())));

  EXPECT_EQ(ScheduleOnDisk(L"Passive one")->lastRun, kNow);
  EXPECT_EQ(ScheduleOnDisk(L"Normal one")->lastRun, kNow);
  EXPECT_EQ(ScheduleOnDisk(L"Not yet")->lastRun, 0u);
  EXPECT_EQ(ScheduleOnDisk(L"File gone")->lastRun, 0u);
  LaunchMemory fresh;  // a monitor started since goes by the last runs on disk
  EXPECT_TRUE(RunScheduleCheckPass(appIni, paths, kNow + 60, fresh, kSteady).empty())
      << "launched ones are not due again";
}

TEST_F(MonitorTest, ThreeDaysOffRunsOnceAndAnchorsTheNextRunToThatCheck) {
  Schedule daily = MakeSchedule(L"Daily", settings, L"1", kNow - 30 * kSecondsPerDay);
  daily.lastRun = kNow - 3 * kSecondsPerDay - 100;
  WriteScheduleOnDisk(daily);
  (void)appIni.Load(paths.appIniPath);
  LaunchMemory memory;
  auto launches = RunScheduleCheckPass(appIni, paths, kNow, memory, kSteady);
  EXPECT_EQ(launches.size(), 1u);
  ASSERT_TRUE(LaunchesEnded(launches));
  for (uint64_t later : {60ull, 3600ull, kSecondsPerDay - 60}) {
    EXPECT_TRUE(RunScheduleCheckPass(appIni, paths, kNow + later, memory, kSteady + later).empty()) << later;
  }
  EXPECT_EQ(ScheduleOnDisk(L"Daily")->lastRun, kNow);
  EXPECT_EQ(RunScheduleCheckPass(appIni, paths, kNow + kSecondsPerDay, memory, kSteady + kSecondsPerDay).size(), 1u);
  ASSERT_TRUE(WaitUntil([&] { return LaunchRecords(folder).size() == 2; }));
}

TEST_F(MonitorTest, AFailedWriteBackDoesNotLaunchTheScheduleAgainWithinItsInterval) {
  WriteScheduleOnDisk(MakeSchedule(L"Daily", settings, L"1", kNow - 10));
  Schedule once = MakeSchedule(L"Once", settings, L"2", kNow - 10);
  once.interval = 0;
  WriteScheduleOnDisk(once);
  // Another program reads the file and lets others read it, but not replace it: every save fails.
  UniqueHandle reader(CreateFileW(paths.appIniPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(reader.valid());
  LaunchMemory memory;
  // As the monitor does at every pass: the file as it is now, then the pass.
  auto pass = [&](uint64_t later) {
    EXPECT_TRUE(appIni.Load(paths.appIniPath));
    return RunScheduleCheckPass(appIni, paths, kNow + later, memory, kSteady + later);
  };
  auto launches = pass(0);
  ASSERT_EQ(launches.size(), 2u);
  ASSERT_TRUE(LaunchesEnded(launches));
  EXPECT_EQ(ScheduleOnDisk(L"Daily")->lastRun, 0u) << "the write-back failed";
  // Every pass of the next day finds both due on disk; neither is launched again until a day has passed
  // by the monitor's own clock, and the one-time schedule never.
  for (uint64_t later : {60ull, 120ull, 3600ull, kSecondsPerDay - 60}) {
    EXPECT_TRUE(pass(later).empty()) << later;
  }
  auto nextDay = pass(kSecondsPerDay);
  ASSERT_EQ(nextDay.size(), 1u);
  EXPECT_EQ(nextDay[0].name, L"Daily");
  ASSERT_TRUE(LaunchesEnded(nextDay));
  EXPECT_EQ(pass(30 * kSecondsPerDay).size(), 1u) << "only the repeating one";
  reader.reset();
  EXPECT_EQ(ScheduleOnDisk(L"Daily")->lastRun, 0u) << "the file was never written";
  ASSERT_TRUE(WaitUntil([&] { return LaunchRecords(folder).size() == 4; }));
}

TEST_F(MonitorTest, ALaunchStillRunningIsNotRepeated) {
  ASSERT_TRUE(WriteTestFile(folder / L"hold", ""));
  WriteScheduleOnDisk(MakeSchedule(L"Daily", settings, L"1", kNow - 10));
  (void)appIni.Load(paths.appIniPath);
  LaunchMemory memory;
  auto first = RunScheduleCheckPass(appIni, paths, kNow, memory, kSteady);
  ASSERT_EQ(first.size(), 1u);
  UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, first[0].processId));
  ASSERT_TRUE(WaitUntil([&] { return LaunchRecords(folder).size() == 1; }));
  // Two days later the backup still runs: no second one beside it.
  uint64_t later = 2 * kSecondsPerDay;
  EXPECT_TRUE(RunScheduleCheckPass(appIni, paths, kNow + later, memory, kSteady + later).empty());
  ASSERT_TRUE(DeleteFileW((folder / L"hold").c_str()));
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(RunScheduleCheckPass(appIni, paths, kNow + later + 60, memory, kSteady + later + 60).size(), 1u);
}

TEST_F(MonitorTest, ALastRunFarInTheFutureIsPutRight) {
  Schedule daily = MakeSchedule(L"Daily", settings, L"1", kNow - 30 * kSecondsPerDay);
  daily.lastRun = kNow + 400 * kSecondsPerDay;  // written while the clock was a year ahead
  WriteScheduleOnDisk(daily);
  (void)appIni.Load(paths.appIniPath);
  LaunchMemory memory;
  EXPECT_EQ(RunScheduleCheckPass(appIni, paths, kNow, memory, kSteady).size(), 1u);
  EXPECT_EQ(ScheduleOnDisk(L"Daily")->lastRun, kNow);
  LaunchMemory fresh;
  EXPECT_TRUE(RunScheduleCheckPass(appIni, paths, kNow + 60, fresh, kSteady + 60).empty());
  ASSERT_TRUE(WaitUntil([&] { return LaunchRecords(folder).size() == 1; }));
}

TEST_F(MonitorTest, ACheckPassOverAHundredSchedulesIsCheap) {
  IniFile writer;
  (void)writer.Load(paths.appIniPath);
  for (int i = 0; i < 100; ++i) {
    Schedule schedule = MakeSchedule(text::Concat(L"Schedule ", text::DecimalUnsigned(i)), settings, L"1", kNow - 10);
    schedule.lastRun = kNow - 3600;  // ran an hour ago: none is due
    ASSERT_TRUE(writer.SetString(kScheduleSection, *secret_text::Encipher(schedule.name),
                                 *secret_text::Encipher(schedule.Text(true))));
  }
  ASSERT_TRUE(writer.Save());
  LaunchMemory memory;
  uint64_t best = UINT64_MAX;
  for (int round = 0; round < 5; ++round) {
    LARGE_INTEGER frequency{}, before{}, after{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    // What the monitor does once a minute: read the file again, then the pass.
    ASSERT_TRUE(appIni.Load(paths.appIniPath));
    EXPECT_TRUE(RunScheduleCheckPass(appIni, paths, kNow, memory, kSteady).empty());
    QueryPerformanceCounter(&after);
    best = std::min<uint64_t>(best, (after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart);
  }
  std::printf("check pass over 100 schedules, with the file read again: %.2f ms (best of 5)\n", best / 1000.0);
  EXPECT_LT(best, 50000u) << "ten times the goal of 5 ms";
}

TEST_F(MonitorTest, SecondMonitorEndsAtOnce) {
  UiWindow first;
  ASSERT_TRUE(first.Create(kMonitorWindowClass, kMonitorWindowTitle, 100, 100, kCentred, kCentred,
                           kDefaultWindowStyle, kDefaultExtendedStyle, nullptr));
  std::atomic<bool> started{false};
  MonitorTiming timing;
  timing.started = [&](HWND, const MonitorIds&) { started = true; };
  uint64_t before = GetTickCount64();
  EXPECT_EQ(RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing), 0);
  EXPECT_LT(GetTickCount64() - before, 2000u);
  EXPECT_FALSE(started);
}

// The monitor's loop runs on this thread; a helper thread acts from outside, as another process would.
TEST_F(MonitorTest, DueScheduleOnDiskIsLaunchedAndCloseEndsTheMonitor) {
  MonitorTiming timing;
  timing.checkPeriodMs = 200;
  timing.localNow = [] { return kNow; };
  std::atomic<HWND> monitor{nullptr};
  timing.started = [&](HWND window, const MonitorIds&) { monitor = window; };
  std::atomic<bool> launchedBeforeWrite{false};
  std::atomic<bool> closedAfterLaunch{false};
  std::thread outside([&] {
    if (!WaitUntil([&] { return monitor.load() != nullptr; })) return;
    // Written after the monitor started: only a pass that reads the file again can see it.
    launchedBeforeWrite = !LaunchRecords(folder).empty();
    // The due one last: a write after the monitor's pass would give back its lastRun and launch it again.
    WriteScheduleOnDisk(MakeSchedule(L"Later", settings, L"0", kNow + 1));
    WriteScheduleOnDisk(MakeSchedule(L"Quiet one", settings, L"2", kNow - 1));
    closedAfterLaunch = WaitUntil([&] {
      auto stored = ScheduleOnDisk(L"Quiet one");
      return stored && stored->lastRun == kNow && LaunchRecords(folder).size() == 1;
    });
    PostMessageW(monitor, WM_CLOSE, 0, 0);
  });
  int result = RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing);
  outside.join();
  if (!monitor.load()) GTEST_SKIP() << "the notification area refused the icon";
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(launchedBeforeWrite);
  EXPECT_TRUE(closedAfterLaunch);
  auto records = LaunchRecords(folder);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], text::ToUtf8(text::Concat(L" \"", settings, L"\" /Quiet\n", folder.path())));
  EXPECT_EQ(ScheduleOnDisk(L"Later")->lastRun, 0u);
  EXPECT_FALSE(IsWindow(monitor));
}

std::atomic<int> messagesTaken{0};
LRESULT CALLBACK CountTakenMessages(int code, WPARAM removed, LPARAM message) {
  if (code == HC_ACTION && removed == PM_REMOVE) ++messagesTaken;
  return CallNextHookEx(nullptr, code, removed, message);
}

// An idle monitor runs all day on laptops: between its minute ticks its thread takes no messages at all
// (a loop kept turning by a ticker would take fifty a second).
TEST_F(MonitorTest, AnIdleMonitorSleepsBetweenItsDuties) {
  std::atomic<HWND> monitor{nullptr};
  MonitorTiming timing;
  timing.started = [&](HWND window, const MonitorIds&) { monitor = window; };
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountTakenMessages, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  std::atomic<int> takenWhileIdle{-1};
  std::thread outside([&] {
    if (!WaitUntil([&] { return monitor.load() != nullptr; })) return;
    Sleep(300);  // the start-up's own messages
    int before = messagesTaken;
    Sleep(2000);
    takenWhileIdle = messagesTaken - before;
    PostMessageW(monitor, WM_CLOSE, 0, 0);
  });
  (void)RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing);
  outside.join();
  UnhookWindowsHookEx(hook);
  if (!monitor.load()) GTEST_SKIP() << "the notification area refused the icon";
  EXPECT_LE(takenWhileIdle.load(), 4) << "messages taken in two idle seconds";
}

TEST_F(MonitorTest, ManageItemCallsTheSettingsHook) {
  std::atomic<HWND> monitor{nullptr};
  std::atomic<int> manageItem{0};
  MonitorTiming timing;
  timing.started = [&](HWND window, const MonitorIds& ids) {
    manageItem = ids.manageItem;
    monitor = window;
  };
  int calls = 0;
  HWND owner = nullptr;
  MonitorHooks hooks;
  // The settings window handed the program to the uninstaller: the monitor ends.
  hooks.manageScheduledBackups = [&](HWND window) {
    ++calls;
    owner = window;
    return MonitorAction::kEnd;
  };
  std::thread outside([&] {
    if (!WaitUntil([&] { return monitor.load() != nullptr; })) return;
    PostMessageW(monitor, WM_COMMAND, MAKEWPARAM(manageItem.load(), 0), 0);
  });
  (void)RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, hooks, timing);
  outside.join();
  if (!monitor.load()) GTEST_SKIP() << "the notification area refused the icon";
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(owner, monitor.load());
}

TEST_F(MonitorTest, StopDeletesTheTaskAndClosesTheMonitor) {
  std::atomic<HWND> monitor{nullptr};
  MonitorTiming timing;
  timing.started = [&](HWND window, const MonitorIds&) { monitor = window; };
  std::atomic<bool> stopped{false};
  std::thread outside([&] {
    if (!WaitUntil([&] { return monitor.load() != nullptr; })) return;
    stopped = StopScheduledBackupsMonitor();
  });
  uint64_t before = GetTickCount64();
  (void)RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing);
  outside.join();
  if (!monitor.load()) GTEST_SKIP() << "the notification area refused the icon";
  EXPECT_TRUE(stopped);
  EXPECT_LT(GetTickCount64() - before, 10000u);
  EXPECT_FALSE(FindScheduledBackupsMonitor());
}

// A visible popup menu of this process.
HWND FindShownMenu() {
  HWND menu = nullptr;
  while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(menu, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

void ClickIcon(HWND monitor, int trayId) {
  PostMessageW(monitor, kTrayCallbackMessage, static_cast<WPARAM>(trayId), WM_LBUTTONDOWN);
  PostMessageW(monitor, kTrayCallbackMessage, static_cast<WPARAM>(trayId), WM_LBUTTONUP);
}

TEST_F(MonitorTest, DoubleClickOnTheIconLaunchesTheProgramAndOpensNoMenu) {
  std::atomic<HWND> monitor{nullptr};
  std::atomic<int> trayId{0};
  MonitorTiming timing;
  timing.started = [&](HWND window, const MonitorIds& ids) {
    trayId = ids.trayIcon;
    monitor = window;
  };
  std::atomic<bool> launched{false};
  std::atomic<bool> menuShown{false};
  std::thread outside([&] {
    if (!WaitUntil([&] { return monitor.load() != nullptr; })) return;
    ClickIcon(monitor, trayId);
    Sleep(150);  // the user's pace between the two clicks: past the 50 ms guard, well within half a second
    ClickIcon(monitor, trayId);
    launched = WaitUntil([&] { return LaunchRecords(folder).size() == 1; });
    // Past the half second after which a single click would have opened the menu.
    menuShown = WaitUntil([&] { return FindShownMenu() != nullptr; }, 1500);
    PostMessageW(monitor, WM_CLOSE, 0, 0);
  });
  (void)RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing);
  outside.join();
  if (!monitor.load()) GTEST_SKIP() << "the notification area refused the icon";
  ASSERT_TRUE(launched);
  // Without arguments: the system gives the program its own quoted path as its command line.
  EXPECT_EQ(LaunchRecords(folder)[0], text::ToUtf8(text::Concat(L"\"", paths.modulePath, L"\"\n", folder.path())));
  EXPECT_FALSE(menuShown);
}

TEST_F(MonitorTest, SingleClickOnTheIconOpensTheMenuAfterHalfASecond) {
  std::atomic<HWND> monitor{nullptr};
  std::atomic<int> trayId{0};
  MonitorTiming timing;
  timing.started = [&](HWND window, const MonitorIds& ids) {
    trayId = ids.trayIcon;
    monitor = window;
  };
  std::atomic<uint64_t> clickedAt{0};
  std::atomic<uint64_t> shownAt{0};
  std::thread outside([&] {
    if (!WaitUntil([&] { return monitor.load() != nullptr; })) return;
    clickedAt = GetTickCount64();
    ClickIcon(monitor, trayId);
    HWND menu = nullptr;
    if (WaitUntil([&] { return (menu = FindShownMenu()) != nullptr; }, 5000)) {
      shownAt = GetTickCount64();
      PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      (void)WaitUntil([&] { return FindShownMenu() == nullptr; }, 5000);
    }
    PostMessageW(monitor, WM_CLOSE, 0, 0);
  });
  (void)RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing);
  outside.join();
  if (!monitor.load()) GTEST_SKIP() << "the notification area refused the icon";
  ASSERT_NE(shownAt.load(), 0u) << "no menu opened";
  EXPECT_GE(shownAt - clickedAt, 450u);
  EXPECT_TRUE(LaunchRecords(folder).empty());
}

}  // namespace
