// The installed program may be running when the installation changes: it is asked to close, and when it
// does not (a backup is in progress), it is left running and its files are left alone.

#include "setup/Installer.h"

#include "InstallationFixture.h"
#include "engine/PartialCopy.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using RunningInstanceTest = InstallationTest;

// A settings file with one checked pair, as the program writes it.
std::string JobBytes(WideView source, WideView backup) {
  return Utf16FileBytes(text::Concat(L"[Settings]\r\nversion=1\r\nFlag=0\r\nSkipAttributes=0\r\n[Folders]\r\n0=",
                                     source, L"<|>", backup, L"\r\n"));
}

// A large file that costs no disk: the backup of it still takes long enough to be caught running.
bool MakeSparseFile(WideView path, int64_t size) {
  if (!WriteTestFile(path, "")) return false;
  UniqueHandle file(CreateFileW(WideString(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER end{};
  end.QuadPart = size;
  return file && SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

TEST_F(RunningInstanceTest, ABusyInstanceIsNeverEndedAndItsProgramIsNeitherReplacedNorRemoved) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, EveryPart()).succeeded);
  std::string installedBefore = ReadTestFile(paths.installedExecutable);
  ASSERT_TRUE(MakeSparseFile(root / L"data\\large.bin", int64_t{4} << 30));
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, JobBytes(root / L"data", root / L"backup")));

  // The installed program backs up, and is paused in the middle of it.
  RunningProgram backup;
  ASSERT_TRUE(backup.Start(paths.installedExecutable, L"/Passive /NoUpdate \"" + job + L"\""));
  HWND progress = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    progress = FindProcessWindow(L"Brimlark_MsgBox", backup.ProcessId());
    return progress != nullptr || backup.WaitForEnd(0);
  }));
  ASSERT_NE(progress, nullptr) << "the backup ended before its window showed";
  HWND pause = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (pause = FindDescendant(progress, L"Button", L"  Pause")) != nullptr; }));
  PostMessageW(pause, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] {
    return FindDescendant(progress, L"Button", L"  Resume") != nullptr || backup.WaitForEnd(0);
  }));
  if (backup.WaitForEnd(0)) GTEST_SKIP() << "the backup finished before it could be paused";

  MakeNewerBuild();
  ApplyResult result = ApplyInstallation(paths, appPaths, EveryPart(), 2000);
  EXPECT_FALSE(result.succeeded);
  EXPECT_EQ(result.installProblem, InstallProblem::kProgramRunning);
  EXPECT_FALSE(result.Failed(InstallStep::kUninstallEntry));
  EXPECT_FALSE(backup.WaitForEnd(0)) << "the running backup was ended";
  EXPECT_EQ(ReadTestFile(paths.installedExecutable), installedBefore);
  EXPECT_FALSE(Exists(paths.installedExecutable + WideString(kPartialCopySuffix)));
  // Nobody asked the backup's window to close: it would have taken that as Cancel and asked the user.
  EXPECT_EQ(FindProcessWindow(L"_WINDOW_MsgBoxClass", backup.ProcessId()), nullptr);
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_NE(ApplyFailureText(result).find(L"still running"), WideString::npos);

  // Neither the uninstaller nor a cleared box removes anything under the run.
  RemovalResult removal = RemoveInstallation(paths, 2000);
  EXPECT_TRUE(removal.programRunning);
  EXPECT_TRUE(Exists(paths.normalShortcut));
  EXPECT_TRUE(RegistryKeyExists(kUninstallKey));
  EXPECT_TRUE(RegistryKeyExists(kExtensionClassKey));
  result = ApplyInstallation(paths, appPaths, InstallChoices{}, 2000);
  EXPECT_EQ(result.installProblem, InstallProblem::kProgramRunning);
  EXPECT_EQ(ReadTestFile(paths.installedExecutable), installedBefore);
  EXPECT_FALSE(backup.WaitForEnd(0));
}

TEST_F(RunningInstanceTest, AnIdleInstanceClosesWhenAskedAndIsReplaced) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{true}).succeeded);
  RunningProgram idle;
  ASSERT_TRUE(idle.Start(paths.installedExecutable, L"/NoUpdate"));
  ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(L"BRIMLARK_CLASS", idle.ProcessId()) != nullptr; }));
  ASSERT_TRUE(idle.WaitForIdle(10000));

  MakeNewerBuild();
  ApplyResult result = ApplyInstallation(paths, appPaths, InstallChoices{true});
  EXPECT_TRUE(result.succeeded) << text::ToUtf8(ApplyFailureText(result));
  ASSERT_TRUE(idle.WaitForEnd(0));
  EXPECT_EQ(idle.ExitCode(), 0u) << "the instance did not close by itself";
  EXPECT_EQ(ReadTestFile(paths.installedExecutable), ReadTestFile(appPaths.modulePath));
}

// The installed program cannot delete itself: clearing "Install" there hands the work to the copy in the
// temporary folder and stops, leaving the later boxes for the uninstaller.
TEST_F(RunningInstanceTest, ClearingInstallInTheInstalledProgramHandsOverToTheTemporaryCopy) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, EveryPart()).succeeded);
  // The copy the uninstaller recognises as itself, so that it asks instead of handing over once more.
  paths.uninstallerCopy = InstallPaths::ForThisMachine().uninstallerCopy;
  AppPaths fromInstalled = DeriveAppPaths(paths.installedExecutable, L"tester");

  ApplyResult result = ApplyInstallation(paths, fromInstalled, InstallChoices{false, true, true, true, false});
  EXPECT_TRUE(result.endProgram);
  EXPECT_EQ(ReadTestFile(paths.uninstallerCopy), ReadTestFile(paths.installedExecutable));
  EXPECT_TRUE(RegistryKeyExists(kExtensionClassKey)) << "the steps after the handover ran";

  // The copy asks; answered No, it ends and the installation stays.
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    std::vector<HWND> boxes = WindowsOfProcesses(L"_WINDOW_MsgBoxClass", ProcessIdsOf(paths.uninstallerCopy));
    box = boxes.empty() ? nullptr : boxes.front();
    return box != nullptr;
  }, 20000));
  EXPECT_NE(FindDescendant(box, L"Static", L"Are you sure you want to uninstall Brimlark Backup?"), nullptr);
  PostMessageW(FindDescendant(box, L"Button", L"No"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return ProcessIdsOf(paths.uninstallerCopy).empty(); }));
  EXPECT_TRUE(Exists(paths.installedExecutable));
  EXPECT_TRUE(Exists(paths.normalShortcut));
  // What the cancelled copy saved beside itself on its way out.
  (void)DeleteFileW(DeriveAppPaths(paths.uninstallerCopy, L"tester").appIniPath.c_str());
}

}  // namespace
