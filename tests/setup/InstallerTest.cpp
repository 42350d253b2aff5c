#include "setup/Installer.h"

#include "InstallationFixture.h"
#include "base/ProgramVersion.h"
#include "engine/PartialCopy.h"
#include "ui/ShellLink.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

constexpr WideView kMachineClasses = L"HKLM64\\SOFTWARE\\Classes\\";

void ExpectText(WideView key, const wchar_t* name, WideView expected, DWORD type = REG_SZ) {
  SCOPED_TRACE(testing::Message() << text::ToUtf8(key) << " " << text::ToUtf8(text::View(name)));
  std::optional<StoredValue> stored = ReadStoredValue(key, name);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, type);
  EXPECT_EQ(stored->Text(), expected);
}

using InstallerTest = InstallationTest;

TEST_F(InstallerTest, InstallMakesEveryPart) {
  // Left by another program or an older version: per-user classes that hide ours, and an icon key.
  ASSERT_TRUE(SetRegistryString(L"HKCU\\Software\\Classes\\.brlk", L"", L"Other.Document"));
  ASSERT_TRUE(SetRegistryString(L"HKCU\\Software\\Classes\\BrimlarkFile\\shell\\open\\command", L"", L"other.exe"));
  ASSERT_TRUE(SetRegistryString(text::Concat(kMachineClasses, L"BrimlarkFile\\DefaultIcon"), L"", L"old.ico,0"));

  ApplyResult result = ApplyInstallation(paths, appPaths, EveryPart());
  EXPECT_TRUE(result.succeeded) << text::ToUtf8(ApplyFailureText(result));
  EXPECT_FALSE(result.endProgram);

  const WideString& program = paths.installedExecutable;
  EXPECT_EQ(ReadTestFile(program), ReadTestFile(appPaths.modulePath));
  EXPECT_FALSE(Exists(program + WideString(kPartialCopySuffix)));
  EXPECT_EQ(ReadTestFile(InstalledIni()), iniBytes);

  std::optional<ShortcutContent> unattended = ReadShortcut(paths.unattendedShortcut);
  ASSERT_TRUE(unattended);
  EXPECT_TRUE(text::EqualsNoCase(unattended->target, program)) << text::ToUtf8(unattended->target);
  EXPECT_EQ(unattended->arguments, L" /Passive");
  EXPECT_TRUE(text::EqualsNoCase(unattended->iconPath, program));
  EXPECT_EQ(unattended->iconIndex, 0);
  std::optional<ShortcutContent> normal = ReadShortcut(paths.normalShortcut);
  ASSERT_TRUE(normal);
  EXPECT_TRUE(text::EqualsNoCase(normal->target, program));
  EXPECT_EQ(normal->arguments, L"");
  EXPECT_TRUE(text::EqualsNoCase(normal->iconPath, program));

  ExpectText(kUninstallKey, L"DisplayName", L"Brimlark Backup");
  ExpectText(kUninstallKey, L"DisplayVersion", kProgramVersion);
  ExpectText(kUninstallKey, L"InstallLocation", paths.installFolder);
  ExpectText(kUninstallKey, L"UninstallString", L"\"" + program + L"\" /Uninstall /Quiet");
  ExpectText(kUninstallKey, L"DisplayIcon", program);
  ExpectText(kUninstallKey, L"EstimatedSize", text::DecimalUnsigned(FileSize(program) / 1024));
  ExpectText(kUninstallKey, L"Publisher", L"Brimlark Software");

  ExpectText(text::Concat(kMachineClasses, L".brlk"), nullptr, L"BrimlarkFile");
  ExpectText(text::Concat(kMachineClasses, L"BrimlarkFile"), nullptr, L"Brimlark Backup file");
  ExpectText(text::Concat(kMachineClasses, L"BrimlarkFile\\Shell\\Open\\command"), nullptr,
             L"\"" + program + L"\" \"%1\"");
  EXPECT_FALSE(RegistryKeyExists(text::Concat(kMachineClasses, L"BrimlarkFile\\DefaultIcon")));
  EXPECT_FALSE(RegistryKeyExists(L"HKCU\\Software\\Classes\\.brlk"));
  EXPECT_FALSE(RegistryKeyExists(L"HKCU\\Software\\Classes\\BrimlarkFile"));
  EXPECT_EQ(ReadRegistryString(kExtensionClassKey, L""), L"BrimlarkFile");

  InstallChoices now = CurrentInstallation(paths);
  EXPECT_TRUE(now.install && now.unattendedShortcut && now.normalShortcut && now.uninstallEntry && now.associate);
  EXPECT_TRUE(ShortcutBoxesEnabled(now));
}

