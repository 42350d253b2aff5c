#include "base/AppPaths.h"
#include "app/Application.h"
#include "app/ConsoleUser.h"
#include "app/OsVersion.h"

#include "TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(AppPaths, EverythingLivesBesideTheExecutable) {
  AppPaths paths = DeriveAppPaths(L"C:\\Program Files\\Brimlark\\Brimlark.exe", L"alice");
  EXPECT_EQ(paths.appDirectory, L"C:\\Program Files\\Brimlark");
  EXPECT_EQ(paths.appIniPath, L"C:\\Program Files\\Brimlark\\Brimlark.ini");
  EXPECT_EQ(paths.defaultSettingsPath, L"C:\\Program Files\\Brimlark\\alice.brlk");
  EXPECT_EQ(paths.errorLogPath, L"C:\\Program Files\\Brimlark\\Brimlark_ErrorLog.txt");
  EXPECT_EQ(paths.historyPath, L"C:\\Program Files\\Brimlark\\Brimlark_History.txt");
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

  // A settings file as the program writes it, with one checked pair in Common mode.
  static std::string JobBytes(WideView source, WideView backup) {
    return Utf16FileBytes(text::Concat(L"[Settings]\r\nversion=1\r\nFlag=0\r\nSkipAttributes=0\r\n[Folders]\r\n0=",
                                       source, L"<|>", backup, L"\r\n"));
  }
  static WideString Quoted(WideView path) { return text::Concat(L"\"", path, L"\""); }
  [[nodiscard]] std::vector<WideString> LogMessages() const { return ReadLogMessages(logPath); }

  TempFolder root;
  WideString exe = root / L"Brimlark.exe";
  WideString logPath = root / L"Brimlark_ErrorLog.txt";
  WideString userFile;
};

TEST_F(StartUpTest, QuietRunImportsOnceAndSavesTheApplicationIni) {
  ASSERT_TRUE(WriteTestFile(userFile, "[Settings]\r\nSkipStrictWarning=1\r\n[Folders]\r\n"));
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
  ASSERT_TRUE(WriteTestFile(userFile, "[Folders]\r\n"));
  EXPECT_EQ(Start(L"/PostUpdate /Quiet"), 0);
  EXPECT_FALSE(Exists(leftover));
}

TEST_F(StartUpTest, UninstallEndsWithoutTouchingTheSettingsFile) {
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, "[Settings]\r\nFlag=1\r\n"));
  // Quiet before /Uninstall: nothing is asked; what follows /Uninstall is never looked at.
  EXPECT_EQ(Start(L"/Quiet /Uninstall \"" + job + L"\" /Passive"), 0);
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


TEST_F(StartUpTest, PassiveRunShowsTheProgressWindowAndEndsWithTheQuietExitCode) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\large.bin", std::string(96 << 20, 'p')));
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, JobBytes(root / L"data", root / L"backup")));
  RunningProgram program;
  ASSERT_TRUE(program.Start(exe, L"/Passive /NoUpdate " + Quoted(job)));
  auto progressWindow = [&] { return FindProcessWindow(L"Brimlark_MsgBox", program.ProcessId()); };
  bool seen = WaitUntil([&] { return progressWindow() != nullptr || program.WaitForEnd(0); }) && progressWindow();
  ASSERT_TRUE(program.WaitForEnd(60000));
  EXPECT_TRUE(seen);
  EXPECT_EQ(program.ExitCode(), 0u);
  WIN32_FILE_ATTRIBUTE_DATA copied{};
  ASSERT_TRUE(GetFileAttributesExW((root / L"backup\\large.bin").c_str(), GetFileExInfoStandard, &copied));
  EXPECT_EQ(copied.nFileSizeLow, 96u << 20);
}

