// The schedule editor, for real under Xvfb: a helper thread fills in its fields and clicks its buttons once
// it is on screen, as a user would, while the parent window's loop runs it; the schedules land in a real
// application INI file.

#include "schedule/ScheduleEditor.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "WindowScript.h"
#include "base/TimeStamp.h"
#include "schedule/Schedule.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <functional>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusForAllTests);

constexpr wchar_t kWindowClass[] = L"Brimlark_MsgBox";
constexpr wchar_t kQuestionClass[] = L"_WINDOW_MsgBoxClass";
constexpr wchar_t kNewTitle[] = L"Add scheduled backup ";
constexpr wchar_t kEditTitle[] = L"Edit scheduled backup";
constexpr wchar_t kNoJobsQuestion[] =
    L"The Brimlark Backup file you selected does not have any enabled jobs.\r\n\r\n"
    L"Do you want to edit this file in a separate application instance?";
constexpr char kCheckedPairs[] = "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n1=C:\\c<|>0D:\\d\r\n";
constexpr char kNoCheckedPairs[] = "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\c<|>0D:\\d\r\n";

HWND NameField(HWND editor) { return NthEdit(editor, 0); }
HWND PathField(HWND editor) { return NthEdit(editor, 1); }
HWND DaysField(HWND editor) { return NthEdit(editor, 2); }
HWND Picker(HWND editor) { return FindWindowExW(editor, nullptr, DATETIMEPICK_CLASSW, nullptr); }
HWND StatusLine(HWND editor) { return ChildWindowFromPointEx(editor, POINT{40, 392}, CWP_SKIPINVISIBLE); }
HWND IncreaseButton(HWND editor) { return ChildWindowFromPointEx(editor, POINT{432, 256}, CWP_SKIPINVISIBLE); }
HWND DecreaseButton(HWND editor) { return ChildWindowFromPointEx(editor, POINT{462, 256}, CWP_SKIPINVISIBLE); }

// Clicks Save and gives back what the status line then shows, empty when nothing comes.
WideString MessageAfterSave(HWND editor) {
  HWND status = StatusLine(editor);
  SetText(status, L"");
  Click(editor, L"   Save");
  WideString message;
  (void)WaitUntil([&] { return !(message = TextOf(status)).empty(); }, 10000);
  return message;
}

SYSTEMTIME Moment(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  return time;
}

