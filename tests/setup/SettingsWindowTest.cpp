// The settings window for real under Xvfb: a script on another thread clicks its boxes and buttons and
// answers its questions while the window's own loop runs on the test's thread.

#include "setup/SettingsWindow.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "WindowScript.h"
#include "base/FileSystem.h"
#include "schedule/Schedule.h"
#include "ui/ListView.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusForAllTests);

constexpr wchar_t kTitle[] = L"Brimlark Backup settings";


// A click on a check box's label, as the label reports it.
void ClickBox(HWND window, const wchar_t* label) {
  HWND labelWindow = FindDescendant(window, L"Static", label);
  ASSERT_NE(labelWindow, nullptr) << text::ToUtf8(label);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(labelWindow), STN_CLICKED), reinterpret_cast<LPARAM>(labelWindow));
}

void ClickButton(HWND window, const wchar_t* text) {
  HWND button = FindDescendant(window, L"Button", text);
  ASSERT_NE(button, nullptr) << text::ToUtf8(text);
  PostMessageW(button, BM_CLICK, 0, 0);
}

// Waits for the program's message box, gives back its text and clicks the button.
WideString Answer(const wchar_t* button) {
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindShown(L"_WINDOW_MsgBoxClass")) != nullptr; }, 10000)) return L"<no box>";
  HWND label = FindWindowExW(box, nullptr, L"Static", nullptr);
  WideString question = TextOf(label);
  PostMessageW(FindWindowExW(box, nullptr, L"Button", button), BM_CLICK, 0, 0);
  (void)WaitUntil([&] { return FindShown(L"_WINDOW_MsgBoxClass") == nullptr; }, 5000);
  return question;
}

bool Enabled(HWND window, const wchar_t* label) {
  HWND labelWindow = FindDescendant(window, L"Static", label);
  return labelWindow && IsWindowEnabled(labelWindow);
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paths.modulePath = root / L"Brimlark.exe";
    paths.appDirectory = root.path();
    paths.appIniPath = root / L"Brimlark.ini";
    paths.errorLogPath = root / L"Brimlark_ErrorLog.txt";
    paths.updateTempPath = root / L"Brimlark.temp.exe";
    paths.defaultSettingsPath = root / L"user.brlk";
    // The program to install is a copy of the real one; nothing is installed yet.
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), paths.modulePath.c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryW((root / L"Desktop").c_str(), nullptr));
    context.installPaths = InstallPaths::Under(root / L"Program Files", root / L"Desktop", root / L"Temp");
    ASSERT_TRUE(owner.Create(L"BrimlarkTestOwner", L"Owner", 750, 550, kCentred, kCentred, kDefaultWindowStyle,
                             kDefaultExtendedStyle, nullptr));
    owner.Show(SW_SHOW, UiWindow::kShowUpdate);
    owner.Flush();
  }

  TempFolder root;
  AppPaths paths;
  IniFile appIni{root / L"Brimlark.ini"};
  SettingsContext context{paths, appIni};
  UiWindow owner;
};