TEST_F(StartUpTest, PassiveRunCancelledWithYesEndsWithExitCode2) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\large.bin", std::string(256 << 20, 'c')));
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, JobBytes(root / L"data", root / L"backup")));
  RunningProgram program;
  ASSERT_TRUE(program.Start(exe, L"/Passive /NoUpdate " + Quoted(job)));
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    window = FindProcessWindow(L"Brimlark_MsgBox", program.ProcessId());
    return window != nullptr || program.WaitForEnd(0);
  }));
  if (!window) GTEST_SKIP() << "the copy ended before the window could be closed";
  PostMessageW(window, WM_CLOSE, 0, 0);  // the close box: a Cancel
  HWND yes = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    HWND box = FindProcessWindow(L"_WINDOW_MsgBoxClass", program.ProcessId());
    yes = box ? FindWindowExW(box, nullptr, L"Button", L"Yes") : nullptr;
    return yes != nullptr || program.WaitForEnd(0);
  }));
  if (!yes) GTEST_SKIP() << "the copy ended before the question was asked";
  PostMessageW(yes, BM_CLICK, 0, 0);
  ASSERT_TRUE(program.WaitForEnd(60000));
  EXPECT_EQ(program.ExitCode(), 2u);
  EXPECT_FALSE(Exists(root / L"backup\\large.bin"));  // no partial or short copy under the name
  EXPECT_FALSE(Exists(root / L"backup\\large.bin.~brlk-part"));
}

// The first child of a window of a class with a text (nullptr: any), or null.
HWND ChildOf(HWND parent, const wchar_t* windowClass, const wchar_t* text) {
  return parent ? FindWindowExW(parent, nullptr, windowClass, text) : nullptr;
}

TEST_F(StartUpTest, APersonAddsAPairBacksUpAndSavesOnClosing) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\docs\\a.txt", "alpha"));
  RunningProgram program;
  ASSERT_TRUE(program.Start(exe, L"/NoUpdate"));
  auto windowOf = [&](const wchar_t* windowClass) { return FindProcessWindow(windowClass, program.ProcessId()); };
  HWND main = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (main = windowOf(L"BRIMLARK_CLASS")) != nullptr; }));
  // A click that arrives while the window is still starting is discarded with its start-up events, as it
  // would be for a person: click again until the editor shows.
  HWND add = ChildOf(main, L"Button", L"   Add folder pair");
  ASSERT_TRUE(add);
  HWND editor = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    PostMessageW(add, BM_CLICK, 0, 0);
    return WaitUntil([&] { return (editor = windowOf(L"Brimlark_MsgBox")) != nullptr; }, 1000);
  }, 20000));
  HWND source = ChildOf(editor, L"Edit", nullptr);
  HWND destination = source ? FindWindowExW(editor, source, L"Edit", nullptr) : nullptr;
  ASSERT_TRUE(source && destination);
  WideString sourceText = root / L"data", destinationText = root / L"backup";
  SendMessageW(source, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sourceText.c_str()));
  SendMessageW(destination, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destinationText.c_str()));
  PostMessageW(ChildOf(editor, L"Button", L"OK"), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return windowOf(L"Brimlark_MsgBox") == nullptr; }));

  // Preview first. A click that arrives while the editor is still being taken down is discarded with the
  // editor's own events, as it would be for a person: click again until the preview shows.
  HWND previewButton = ChildOf(main, L"Button", L"  Preview");
  ASSERT_TRUE(previewButton);
  auto previewWindow = [&] {
    HWND window = FindWindowExW(nullptr, nullptr, L"Brimlark_MsgBox", L"Brimlark Backup preview");
    DWORD owner = 0;
    if (window) GetWindowThreadProcessId(window, &owner);
    return owner == program.ProcessId() && IsWindowVisible(window) ? window : nullptr;
  };
  HWND preview = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    PostMessageW(previewButton, BM_CLICK, 0, 0);
    return WaitUntil([&] { return (preview = previewWindow()) != nullptr; }, 1000);
  }, 20000));
  EXPECT_TRUE(ChildOf(preview, L"Static", L"New: 1, 5 bytes"));
  EXPECT_TRUE(ChildOf(preview, L"Static", L"New folder: 2"));  // the backup folder itself and docs
  HWND plan = ChildOf(preview, L"SysListView32", nullptr);
  EXPECT_EQ(SendMessageW(plan, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_FALSE(Exists(root / L"backup"));

  // Start the backup from the preview; it ends with its summary.
  PostMessageW(ChildOf(preview, L"Button", L"Start backup"), BM_CLICK, 0, 0);
  auto copied = [&] { return ReadTestFile(root / L"backup\\docs\\a.txt") == "alpha"; };
  ASSERT_TRUE(WaitUntil(copied, 30000));
  HWND ok = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (ok = ChildOf(windowOf(L"_WINDOW_MsgBoxClass"), L"Button", L"OK")) != nullptr; }, 30000));
  wchar_t summary[1024] = {};
  GetWindowTextW(ChildOf(GetParent(ok), L"Static", nullptr), summary, 1024);
  EXPECT_EQ(WideString(summary).rfind(L"The backup is complete.\r\n\r\nFiles copied: 1 (5 bytes)\r\n", 0), 0u)
      << text::ToUtf8(summary);
  PostMessageW(ok, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return windowOf(L"Brimlark_MsgBox") == nullptr && windowOf(L"_WINDOW_MsgBoxClass") == nullptr; }));

  // Close: the unsaved pair brings the question; Yes saves it. A close that arrives while the window is still
  // locked for the run is discarded with the run's other input, as it would be for a person: close again until
  // the question shows.
  HWND yes = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    PostMessageW(main, WM_CLOSE, 0, 0);
    return WaitUntil([&] { return (yes = ChildOf(windowOf(L"_WINDOW_MsgBoxClass"), L"Button", L"Yes")) != nullptr; }, 1000);
  }, 20000));
  PostMessageW(yes, BM_CLICK, 0, 0);
  ASSERT_TRUE(program.WaitForEnd(30000));
  EXPECT_EQ(program.ExitCode(), 0u);
  IniFile saved(userFile);
  ASSERT_TRUE(saved.SectionRange(L"Folders").has_value());
  EXPECT_STREQ(saved.GetString(L"Folders", L"0", L""), (sourceText + L"<|>" + destinationText).c_str());
}