SYSTEMTIME PickedTime(HWND editor) {
  SYSTEMTIME time{};
  SendMessageW(Picker(editor), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  return time;
}

void Pick(HWND editor, SYSTEMTIME time) {
  SendMessageW(Picker(editor), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

// The processes this one has started and that still run.
int ChildProcesses() {
  int count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

WideString SystemProgram(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return text::Concat(folder, L"\\", name);
}

struct Driver : testing_support::Driver {
  explicit Driver(std::function<void()> script)
      : testing_support::Driver({kQuestionClass, kWindowClass}, std::move(script)) {}
};

class ScheduleEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_TRUE(parent.Create(L"BrimlarkTestMain", L"Settings", 745, 494, kCentred, kCentred, kDefaultWindowStyle,
                              kDefaultExtendedStyle, nullptr));
    parent.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowFlush);
    paths.modulePath = root / L"Brimlark.exe";  // not there: nothing can be started by accident
    paths.appDirectory = root.path();
    paths.appIniPath = root / L"Brimlark.ini";
    ASSERT_TRUE(WriteTestFile(jobs, kCheckedPairs));
  }
  void TearDown() override {
    if (comStarted) CoUninitialize();
  }
  Schedule Stored(WideView name, uint64_t interval, WideView mode, uint64_t lastRun = 0) {
    Schedule schedule;
    schedule.name = WideString(name);
    schedule.start = SecondsSince1601(Moment(2024, 3, 5, 7, 4, 9));
    schedule.interval = interval;
    schedule.mode = WideString(mode);
    schedule.settingsFile = jobs;
    schedule.lastRun = lastRun;
    EXPECT_TRUE(WriteSchedule(appIni, schedule, lastRun != 0));
    return schedule;
  }
  std::vector<WideString> NamesOnDisk() {
    IniFile saved(paths.appIniPath);
    std::vector<WideString> names;
    for (const Schedule& schedule : EnumerateSchedules(saved)) names.push_back(schedule.name);
    return names;
  }
  int Edit(WideView name) { return EditSchedule(parent, name, appIni, paths, row); }

  bool comStarted = false;
  TempFolder root;
  IniFile appIni{root / L"Brimlark.ini"};
  AppPaths paths;
  WideString jobs = root / L"Nightly.brlk";
  UiWindow parent;
  std::array<WideString, 5> row;
};

TEST(ScheduleDays, BoxTextAndClamping) {
  EXPECT_EQ(DaysInBox(L""), std::nullopt);
  EXPECT_EQ(DaysInBox(L"7x"), std::nullopt);
  EXPECT_EQ(DaysInBox(L"-3"), std::nullopt);
  EXPECT_EQ(DaysInBox(L"012"), 12u);
  struct Case {
    const wchar_t* text;
    uint64_t days;
  };
  for (Case c : {Case{L"", 1}, Case{L"abc", 1}, Case{L"0", 1}, Case{L"1", 1}, Case{L"2", 2}, Case{L"364", 364},
                 Case{L"365", 365}, Case{L"366", 365}, Case{L"400", 365}, Case{L"99999999999999999999999", 365}}) {
    EXPECT_EQ(ClampedDays(c.text), c.days) << text::ToUtf8(c.text);
  }
}

TEST_F(ScheduleEditorTest, RefusesInOrderThenSavesANewScheduleAndFillsTheRow) {
  (void)Stored(L"Weekly", 7 * kSecondsPerDay, L"0");
  SYSTEMTIME start = Moment(2031, 12, 24, 18, 30, 15);
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, kNewTitle);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(IsWindowEnabled(parent.handle()));
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, 645);
    EXPECT_EQ(client.bottom, 465);
    // A new schedule: three days offered but not repeating, Passive.
    EXPECT_EQ(TextOf(DaysField(editor)), L"3");
    EXPECT_FALSE(IsWindowEnabled(DaysField(editor)));
    EXPECT_FALSE(IsWindowEnabled(IncreaseButton(editor)));

    EXPECT_EQ(MessageAfterSave(editor), L"You must name your scheduled backup.");
    SetText(NameField(editor), L"Weekly");
    EXPECT_EQ(MessageAfterSave(editor), L"Sorry, there is already a scheduled backup with the name you specified.");
    SetText(NameField(editor), L"Nightly");
    EXPECT_EQ(MessageAfterSave(editor), L"You did not specify the Brimlark Backup (.brlk) file to execute.");
    SetText(PathField(editor), root / L"missing.brlk");
    EXPECT_EQ(MessageAfterSave(editor), L"The Brimlark Backup (.brlk) file you specified noes not exist.");
    SetText(PathField(editor), jobs);
    Pick(editor, start);
    Click(editor, L"   Save");
  });
  ASSERT_EQ(Edit(L""), kScheduleSavedNewName);
  EXPECT_TRUE(IsWindowEnabled(parent.handle()));
  auto saved = FindSchedule(IniFile(paths.appIniPath), L"Nightly");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->start, SecondsSince1601(start));
  EXPECT_EQ(saved->interval, 0u);
  EXPECT_EQ(saved->mode, L"1");
  EXPECT_EQ(saved->settingsFile, jobs);
  EXPECT_EQ(row[0], L"Nightly");
  EXPECT_EQ(row[1], L"2031/12/24 18:30:15");
  EXPECT_EQ(row[2], L"Disabled");
  EXPECT_EQ(row[3], L"Passive");
  EXPECT_EQ(row[4], jobs);
  EXPECT_EQ(NamesOnDisk(), (std::vector<WideString>{L"Weekly", L"Nightly"}));
}

TEST_F(ScheduleEditorTest, AnUnchangedScheduleSavesUnderItsNameAndLosesItsLastRun) {
  Schedule before = Stored(L"Weekly", 7 * kSecondsPerDay, L"2", 13'000'000'000);
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, kEditTitle);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(TextOf(NameField(editor)), L"Weekly");
    EXPECT_EQ(TextOf(PathField(editor)), jobs);
    EXPECT_EQ(TextOf(DaysField(editor)), L"7");
    EXPECT_TRUE(IsWindowEnabled(DaysField(editor)));
    EXPECT_EQ(SecondsSince1601(PickedTime(editor)), before.start);
    Click(editor, L"   Save");
  });
  ASSERT_EQ(Edit(L"Weekly"), kScheduleSavedSameName);
  auto saved = FindSchedule(IniFile(paths.appIniPath), L"Weekly");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->start, before.start);
  EXPECT_EQ(saved->interval, 7 * kSecondsPerDay);
  EXPECT_EQ(saved->mode, L"2");
  EXPECT_EQ(saved->lastRun, 0u);
  EXPECT_EQ(row[0], L"Weekly");
  EXPECT_EQ(row[1], L"2024/03/05 07:04:09");
  EXPECT_EQ(row[2], L"Every 7 days");
  EXPECT_EQ(row[3], L"Quiet");
  EXPECT_EQ(NamesOnDisk(), (std::vector<WideString>{L"Weekly"}));
}

