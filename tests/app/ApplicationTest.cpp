#include "app/AppPaths.h"
#include "app/Application.h"
#include "app/ConsoleUser.h"
#include "app/OsVersion.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(AppPaths, EverythingLivesBesideTheExecutable) {
  AppPaths paths = DeriveAppPaths(L"C:\\Program Files\\Brimlark\\Brimlark.exe", L"alice");
  EXPECT_EQ(paths.appDirectory, L"C:\\Program Files\\Brimlark");
  EXPECT_EQ(paths.appIniPath, L"C:\\Program Files\\Brimlark\\Brimlark.ini");
  EXPECT_EQ(paths.defaultSettingsPath, L"C:\\Program Files\\Brimlark\\alice.brlk");
  EXPECT_EQ(paths.errorLogPath, L"C:\\Program Files\\Brimlark\\Brimlark_ErrorLog.txt");
  EXPECT_EQ(paths.updateTempPath, L"C:\\Program Files\\Brimlark\\Brimlark.temp.exe");

  EXPECT_EQ(DeriveAppPaths(L"C:\\Brimlark.exe", L"").defaultSettingsPath, L"C:\\.brlk");
  // A backslash among the first two characters is no folder boundary.
  EXPECT_EQ(DeriveAppPaths(L"\\x.exe", L"u").appDirectory, L"\\x.exe");
}

TEST(ConsoleUser, ForbiddenFileNameCharactersAreRemoved) {
  EXPECT_EQ(RemoveForbiddenFileNameCharacters(L"DOMAIN\\al:ice/x*y?\"z\"<a>|b"), L"DOMAINalicexyzab");
  EXPECT_EQ(RemoveForbiddenFileNameCharacters(L"J\u00f6rg M\u00fcller"), L"J\u00f6rg M\u00fcller");
  EXPECT_EQ(RemoveForbiddenFileNameCharacters(L""), L"");
}

TEST(ConsoleUser, ConsoleSessionHasAUser) {
  WideString name = QueryConsoleUserName();
  EXPECT_FALSE(name.empty());
  EXPECT_LT(name.size(), 128u);
}

TEST(OsVersion, ReportsAPlausibleVersion) {
  double version = QueryOsVersion();
  EXPECT_GE(version, 5.0);
  EXPECT_LE(version, 11.0);
  if (IsWine()) {
    EXPECT_DOUBLE_EQ(version, 6.1);  // Wine reports Windows 7 unless told otherwise
  }
}

TEST(OneTimeImport, CopiesSkipStrictWarningOnceAndMarksTheImport) {
  TempFolder root;
  WideString userFile = root / L"alice.brlk";
  ASSERT_TRUE(WriteTestFile(userFile, "[Settings]\r\nSkipStrictWarning=1\r\n"));
  IniFile appIni;
  RunOneTimeImport(appIni, userFile);
  EXPECT_STREQ(appIni.GetString(L"Settings", L"SkipStrictWarning", L""), L"1");
  EXPECT_STREQ(appIni.GetString(L"Settings", L"Imported m_appini", L""), L"1");

  // Once marked, a changed user file is not read again.
  ASSERT_TRUE(WriteTestFile(userFile, "[Settings]\r\nSkipStrictWarning=7\r\n"));
  RunOneTimeImport(appIni, userFile);
  EXPECT_STREQ(appIni.GetString(L"Settings", L"SkipStrictWarning", L""), L"1");
}

TEST(OneTimeImport, MissingOrZeroValueCopiesNothingButStillMarks) {
  TempFolder root;
  IniFile fromMissing;
  RunOneTimeImport(fromMissing, root / L"missing.brlk");
  EXPECT_EQ(fromMissing.GetString(L"Settings", L"SkipStrictWarning", nullptr), nullptr);
  EXPECT_STREQ(fromMissing.GetString(L"Settings", L"Imported m_appini", L""), L"1");

  ASSERT_TRUE(WriteTestFile(root / L"zero.brlk", "[Settings]\r\nSkipStrictWarning=0\r\n"));
  IniFile fromZero;
  fromZero.SetString(L"Settings", L"Imported m_appini", L"0");  // "0" still asks for the import
  RunOneTimeImport(fromZero, root / L"zero.brlk");
  EXPECT_EQ(fromZero.GetString(L"Settings", L"SkipStrictWarning", nullptr), nullptr);
  EXPECT_STREQ(fromZero.GetString(L"Settings", L"Imported m_appini", L""), L"1");
}