TEST_F(SettingsWindowTest, OpensOnTheAskedPageAndTheShortcutsFollowTheInstallBox) {
  Driver driver({kTitle}, [&] {
    HWND window = WaitForShown(L"Brimlark_MsgBox", kTitle);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowEnabled(owner.handle()));
    // Opened on the updates page: its label shows, the installation page's boxes do not.
    HWND updateLabel = FindDescendant(window, L"Static", L"Auto update:");
    HWND installLabel = FindDescendant(window, L"Static", L" Install Brimlark Backup in this PC (recommended)");
    ASSERT_TRUE(updateLabel && installLabel);
    EXPECT_TRUE(IsWindowVisible(updateLabel));
    EXPECT_FALSE(IsWindowVisible(installLabel));
    // Not installed: the shortcut boxes wait for the install box.
    EXPECT_FALSE(Enabled(window, L" Create desktop shortcut for unattended backup"));
    EXPECT_FALSE(Enabled(window, L" Create normal desktop shortcut to launch Brimlark Backup"));
    EXPECT_TRUE(Enabled(window, L" Create uninstall entry, to completely remove Brimlark Backup"));
    ClickBox(window, L" Install Brimlark Backup in this PC (recommended)");
    EXPECT_TRUE(WaitUntil([&] { return Enabled(window, L" Create desktop shortcut for unattended backup"); }, 5000));
    EXPECT_TRUE(Enabled(window, L" Create normal desktop shortcut to launch Brimlark Backup"));
    ClickBox(window, L" Install Brimlark Backup in this PC (recommended)");
    EXPECT_TRUE(WaitUntil([&] { return !Enabled(window, L" Create normal desktop shortcut to launch Brimlark Backup"); }, 5000));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(OpenSettingsWindow(&owner, SettingsPage::kUpdates, context), SettingsOutcome::kClosed);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  EXPECT_FALSE(IsExistingFile(context.installPaths.installedExecutable));  // nothing applied
}

TEST_F(SettingsWindowTest, TheAutoUpdateBoxIsStoredAtOnce) {
  Driver driver({kTitle}, [&] {
    HWND window = WaitForShown(L"Brimlark_MsgBox", kTitle);
    ASSERT_NE(window, nullptr);
    ClickBox(window, L" Enable automatic updates at application startup");
    EXPECT_TRUE(WaitUntil(
        [&] { return FindDescendant(window, L"Static", L"Automatic updates are off: use \"Update now\" to look for a new version.") != nullptr; },
        5000));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  (void)OpenSettingsWindow(&owner, SettingsPage::kUpdates, context);
  EXPECT_STREQ(appIni.GetString(L"Settings", L"AutoUpdate", L""), L"0");
}

TEST_F(SettingsWindowTest, ClearingTheErrorLogAsksFirst) {
  ASSERT_TRUE(WriteTestFile(paths.errorLogPath, "[2026-12-08 10:00:00]\r\nsomething failed\r\n"));
  Driver driver({kTitle, L"_WINDOW_MsgBoxClass"}, [&] {
    HWND window = WaitForShown(L"Brimlark_MsgBox", kTitle);
    ASSERT_NE(window, nullptr);
    ClickButton(window, L"Clear error log");
    EXPECT_EQ(Answer(L"No"), L"Are you sure you want to clear the error log?");
    EXPECT_TRUE(IsExistingFile(paths.errorLogPath));
    ClickButton(window, L"Clear error log");
    EXPECT_EQ(Answer(L"Yes"), L"Are you sure you want to clear the error log?");
    EXPECT_TRUE(WaitUntil([&] { return !IsExistingFile(paths.errorLogPath); }, 5000));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  (void)OpenSettingsWindow(&owner, SettingsPage::kInstallation, context);
  EXPECT_FALSE(IsExistingFile(paths.errorLogPath));
}

TEST_F(SettingsWindowTest, UpdateNowWithoutAReachableSiteSaysThereIsNoUpdate) {
  // Nothing listens on port 9 of this machine.
  appIni.SetString(L"Settings", L"UpdateSite", L"https://localhost:9");
  Driver driver({kTitle, L"_WINDOW_MsgBoxClass"}, [&] {
    HWND window = WaitForShown(L"Brimlark_MsgBox", kTitle);
    ASSERT_NE(window, nullptr);
    ClickButton(window, L"Update now");
    EXPECT_EQ(Answer(L"OK"), L"You have no update available at this moment.");
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(OpenSettingsWindow(&owner, SettingsPage::kUpdates, context), SettingsOutcome::kClosed);
}

TEST_F(SettingsWindowTest, ApplyInstallsTheProgramAndItsShortcutAndClearingRemovesThem) {
  Driver driver({kTitle, L"_WINDOW_MsgBoxClass"}, [&] {
    HWND window = WaitForShown(L"Brimlark_MsgBox", kTitle);
    ASSERT_NE(window, nullptr);
    ClickBox(window, L" Install Brimlark Backup in this PC (recommended)");
    ASSERT_TRUE(WaitUntil([&] { return Enabled(window, L" Create normal desktop shortcut to launch Brimlark Backup"); }, 5000));
    ClickBox(window, L" Create normal desktop shortcut to launch Brimlark Backup");
    ClickButton(window, L"Apply");
    EXPECT_TRUE(WaitUntil([&] { return IsExistingFile(context.installPaths.normalShortcut); }, 10000));
    EXPECT_TRUE(IsExistingFile(context.installPaths.installedExecutable));
    EXPECT_FALSE(IsExistingFile(context.installPaths.unattendedShortcut));
    // Cleared again: the program and its shortcut go.
    ClickBox(window, L" Install Brimlark Backup in this PC (recommended)");
    ClickButton(window, L"Apply");
    EXPECT_TRUE(WaitUntil([&] { return !IsExistingFile(context.installPaths.installedExecutable); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return !IsExistingFile(context.installPaths.normalShortcut); }, 10000));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(OpenSettingsWindow(&owner, SettingsPage::kInstallation, context), SettingsOutcome::kClosed);
}

// The scheduled-backups page lists the stored schedules in file order; deleting asks, and removes the
// entry from the INI file; enabling without any schedule says why not and leaves the box cleared.
TEST_F(SettingsWindowTest, TheSchedulesPageListsDeletesAndRefusesToEnableAnEmptyList) {
  for (const wchar_t* name : {L"Daily", L"Weekly"}) {
    Schedule schedule;
    schedule.name = name;
    schedule.start = 13'000'000'000ull;
    schedule.interval = WideView(name) == L"Daily" ? kSecondsPerDay : 7 * kSecondsPerDay;
    schedule.mode = L"1";
    schedule.settingsFile = root / L"job.brlk";
    ASSERT_TRUE(WriteSchedule(appIni, schedule, false));
  }
  Driver driver({kTitle, L"_WINDOW_MsgBoxClass"}, [&] {
    HWND window = WaitForShown(L"Brimlark_MsgBox", kTitle);
    ASSERT_NE(window, nullptr);
    HWND list = FindDescendant(window, L"SysListView32", L"");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListView_GetItemCount(list), 2);
    // Delete the first row: No keeps it, Yes removes it.
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ClickButton(window, L"   Delete");
    EXPECT_EQ(Answer(L"No"), L"Are you sure you want to delete the selected schedule?");
    ClickButton(window, L"   Delete");
    EXPECT_EQ(Answer(L"Yes"), L"Are you sure you want to delete the selected schedule?");
    EXPECT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 1; }, 5000));
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ClickButton(window, L"   Delete");
    EXPECT_EQ(Answer(L"Yes"), L"Are you sure you want to delete the selected schedule?");
    EXPECT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) == 0; }, 5000));
    ClickBox(window, L" Enable scheduled backups");
    EXPECT_EQ(Answer(L"OK"),
              L"It is useless to enable this feature with no scheduled backups created.\r\nPlease add one or more "
              L"scheduled backups to the list before enabling them.");
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  (void)OpenSettingsWindow(&owner, SettingsPage::kScheduledBackups, context);
  EXPECT_TRUE(EnumerateSchedules(appIni).empty());
  IniFile saved(paths.appIniPath);
  EXPECT_TRUE(EnumerateSchedules(saved).empty());
}

}  // namespace