TEST_F(ScheduleEditorTest, RenamingOntoAnotherScheduleIsRefusedAndOntoAFreeNameLeavesOnlyTheNewName) {
  (void)Stored(L"A", kSecondsPerDay, L"0");
  (void)Stored(L"B", 0, L"1");
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, kEditTitle);
    ASSERT_NE(editor, nullptr);
    SetText(NameField(editor), L"B");
    EXPECT_EQ(MessageAfterSave(editor), L"Sorry, there is already a scheduled backup with the name you specified.");
    SetText(NameField(editor), L"C");
    Click(editor, L"   Save");
  });
  ASSERT_EQ(Edit(L"A"), kScheduleSavedNewName);
  EXPECT_EQ(row[0], L"C");
  EXPECT_EQ(row[2], L"Every 1 days");
  EXPECT_EQ(row[3], L"Normal");
  EXPECT_EQ(NamesOnDisk(), (std::vector<WideString>{L"B", L"C"}));
}

TEST_F(ScheduleEditorTest, DaysTypedOutsideAYearAreStoredAsOneAndThreeHundredSixtyFive) {
  for (auto [typed, stored] : {std::pair{L"0", 1u}, std::pair{L"400", 365u}, std::pair{L"", 1u}}) {
    Driver driver([&] {
      HWND editor = WaitForShown(kWindowClass, kNewTitle);
      ASSERT_NE(editor, nullptr);
      SetText(NameField(editor), typed[0] ? typed : L"empty");
      SetText(PathField(editor), jobs);
      ClickCheckBox(editor, L" Repeat every");
      ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(DaysField(editor)) != FALSE; }));
      SetText(DaysField(editor), typed);
      Click(editor, L"   Save");
    });
    ASSERT_EQ(Edit(L""), kScheduleSavedNewName) << text::ToUtf8(typed);
    auto saved = FindSchedule(IniFile(paths.appIniPath), typed[0] ? typed : L"empty");
    ASSERT_TRUE(saved) << text::ToUtf8(typed);
    EXPECT_EQ(saved->interval, stored * kSecondsPerDay) << text::ToUtf8(typed);
  }
}

TEST_F(ScheduleEditorTest, TheDayButtonsStepWithinAYearAndLeavingTheBoxCommitsIt) {
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, kNewTitle);
    ASSERT_NE(editor, nullptr);
    ClickCheckBox(editor, L" Repeat every");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(IncreaseButton(editor)) != FALSE; }));
    auto after = [&](HWND button, const wchar_t* typed) {
      SetText(DaysField(editor), typed);
      PostMessageW(button, BM_CLICK, 0, 0);
      WideString shown;
      (void)WaitUntil([&] { return (shown = TextOf(DaysField(editor))) != typed; }, 5000);
      return shown;
    };
    // Leading zeros make every result differ from the typed text, so that each click is seen to be taken.
    EXPECT_EQ(after(IncreaseButton(editor), L"3"), L"4");
    EXPECT_EQ(after(IncreaseButton(editor), L"0365"), L"365");
    EXPECT_EQ(after(IncreaseButton(editor), L"x"), L"1");
    EXPECT_EQ(after(IncreaseButton(editor), L""), L"1");
    EXPECT_EQ(after(DecreaseButton(editor), L"01"), L"1");
    EXPECT_EQ(after(DecreaseButton(editor), L"0"), L"1");
    EXPECT_EQ(after(DecreaseButton(editor), L"500"), L"365");
    EXPECT_EQ(after(DecreaseButton(editor), L"20"), L"19");
    // Typing 999 and moving on to the name box.
    SetText(DaysField(editor), L"999");
    PostMessageW(editor, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(DaysField(editor)), EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(DaysField(editor)));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(DaysField(editor)) == L"365"; }));
    ClickCheckBox(editor, L" Repeat every");
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(DaysField(editor)) && !IsWindowEnabled(DecreaseButton(editor)); }));
    Click(editor, L"   Cancel");
  });
  EXPECT_EQ(Edit(L""), kScheduleNotSaved);
}