TEST_F(InstallerTest, ClearingEachBoxRemovesItsPartAndOnlyThat) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, EveryPart()).succeeded);
  InstallChoices wanted = EveryPart();

  wanted.unattendedShortcut = false;
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, wanted).succeeded);
  EXPECT_FALSE(Exists(paths.unattendedShortcut));
  EXPECT_TRUE(Exists(paths.normalShortcut));

  wanted.normalShortcut = false;
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, wanted).succeeded);
  EXPECT_FALSE(Exists(paths.normalShortcut));
  EXPECT_TRUE(RegistryKeyExists(kUninstallKey));
  // Shortcuts of a program that is gone are not counted as there.
  ASSERT_TRUE(SaveShortcut(paths.normalShortcut, paths.installedExecutable, L""));
  ASSERT_TRUE(MoveFileW(paths.installedExecutable.c_str(), (root / L"aside.exe").c_str()));
  EXPECT_FALSE(CurrentInstallation(paths).normalShortcut);
  ASSERT_TRUE(MoveFileW((root / L"aside.exe").c_str(), paths.installedExecutable.c_str()));
  EXPECT_TRUE(CurrentInstallation(paths).normalShortcut);
  ASSERT_TRUE(DeleteShortcut(paths.normalShortcut));

  wanted.uninstallEntry = false;
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, wanted).succeeded);
  EXPECT_FALSE(RegistryKeyExists(kUninstallKey));
  EXPECT_TRUE(RegistryKeyExists(kExtensionClassKey));

  wanted.associate = false;
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, wanted).succeeded);
  EXPECT_FALSE(RegistryKeyExists(kExtensionClassKey));
  EXPECT_FALSE(RegistryKeyExists(kProgIdClassKey));
  EXPECT_TRUE(Exists(paths.installedExecutable));

  // Not running from the installed copy: the program goes; the user's settings and log stay in its folder.
  ASSERT_TRUE(WriteTestFile(paths.installFolder + L"\\tester.brlk", "settings"));
  ASSERT_TRUE(WriteTestFile(paths.installFolder + L"\\Brimlark_ErrorLog.txt", "log"));
  ASSERT_TRUE(WriteTestFile(paths.installFolder + L"\\logs\\old.txt", "old"));
  wanted.install = false;
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, wanted).succeeded);
  EXPECT_FALSE(Exists(paths.installedExecutable));
  EXPECT_FALSE(Exists(paths.installFolder + L"\\logs"));
  EXPECT_EQ(ReadTestFile(paths.installFolder + L"\\tester.brlk"), "settings");
  EXPECT_EQ(ReadTestFile(paths.installFolder + L"\\Brimlark_ErrorLog.txt"), "log");
  EXPECT_TRUE(Exists(InstalledIni()));
  EXPECT_TRUE(Exists(appPaths.modulePath));
  // Without the user's files the folder goes too.
  ASSERT_TRUE(RemoveProgramFolder(paths.installFolder));
  (void)DeleteFileW((paths.installFolder + L"\\tester.brlk").c_str());
  (void)DeleteFileW((paths.installFolder + L"\\Brimlark_ErrorLog.txt").c_str());
  (void)DeleteFileW(InstalledIni().c_str());
  ASSERT_TRUE(RemoveProgramFolder(paths.installFolder));
  EXPECT_FALSE(Exists(paths.installFolder));

  InstallChoices now = CurrentInstallation(paths);
  EXPECT_FALSE(now.install || now.unattendedShortcut || now.normalShortcut || now.uninstallEntry || now.associate);
  EXPECT_FALSE(ShortcutBoxesEnabled(now));
}

TEST_F(InstallerTest, ClearingTheAssociationRemovesItWhoeverMadeIt) {
  ASSERT_TRUE(SetRegistryString(L"HKCR\\.brlk", L"", L"Other.Document"));
  ASSERT_TRUE(SetRegistryString(L"HKCR\\.brlk\\OpenWithProgids", L"Other.Document", L""));
  ASSERT_TRUE(SetRegistryString(L"HKCR\\BrimlarkFile\\shell\\edit\\command", L"", L"other.exe \"%1\""));
  EXPECT_FALSE(CurrentInstallation(paths).associate);

  EXPECT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{}).succeeded);
  EXPECT_FALSE(RegistryKeyExists(L"HKCR\\.brlk"));
  EXPECT_FALSE(RegistryKeyExists(L"HKCR\\BrimlarkFile"));

  // Our file type, whatever case it was written in.
  ASSERT_TRUE(SetRegistryString(L"HKCR\\.brlk", L"", L"brimlarkFILE"));
  EXPECT_TRUE(CurrentInstallation(paths).associate);
}

// Windows shows a user's own classes over the machine's in HKCR: the machine's must not show through.
TEST_F(InstallerTest, ClearingTheAssociationRemovesTheUsersAndTheMachinesKeys) {
  ASSERT_TRUE(SetRegistryString(text::Concat(kMachineClasses, L".brlk"), L"", L"Machine.Document"));
  ASSERT_TRUE(SetRegistryString(L"HKCU\\Software\\Classes\\.brlk", L"", L"User.Document"));
  if (ReadRegistryString(L"HKCR\\.brlk", L"") != L"User.Document") {
    GTEST_SKIP() << "this system's HKCR does not show a user's own classes over the machine's";
  }
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{}).succeeded);
  EXPECT_FALSE(RegistryKeyExists(L"HKCR\\.brlk"));
}