// The real executable, copied into a folder of its own so that its INI files land there.
class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), exe.c_str(), FALSE))
        << "Brimlark.exe must be built beside the tests";
    userFile = root / (RemoveForbiddenFileNameCharacters(QueryConsoleUserName()) + L".brlk");
  }

  int Start(WideView arguments) { return RunProgram(exe, arguments); }

  TempFolder root;
  WideString exe = root / L"Brimlark.exe";
  WideString userFile;
};

TEST_F(StartUpTest, QuietRunImportsOnceAndSavesTheApplicationIni) {
  ASSERT_TRUE(WriteTestFile(userFile, "[Settings]\r\nSkipStrictWarning=1\r\n"));
  EXPECT_EQ(Start(L"/Quiet /NoUpdate"), 0);
  IniFile appIni(root / L"Brimlark.ini");
  EXPECT_STREQ(appIni.GetString(L"Settings", L"Imported m_appini", L""), L"1");
  EXPECT_STREQ(appIni.GetString(L"Settings", L"SkipStrictWarning", L""), L"1");

  // The second start finds the marker and imports nothing, even though the user file now says 0.
  IniFile user(userFile);
  user.SetString(L"Settings", L"SkipStrictWarning", L"5");
  ASSERT_TRUE(user.Save());
  EXPECT_EQ(Start(L"/Quiet /NoUpdate"), 0);
  IniFile again(root / L"Brimlark.ini");
  EXPECT_STREQ(again.GetString(L"Settings", L"SkipStrictWarning", L""), L"1");
}

TEST_F(StartUpTest, PostUpdateRemovesTheDownloadedUpdate) {
  WideString leftover = root / L"Brimlark.temp.exe";
  ASSERT_TRUE(WriteTestFile(leftover, "old download"));
  EXPECT_EQ(Start(L"/PostUpdate /Quiet"), 0);
  EXPECT_FALSE(Exists(leftover));
}

TEST_F(StartUpTest, UninstallEndsWithoutTouchingTheSettingsFile) {
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, "[Settings]\r\nFlag=1\r\n"));
  EXPECT_EQ(Start(L"/Uninstall \"" + job + L"\" /Quiet"), 0);
  EXPECT_EQ(ReadTestFile(job), "[Settings]\r\nFlag=1\r\n");
  EXPECT_TRUE(Exists(root / L"Brimlark.ini"));  // the application INI file is still written at exit
}

TEST_F(StartUpTest, QuietRunBacksUpTheSettingsFileAndReportsByExitCode) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\docs\\a.txt", "alpha"));
  ASSERT_TRUE(WriteTestFile(root / L"data\\b.txt", "bravo"));
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, text::ToAnsi(L"[Settings]\r\nversion=1\r\nFlag=0\r\nSkipAttributes=6\r\n[Folders]\r\n0=" +
                                             root / L"data<|>" + root / L"backup\r\n")));
  EXPECT_EQ(Start(L"/Quiet /NoUpdate \"" + job + L"\""), 0);
  EXPECT_EQ(ReadTestFile(root / L"backup\\docs\\a.txt"), "alpha");
  EXPECT_EQ(ReadTestFile(root / L"backup\\b.txt"), "bravo");
  EXPECT_FALSE(Exists(root / L"Brimlark_ErrorLog.txt"));

  // A pair whose source is missing: the run finishes, says so by its exit code and in the log.
  ASSERT_TRUE(WriteTestFile(job, text::ToAnsi(L"[Settings]\r\nversion=1\r\n[Folders]\r\n0=" + root / L"gone<|>" +
                                             root / L"backup\r\n")));
  EXPECT_EQ(Start(L"/Quiet /NoUpdate \"" + job + L"\""), 1);
  IniFile errorLog(root / L"Brimlark_ErrorLog.txt");
  ASSERT_EQ(errorLog.lines().size(), 2u);
  EXPECT_EQ(errorLog.lines()[1].substr(13), L"Source directory not found: " + root / L"gone");
}

TEST_F(StartUpTest, ApplicationIniHeldByAnotherProcessSurvivesTheRun) {
  WideString appIniPath = root / L"Brimlark.ini";
  ASSERT_TRUE(WriteTestFile(appIniPath, "[Settings]\r\nAutoUpdate=0\r\nImported m_appini=1\r\n"));
  HeldOpenFile held(appIniPath);
  ASSERT_TRUE(held.held());
  EXPECT_EQ(Start(L"/Quiet"), 0);
  held.Release();
  EXPECT_EQ(ReadTestFile(appIniPath), "[Settings]\r\nAutoUpdate=0\r\nImported m_appini=1\r\n");
}

}  // namespace
