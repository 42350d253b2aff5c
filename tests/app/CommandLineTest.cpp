#include "app/CommandLine.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteTestFile(job, "[Settings]\r\n"));
    ASSERT_TRUE(WriteTestFile(upperJob, "[Settings]\r\n"));
    ASSERT_TRUE(WriteTestFile(notAJob, "x"));
  }
  WideString Quoted(const WideString& path) { return L"\"" + path + L"\""; }

  TempFolder root;
  WideString job = root / L"my job.brlk";
  WideString upperJob = root / L"OTHER.BRLK";
  WideString notAJob = root / L"notes.txt";
};

TEST_F(CommandLineTest, NoArgumentsMeansNormalModeAndNoFile) {
  for (const wchar_t* empty : {static_cast<const wchar_t*>(nullptr), L"", L"   "}) {
    CommandLineRequest request = ParseCommandLine(empty);
    EXPECT_EQ(request.uiMode, UiMode::kNormal);
    EXPECT_EQ(request.startFlags, 0u);
    EXPECT_TRUE(request.settingsFileToLoad.empty());
    EXPECT_TRUE(request.missingSettingsFile.empty());
    EXPECT_FALSE(request.uninstall);
  }
}

TEST_F(CommandLineTest, RunModeSwitchesMatchTheWholeArgumentInAnyCase) {
  struct Case {
    const wchar_t* line;
    UiMode mode;
  } cases[] = {
      {L"/Quiet", UiMode::kQuiet},          {L"/quiet", UiMode::kQuiet},
      {L"-QUIET", UiMode::kQuiet},          {L"/Quiet:1", UiMode::kNormal},
      {L"Quiet", UiMode::kNormal},          {L"//Quiet", UiMode::kNormal},
      {L"/Passive", UiMode::kPassive},      {L"-passive", UiMode::kPassive},
      {L"/Passive /Quiet", UiMode::kQuiet}, {L"/Quiet /Passive", UiMode::kPassive},
      {L"/Passive /Quiet /passive", UiMode::kPassive},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseCommandLine(c.line).uiMode, c.mode) << text::ToUtf8(c.line);
  }
}

TEST_F(CommandLineTest, ExistingBrlkFileInAnyCaseIsTheFileToLoad) {
  CommandLineRequest request = ParseCommandLine((Quoted(upperJob) + L" /Passive").c_str());
  EXPECT_EQ(request.settingsFileToLoad, upperJob);
  EXPECT_EQ(request.uiMode, UiMode::kPassive);

  // The later file wins; missing files and other extensions are ignored.
  request = ParseCommandLine((Quoted(job) + L" " + Quoted(upperJob) + L" " + Quoted(root / L"gone.brlk") + L" " +
                              Quoted(notAJob)).c_str());
  EXPECT_EQ(request.settingsFileToLoad, upperJob);
}

TEST_F(CommandLineTest, ARelativeSettingsFileIsMadeFullAgainstTheCurrentFolder) {
  wchar_t before[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, before), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(root.path().c_str()));
  CommandLineRequest request = ParseCommandLine(L"/Quiet \"my job.brlk\"");
  CommandLineRequest missing = ParseCommandLine(L"/Quiet gone.brlk");
  ASSERT_TRUE(SetCurrentDirectoryW(before));
  EXPECT_EQ(request.settingsFileToLoad, job);
  EXPECT_EQ(missing.missingSettingsFile, root / L"gone.brlk");
}

TEST_F(CommandLineTest, LastBrlkArgumentNamingNoFileIsKeptAsTheMissingFile) {
  WideString gone = root / L"gone.BrLk";
  WideString folderNamedLikeAJob = root / L"folder.brlk";
  ASSERT_TRUE(MakeTestFolder(folderNamedLikeAJob));
  struct Case {
    WideString line;
    WideString toLoad;
    WideString missing;
  } cases[] = {
      // The file to load is chosen as before, whatever the mode; a missing file only comes on top.
      {Quoted(job) + L" " + Quoted(gone), job, gone},
      {Quoted(job) + L" " + Quoted(gone) + L" /Quiet", job, gone},
      {L"/Passive " + Quoted(gone) + L" " + Quoted(job), job, L""},
      {Quoted(gone) + L" " + Quoted(notAJob), L"", gone},
      {Quoted(folderNamedLikeAJob), L"", folderNamedLikeAJob},
      {Quoted(upperJob) + L" " + Quoted(gone) + L" " + Quoted(job), job, L""},
      {Quoted(notAJob) + L" /Quiet", L"", L""},
  };
  for (const auto& c : cases) {
    CommandLineRequest request = ParseCommandLine(c.line.c_str());
    EXPECT_EQ(request.settingsFileToLoad, c.toLoad) << text::ToUtf8(c.line);
    EXPECT_EQ(request.missingSettingsFile, c.missing) << text::ToUtf8(c.line);
  }
}

TEST_F(CommandLineTest, UninstallStopsTheParsing) {
  CommandLineRequest request = ParseCommandLine((L"/Quiet -uninstall /Passive " + Quoted(job)).c_str());
  EXPECT_TRUE(request.uninstall);
  EXPECT_EQ(request.uiMode, UiMode::kQuiet);
  EXPECT_TRUE(request.settingsFileToLoad.empty());
}

TEST_F(CommandLineTest, StartFlags) {
  EXPECT_EQ(ParseCommandLine(L"/NoUpdate").startFlags, static_cast<uint32_t>(kStartNoUpdate));
  EXPECT_EQ(ParseCommandLine(L"/scheduledbackups").startFlags, static_cast<uint32_t>(kStartScheduledBackups));
  CommandLineRequest request = ParseCommandLine(L"/PostUpdate /ScheduledBackups");
  EXPECT_TRUE(request.removeUpdateTemp);
  EXPECT_EQ(request.startFlags, static_cast<uint32_t>(kStartNoUpdate | kStartScheduledBackups));
  EXPECT_EQ(ParseCommandLine(L"-NoUpdate /Unknown").startFlags, 0u);  // only the slash form exists
}

TEST_F(CommandLineTest, PreviewGoesToAReportOrToTheConsole) {
  WideString report = root / L"report.txt";
  struct Case {
    WideString arguments;
    bool preview;
    WideString report;
  } cases[] = {
      {L"/Preview", true, L""},
      {L"-preview:" + Quoted(report), true, report},
      {L"\"/Preview:" + report + L"\" /Preview", true, L""},
      {L"/Preview:", true, L""},
      {L"/Previews", false, L""},
      {L"/Preview;" + report, false, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::ToUtf8(c.arguments));
    CommandLineRequest request = ParseCommandLine(c.arguments.c_str());
    EXPECT_EQ(request.preview, c.preview);
    EXPECT_EQ(request.previewReport, c.report);
  }
}

}  // namespace
