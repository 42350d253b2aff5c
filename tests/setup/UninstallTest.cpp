#include "setup/Uninstall.h"

#include "InstallationFixture.h"
#include "engine/ForceDelete.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using UninstallTest = InstallationTest;

// Nothing of the program's: its folder holds at most the user's own files (settings, INI, log).
bool NothingLeft(const InstallPaths& paths) {
  return !Exists(paths.installedExecutable) && !Exists(paths.installFolder + L"\\logs") &&
         !Exists(paths.normalShortcut) && !Exists(paths.unattendedShortcut) &&
         !RegistryKeyExists(kUninstallKey) && !RegistryKeyExists(kExtensionClassKey) &&
         !RegistryKeyExists(kProgIdClassKey);
}

bool HasLabel(HWND window, const wchar_t* text) { return FindDescendant(window, L"Static", text) != nullptr; }

TEST_F(UninstallTest, RemovalTakesEveryPartTheInstallerMade) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, EveryPart()).succeeded);
  ASSERT_TRUE(WriteTestFile(paths.installFolder + L"\\logs\\old.txt", "old"));
  RemovalResult removal = RemoveInstallation(paths, 2000);
  EXPECT_TRUE(removal.complete());
  EXPECT_TRUE(NothingLeft(paths));
  EXPECT_TRUE(Exists(appPaths.modulePath));
}

// Data safety: a file another program holds stays, and the rest still goes.
TEST_F(UninstallTest, AFileHeldInTheProgramFolderStaysAndTheRestGoes) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, EveryPart()).succeeded);
  WideString stray = paths.installFolder + L"\\notes.txt";
  ASSERT_TRUE(WriteTestFile(stray, "notes"));
  HeldOpenFile held(stray);
  ASSERT_TRUE(held.held());
  RemovalResult removal = RemoveInstallation(paths, 2000);
  held.Release();
  EXPECT_TRUE(removal.folderLeft);
  EXPECT_FALSE(removal.shortcutLeft);
  EXPECT_FALSE(removal.registryLeft);
  EXPECT_FALSE(removal.complete());
  EXPECT_EQ(ReadTestFile(stray), "notes");
  EXPECT_FALSE(Exists(paths.installedExecutable));
  EXPECT_EQ(ReadTestFile(InstalledIni()), iniBytes);  // the user's settings are never the uninstaller's
  EXPECT_FALSE(Exists(paths.normalShortcut));
  EXPECT_FALSE(RegistryKeyExists(kUninstallKey));
}

// The shell loop pings for about a second before each of its five tries: a file held at the first try (as
// the ending uninstaller holds its own executable) goes at a later one.
TEST(SelfDelete, TheFileGoesOnceItIsNoLongerHeld) {
  TempFolder root;
  WideString file = root / L"Brimlark Uninst.exe";
  ASSERT_TRUE(WriteTestFile(file, "not really a program"));
  HeldOpenFile held(file);
  ASSERT_TRUE(held.held());
  ASSERT_NE(StartSelfDelete(file), 0u);
  EXPECT_FALSE(WaitUntil([&] { return !Exists(file); }, 1500)) << "deleted while held";
  held.Release();
  EXPECT_TRUE(WaitUntil([&] { return !Exists(file); }, 15000));
}

// The real program installed on this machine (the test prefix), then uninstalled the way Windows does it,
// from the installed copy: it hands over to its copy in the temporary folder, which removes everything and
// is deleted once it has ended.
class MachineUninstallTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    paths = InstallPaths::ForThisMachine();
    ASSERT_FALSE(paths.installFolder.empty());
    Clean();
    ASSERT_TRUE(ApplyInstallation(paths, appPaths, EveryPart()).succeeded);
  }
  void TearDown() override {
    InstallationTest::TearDown();
    Clean();
  }
  void Clean() {
    EndInstancesOf(paths.uninstallerCopy);
    EndInstancesOf(paths.installedExecutable);
    (void)ForceDelete(paths.installFolder, 0);
    (void)DeleteFileW(paths.normalShortcut.c_str());
    (void)DeleteFileW(paths.unattendedShortcut.c_str());
    (void)DeleteFileW(paths.uninstallerCopy.c_str());
    // Wine's menu builder mirrors each link on the desktop as a .desktop file, and leaves it there.
    for (const WideString& link : {paths.normalShortcut, paths.unattendedShortcut}) {
      (void)DeleteFileW((link.substr(0, link.size() - 4) + L".desktop").c_str());
    }
  }
  [[nodiscard]] std::vector<HWND> CopysBoxes() const {
    return WindowsOfProcesses(L"_WINDOW_MsgBoxClass", ProcessIdsOf(paths.uninstallerCopy));
  }
};

TEST_F(MachineUninstallTest, QuietUninstallRemovesEverythingWithoutAWordAndTheCopyDeletesItself) {
  ASSERT_EQ(RunProgram(paths.installedExecutable, L"/Quiet /Uninstall"), 0);
  // The installed program has ended; its copy in the temporary folder goes on.
  EXPECT_TRUE(Exists(paths.uninstallerCopy));
  bool spoke = false;
  bool removed = WaitUntil([&] {
    spoke = spoke || !CopysBoxes().empty();
    return NothingLeft(paths);
  }, 30000);
  EXPECT_TRUE(removed);
  EXPECT_FALSE(spoke) << "the quiet uninstaller showed a window";
  ULONGLONG removedAt = GetTickCount64();
  EXPECT_TRUE(WaitUntil([&] { return !Exists(paths.uninstallerCopy); }, 20000))
      << "the temporary copy is still there after its five tries";
  std::cout << "the temporary copy went " << GetTickCount64() - removedAt << " ms after the removal\n";
}

TEST_F(MachineUninstallTest, UninstallAsksThenRemovesEverythingAndSaysSo) {
  ASSERT_EQ(RunProgram(paths.installedExecutable, L"/Uninstall"), 0);
  HWND question = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    std::vector<HWND> boxes = CopysBoxes();
    question = boxes.empty() ? nullptr : boxes.front();
    return question != nullptr;
  }, 20000)) << "the temporary copy asked nothing";
  EXPECT_TRUE(HasLabel(question, L"Are you sure you want to uninstall Brimlark Backup?"));
  EXPECT_TRUE(Exists(paths.installedExecutable));
  PostMessageW(FindDescendant(question, L"Button", L"Yes"), BM_CLICK, 0, 0);

  HWND done = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND box : CopysBoxes()) {
      if (HasLabel(box, L"Brimlark Backup was uninstalled.")) done = box;
    }
    return done != nullptr;
  }, 30000));
  EXPECT_TRUE(NothingLeft(paths));
  EXPECT_TRUE(Exists(paths.uninstallerCopy));  // still running, so still there
  PostMessageW(FindDescendant(done, L"Button", L"OK"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !Exists(paths.uninstallerCopy); }, 20000))
      << "the temporary copy is still there after its five tries";
}

}  // namespace