TEST_F(StartUpTest, ApplicationIniHeldByAnotherProcessSurvivesTheRun) {
  WideString appIniPath = root / L"Brimlark.ini";
  ASSERT_TRUE(WriteTestFile(appIniPath, "[Settings]\r\nAutoUpdate=0\r\nImported m_appini=1\r\n"));
  ASSERT_TRUE(WriteTestFile(userFile, "[Folders]\r\n"));
  HeldOpenFile held(appIniPath);
  ASSERT_TRUE(held.held());
  EXPECT_EQ(Start(L"/Quiet"), 0);
  held.Release();
  EXPECT_EQ(ReadTestFile(appIniPath), "[Settings]\r\nAutoUpdate=0\r\nImported m_appini=1\r\n");
}

// The user's own settings file beside the executable would back up a pair; a missing file named on the
// command line must end the run instead of letting that one run in its place.
TEST_F(StartUpTest, UnattendedRunEndsOnANamedSettingsFileThatIsMissing) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\a.txt", "alpha"));
  WideString defaultBackup = root / L"default-backup";
  WideString namedBackup = root / L"named-backup";
  std::string userBytes = JobBytes(root / L"data", defaultBackup);
  ASSERT_TRUE(WriteTestFile(userFile, userBytes));
  WideString job = root / L"job.brlk";
  std::string jobBytes = JobBytes(root / L"data", namedBackup);
  ASSERT_TRUE(WriteTestFile(job, jobBytes));
  WideString gone = root / L"gone.BRLK";

  for (const wchar_t* mode : {L"/Quiet", L"/Passive"}) {
    // Alone, and as the last of several: the last one named wins even when an existing one came before.
    for (const WideString& arguments : {text::Concat(mode, L" /NoUpdate ", Quoted(gone)),
                                        text::Concat(Quoted(job), L" ", Quoted(gone), L" /NoUpdate ", mode)}) {
      SCOPED_TRACE(text::ToUtf8(arguments));
      ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
      EXPECT_EQ(Start(arguments), 1);
      EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Settings file not found: " + gone});
      EXPECT_FALSE(Exists(defaultBackup));
      EXPECT_FALSE(Exists(namedBackup));
      EXPECT_FALSE(Exists(gone));
      EXPECT_EQ(ReadTestFile(userFile), userBytes);
      EXPECT_EQ(ReadTestFile(job), jobBytes);
    }
  }

  // Named last, the existing file runs as before.
  ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
  EXPECT_EQ(Start(text::Concat(L"/Quiet /NoUpdate ", Quoted(gone), L" ", Quoted(job))), 0);
  EXPECT_EQ(ReadTestFile(namedBackup + L"\\a.txt"), "alpha");
  EXPECT_FALSE(Exists(defaultBackup));
  EXPECT_FALSE(Exists(logPath));
}