TEST_F(InstallerTest, AnOpenCommandWithTwoPercentSignsIsExpandable) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{false, false, false, false, true}).succeeded);
  ExpectText(text::Concat(kMachineClasses, L"BrimlarkFile\\Shell\\Open\\command"), nullptr,
             L"\"" + paths.installedExecutable + L"\" \"%1\"", REG_SZ);

  // One "%" in the program's path and the one of "%1".
  InstallPaths percent = InstallPaths::Under(root / L"100% sure", root / L"Desktop", root / L"Temp");
  ASSERT_TRUE(ApplyInstallation(percent, appPaths, InstallChoices{false, false, false, false, true}).succeeded);
  ExpectText(text::Concat(kMachineClasses, L"BrimlarkFile\\Shell\\Open\\command"), nullptr,
             L"\"" + percent.installedExecutable + L"\" \"%1\"", REG_EXPAND_SZ);
  ExpectText(text::Concat(kMachineClasses, L".brlk"), nullptr, L"BrimlarkFile", REG_SZ);
}

TEST_F(InstallerTest, TheSettingsAreCopiedOnlyWithTheProgramAndNeverOverAnInstalledOne) {
  std::string installedSettings = Utf16FileBytes(L"[Settings]\r\nAutoUpdate=1\r\n");
  ASSERT_TRUE(WriteTestFile(InstalledIni(), installedSettings));
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{true}).succeeded);
  EXPECT_EQ(ReadTestFile(InstalledIni()), installedSettings);

  // A program without settings of its own yet installs without them.
  ASSERT_TRUE(DeleteFileW(InstalledIni().c_str()));
  ASSERT_TRUE(DeleteFileW(appPaths.appIniPath.c_str()));
  EXPECT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{true}).succeeded);
  EXPECT_FALSE(Exists(InstalledIni()));
}

// Data safety: a failed copy leaves the installed program exactly as it was, and no settings go in.
TEST_F(InstallerTest, AnInstalledProgramHeldOpenIsNotReplacedAndNoSettingsAreCopied) {
  ASSERT_TRUE(ApplyInstallation(paths, appPaths, InstallChoices{true}).succeeded);
  std::string installedBefore = ReadTestFile(paths.installedExecutable);
  ASSERT_TRUE(DeleteFileW(InstalledIni().c_str()));
  MakeNewerBuild();

  HeldOpenFile held(paths.installedExecutable);
  ASSERT_TRUE(held.held());
  ApplyResult result = ApplyInstallation(paths, appPaths, InstallChoices{true});
  held.Release();
  EXPECT_FALSE(result.succeeded);
  EXPECT_TRUE(result.Failed(InstallStep::kInstall));
  EXPECT_EQ(result.installProblem, InstallProblem::kCopyFailed);
  EXPECT_EQ(ReadTestFile(paths.installedExecutable), installedBefore);
  EXPECT_FALSE(Exists(paths.installedExecutable + WideString(kPartialCopySuffix)));
  EXPECT_FALSE(Exists(InstalledIni()));
  EXPECT_NE(ApplyFailureText(result).find(L"could not be copied"), WideString::npos);
}

// Data safety: a file where the program folder must go is somebody's data; the other steps still run.
TEST_F(InstallerTest, AFileWhereTheProgramFolderMustBeIsLeftAlone) {
  ASSERT_TRUE(MakeTestFolder(root / L"Program Files"));
  ASSERT_TRUE(WriteTestFile(paths.installFolder, "somebody's notes"));
  ApplyResult result = ApplyInstallation(paths, appPaths, InstallChoices{true, false, false, true, false});
  EXPECT_FALSE(result.succeeded);
  EXPECT_EQ(result.installProblem, InstallProblem::kFolderNotCreated);
  EXPECT_FALSE(result.Failed(InstallStep::kUninstallEntry));
  EXPECT_EQ(ReadTestFile(paths.installFolder), "somebody's notes");
  EXPECT_TRUE(RegistryKeyExists(kUninstallKey));
}

// A shortcut path taken by something that is no shortcut: it is not overwritten.
TEST_F(InstallerTest, AFileThatIsNoShortcutIsNotOverwritten) {
  ASSERT_TRUE(WriteTestFile(paths.normalShortcut, "not a link"));
  ApplyResult result = ApplyInstallation(paths, appPaths, InstallChoices{true, false, true, false, false});
  EXPECT_FALSE(result.succeeded);
  EXPECT_TRUE(result.Failed(InstallStep::kNormalShortcut));
  EXPECT_FALSE(result.Failed(InstallStep::kInstall));
  EXPECT_EQ(ReadTestFile(paths.normalShortcut), "not a link");
}

}  // namespace