TEST_F(ScheduleEditorTest, AFileWithoutEnabledJobsAsksAndNoStillSavesAndStartsNothing) {
  ASSERT_TRUE(WriteTestFile(jobs, kNoCheckedPairs));
  // A program that would stay running, were it started.
  paths.modulePath = SystemProgram(L"notepad.exe");
  if (GetFileAttributesW(paths.modulePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no notepad.exe in this system folder to stand in for the program";
  }
  int childrenBefore = ChildProcesses();
  ASSERT_GE(childrenBefore, 0);
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, kNewTitle);
    ASSERT_NE(editor, nullptr);
    SetText(NameField(editor), L"Empty");
    SetText(PathField(editor), jobs);
    Click(editor, L"   Save");
    HWND question = WaitForShown(kQuestionClass, nullptr);
    ASSERT_NE(question, nullptr);
    EXPECT_NE(FindWindowExW(question, nullptr, L"Static", kNoJobsQuestion), nullptr);
    Click(question, L"No");
  });
  ASSERT_EQ(Edit(L""), kScheduleSavedNewName);
  // The start would have happened before the editor returned.
  EXPECT_EQ(ChildProcesses(), childrenBefore);
  auto saved = FindSchedule(IniFile(paths.appIniPath), L"Empty");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->settingsFile, jobs);
}

TEST_F(ScheduleEditorTest, RunWithAnEmptyPathDoesNothing) {
  paths.modulePath = SystemProgram(L"notepad.exe");
  int childrenBefore = ChildProcesses();
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, kNewTitle);
    ASSERT_NE(editor, nullptr);
    Click(editor, L"   Run");
    // A box would hold the editor's loop: Cancel below is only handled once Run has been.
    Click(editor, L"   Cancel");
  });
  EXPECT_EQ(Edit(L""), kScheduleNotSaved);
  EXPECT_EQ(ChildProcesses(), childrenBefore);
  EXPECT_EQ(GetFileAttributesW(paths.appIniPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ScheduleEditorTest, RunReportsWhetherTheProgramStarted) {
  WideString program = SystemProgram(L"hostname.exe");
  if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no hostname.exe in this system folder to stand in for the program";
  }
  for (bool startable : {false, true}) {
    paths.modulePath = startable ? program : root / L"Brimlark.exe";
    const wchar_t* expected = startable ? L"The selected schedule was successfully executed."
                                        : L"Sorry, this schedule could not be executed.";
    Driver driver([&] {
      HWND editor = WaitForShown(kWindowClass, kNewTitle);
      ASSERT_NE(editor, nullptr);
      SetText(PathField(editor), jobs);
      Click(editor, L"   Run");
      HWND box = WaitForShown(kQuestionClass, nullptr);
      ASSERT_NE(box, nullptr);
      EXPECT_NE(FindWindowExW(box, nullptr, L"Static", expected), nullptr);
      Click(box, L"OK");
      ASSERT_TRUE(WaitUntil([&] { return FindShown(kQuestionClass, nullptr) == nullptr; }));
      // The box discards the input that arrives while it closes: Cancel is clicked until it is taken.
      EXPECT_TRUE(WaitUntil([&] {
        if (!IsWindow(editor)) return true;
        Click(editor, L"   Cancel");
        return false;
      }));
    });
    EXPECT_EQ(Edit(L""), kScheduleNotSaved);
  }
  EXPECT_TRUE(NamesOnDisk().empty());
}

TEST_F(ScheduleEditorTest, CancelAndCloseSaveNothing) {
  (void)Stored(L"Weekly", 7 * kSecondsPerDay, L"0", 13'000'000'000);
  std::vector<WideString> linesBefore = IniFile(paths.appIniPath).lines();
  for (bool close : {false, true}) {
    Driver driver([&] {
      HWND editor = WaitForShown(kWindowClass, kEditTitle);
      ASSERT_NE(editor, nullptr);
      SetText(NameField(editor), L"Renamed");
      SetText(PathField(editor), root / L"Other.brlk");
      ClickCheckBox(editor, L" Quiet");
      if (close) {
        PostMessageW(editor, WM_CLOSE, 0, 0);
      } else {
        Click(editor, L"   Cancel");
      }
    });
    row = {L"n", L"s", L"i", L"m", L"p"};
    EXPECT_EQ(Edit(L"Weekly"), kScheduleNotSaved) << close;
    EXPECT_TRUE(IsWindowEnabled(parent.handle()));
    EXPECT_EQ(row, (std::array<WideString, 5>{L"n", L"s", L"i", L"m", L"p"}));
    EXPECT_EQ(IniFile(paths.appIniPath).lines(), linesBefore) << close;
    EXPECT_EQ(appIni.lines(), linesBefore) << close;
  }
}

}  // namespace