TEST_F(StartUpTest, UnattendedRunEndsWhenTheUsersSettingsFileIsMissing) {
  for (const wchar_t* mode : {L"/Quiet /NoUpdate", L"/Passive /NoUpdate"}) {
    SCOPED_TRACE(text::ToUtf8(mode));
    ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
    EXPECT_EQ(Start(mode), 1);
    EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Settings file not found: " + userFile});
    EXPECT_FALSE(Exists(userFile));  // not created by the job store saving itself at exit
  }
}

TEST_F(StartUpTest, UnattendedRunEndsOnASettingsFileThatCannotBeOpened) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\a.txt", "alpha"));
  WideString backup = root / L"backup";
  std::string bytes = JobBytes(root / L"data", backup);
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, bytes));
  ASSERT_TRUE(WriteTestFile(userFile, bytes));

  struct Case {
    WideString heldFile;
    WideString arguments;
  } cases[] = {
      {job, L"/Quiet /NoUpdate " + Quoted(job)},
      {job, L"/Passive /NoUpdate " + Quoted(job)},
      {userFile, L"/Quiet /NoUpdate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::ToUtf8(c.arguments));
    ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
    {
      HeldOpenFile held(c.heldFile);
      ASSERT_TRUE(held.held());
      EXPECT_EQ(Start(c.arguments), 1);
    }
    EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Settings file cannot be read: " + c.heldFile});
    EXPECT_EQ(ReadTestFile(c.heldFile), bytes);
    EXPECT_FALSE(Exists(backup));
  }
}

TEST_F(StartUpTest, UnattendedRunEndsOnASettingsFileWithoutFolders) {
  ASSERT_TRUE(WriteTestFile(root / L"data\\a.txt", "alpha"));
  WideString backup = root / L"backup";
  WideString pairLine = text::Concat(L"0=", root / L"data", L"<|>", backup, L"\r\n");
  WideString job = root / L"job.brlk";
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      // Without a version the file would also be upgraded, and so rewritten, on loading.
      {"no version, no sections but Settings", "[Settings]\r\nFlag=0\r\n"},
      {"a misspelt section", Utf16FileBytes(L"[Settings]\r\nversion=1\r\n[Folder]\r\n" + pairLine)},
      {"pair lines without any section", text::ToAnsi(pairLine)},
      {"empty", ""},
      {"a byte-order mark alone", "\xFF\xFE"},
  };
  for (const Case& c : cases) {
    for (bool named : {true, false}) {
      SCOPED_TRACE(testing::Message() << c.what << (named ? ", named" : ", the user's own"));
      const WideString& file = named ? job : userFile;
      ASSERT_TRUE(WriteTestFile(file, c.bytes));
      ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
      EXPECT_EQ(Start(named ? L"/Quiet /NoUpdate " + Quoted(job) : WideString(L"/Quiet /NoUpdate")), 1);
      EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Settings file cannot be read: " + file});
      EXPECT_EQ(ReadTestFile(file), c.bytes);
      EXPECT_FALSE(Exists(backup));
      ASSERT_TRUE(DeleteFileW(file.c_str()));
    }
  }
}

}  // namespace
