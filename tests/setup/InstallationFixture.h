#pragma once
// An installation made for real by the code under test: the real executable as the program being
// installed, Program Files, the desktop and the temporary folder under a test folder of its own, and the
// machine's registry keys, removed before and after. The keys belong to the whole test prefix: CTest runs
// these tests one at a time (their resource "installation").

#include "SetupTestSupport.h"
#include "TestSupport.h"
#include "base/AppPaths.h"
#include "base/FileSystem.h"
#include "base/Registry.h"
#include "setup/InstallPaths.h"
#include "setup/Installer.h"
#include "setup/RunningInstances.h"
#include "setup/Uninstall.h"

#include <gtest/gtest.h>

namespace testing_support {

inline InstallChoices EveryPart() { return InstallChoices{true, true, true, true, true}; }

// The keys an installation writes or deletes, in both views and for the user.
inline void ClearMachineRegistry() {
  const WideView keys[] = {kUninstallKey,
                           L"HKLM64\\SOFTWARE\\Classes\\.brlk",
                           L"HKLM64\\SOFTWARE\\Classes\\BrimlarkFile",
                           L"HKCU\\Software\\Classes\\.brlk",
                           L"HKCU\\Software\\Classes\\BrimlarkFile",
                           kExtensionClassKey,
                           kProgIdClassKey};
  for (WideView key : keys) {
    (void)DeleteRegistryTree(key);
  }
}

// Ends the processes still running an executable the test started (a copy whose question nobody answered).
inline void EndInstancesOf(WideView executable) {
  for (UniqueKernelHandle& process : OpenRunningInstances(executable)) {
    UniqueKernelHandle killer(OpenProcess(PROCESS_TERMINATE, FALSE, GetProcessId(process.get())));
    if (killer) TerminateProcess(killer.get(), kKilledExitCode);
    WaitForSingleObject(process.get(), 10000);
  }
}

inline std::vector<DWORD> ProcessIdsOf(WideView executable) {
  std::vector<DWORD> ids;
  for (const UniqueKernelHandle& process : OpenRunningInstances(executable)) ids.push_back(GetProcessId(process.get()));
  return ids;
}

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearMachineRegistry();
    ASSERT_TRUE(MakeTestFolder(root / L"Desktop"));
    ASSERT_TRUE(MakeTestFolder(root / L"Temp"));
    ASSERT_TRUE(MakeTestFolder(root / L"build"));
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), appPaths.modulePath.c_str(), FALSE))
        << "Brimlark.exe must be built beside the tests";
    ASSERT_TRUE(WriteTestFile(appPaths.appIniPath, iniBytes));
  }
  void TearDown() override {
    EndInstancesOf(paths.installedExecutable);
    EndInstancesOf(paths.uninstallerCopy);
    (void)DeleteFileW(paths.uninstallerCopy.c_str());
    ClearMachineRegistry();
  }

  // A different build of the program: the same executable with bytes of its own after its end, which
  // Windows ignores when it loads it.
  void MakeNewerBuild() {
    std::string bytes = ReadTestFile(appPaths.modulePath);
    ASSERT_FALSE(bytes.empty());
    bytes += "newer build";
    ASSERT_TRUE(WriteTestFile(appPaths.modulePath, bytes));
  }

  [[nodiscard]] WideString InstalledIni() const { return paths.installFolder + L"\\Brimlark.ini"; }

  TempFolder root;
  InstallPaths paths = InstallPaths::Under(root / L"Program Files", root / L"Desktop", root / L"Temp");
  AppPaths appPaths = DeriveAppPaths(root / L"build\\Brimlark.exe", L"tester");
  std::string iniBytes = Utf16FileBytes(L"[Settings]\r\nAutoUpdate=0\r\n");
};

}  // namespace testing_support
