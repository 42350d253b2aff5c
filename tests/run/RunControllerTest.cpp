#include "run/RunController.h"

#include "RunTestSupport.h"
#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "ini/IniFile.h"
#include "run/UnattendedRun.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const FILETIME kOld = MakeFileTime(2020, 1, 1, 12);
const FILETIME kNew = MakeFileTime(2023, 6, 1, 12);

class RunControllerTest : public ::testing::Test {
 protected:
  RunSummary Run(BackupMode mode, bool update = false, uint32_t skip = 0) {
    RunController controller(state, log, view, power, 6.1);
    controller.Prepare(BackupOptions{mode, update, skip});
    return controller.Run(jobs);
  }

  void AddPair(const WideString& from, const WideString& to, bool checked = true) {
    jobs.Add(FolderPair{from, to, L"", L"", L"", checked});
  }

  std::vector<WideString> LogMessages() { return ReadLogMessages(log.path()); }

  bool Shown(WideView status) {
    for (const auto& shown : view.statuses) {
      if (shown == status) return true;
    }
    return false;
  }

  TempFolder root;
  WideString source = root / L"source";
  WideString destination = root / L"destination";
  ErrorLog log{root / L"log.txt"};
  RunProgress state;
  RecordingView view;
  RecordingPower power;
  JobList jobs;
};

TEST_F(RunControllerTest, StrictCopiesThenDeletesWhatTheSourceLacks) {
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(source + L"\\sub\\b.txt", "b"));
  ASSERT_TRUE(WriteTestFile(destination + L"\\extra.txt", "x"));
  ASSERT_TRUE(WriteTestFile(destination + L"\\oldsub\\c.txt", "c"));
  AddPair(source, destination);
  RunSummary summary = Run(BackupMode::kStrict);
  EXPECT_EQ(summary.result, RunResult::kFinished);
  EXPECT_EQ(ReadTestFile(destination + L"\\a.txt"), "a");
  EXPECT_EQ(ReadTestFile(destination + L"\\sub\\b.txt"), "b");
  EXPECT_FALSE(Exists(destination + L"\\extra.txt"));
  EXPECT_FALSE(Exists(destination + L"\\oldsub"));
  EXPECT_TRUE(Exists(source + L"\\a.txt"));
  EXPECT_TRUE(Shown(L"Copying files, job 1 of 1"));
  EXPECT_TRUE(Shown(L"Synchronizing, job 1 of 1"));
  EXPECT_EQ(view.captions, std::vector<WideString>{L"Backup operation progress"});
  EXPECT_EQ(view.locations, std::vector<WideString>{L"Source: " + source + L" | Destination: " + destination});
}

TEST_F(RunControllerTest, RestoreCopiesTheBackupBack) {
  ASSERT_TRUE(WriteTestFile(destination + L"\\saved.txt", "saved"));
  ASSERT_TRUE(MakeTestFolder(source));
  AddPair(source, destination);
  EXPECT_EQ(Run(BackupMode::kRestore).result, RunResult::kFinished);
  EXPECT_EQ(ReadTestFile(source + L"\\saved.txt"), "saved");
  EXPECT_TRUE(Shown(L"Restoring files, job 1 of 1"));
  EXPECT_EQ(view.captions, std::vector<WideString>{L"Restore operation progress"});
}

TEST_F(RunControllerTest, SyncCopiesBothWaysAndLeavesIdenticalPairs) {
  ASSERT_TRUE(WriteTestFile(source + L"\\only-here.txt", "s"));
  ASSERT_TRUE(WriteTestFile(destination + L"\\only-there.txt", "d"));
  ASSERT_TRUE(WriteTestFile(source + L"\\newer-here.txt", FileContent("new", 0, kNew)));
  ASSERT_TRUE(WriteTestFile(destination + L"\\newer-here.txt", FileContent("old old", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(source + L"\\same.txt", FileContent("1234", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(destination + L"\\same.txt", FileContent("abcd", 0, kOld)));
  AddPair(source, destination);
  EXPECT_EQ(Run(BackupMode::kSync).result, RunResult::kFinished);
  EXPECT_EQ(ReadTestFile(destination + L"\\only-here.txt"), "s");
  EXPECT_EQ(ReadTestFile(source + L"\\only-there.txt"), "d");
  EXPECT_EQ(ReadTestFile(destination + L"\\newer-here.txt"), "new");
  EXPECT_EQ(ReadTestFile(source + L"\\newer-here.txt"), "new");
  EXPECT_EQ(ReadTestFile(source + L"\\same.txt"), "1234");
  EXPECT_EQ(ReadTestFile(destination + L"\\same.txt"), "abcd");
}

TEST_F(RunControllerTest, JobsThatCannotBeSetUpAreLoggedAndSkipped) {
  ASSERT_TRUE(WriteTestFile(root / L"blocker", "a file where the backup folder must go"));
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  AddPair(root / L"missing", destination);
  AddPair(source, root / L"blocker\\backup");
  AddPair(L"ftp://server/dir", destination);
  jobs[2].sourceLocation = L"FTP:00112233445566778899AABBCCDDEEFF";
  // A port above 65535 would wrap round to another one (70000 to 4464).
  auto wrapping = MakeStoredForm(FtpLocation{L"127.0.0.1", L"/dir", L"u", L"p", L"70000", L"2"});
  ASSERT_TRUE(wrapping);
  AddPair(L"ftp://127.0.0.1/dir", destination);
  jobs[3].sourceLocation = *wrapping;
  AddPair(source, destination);
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(summary.jobsSkipped, 4u);
  EXPECT_EQ(summary.jobsRun, 1u);
  EXPECT_EQ(summary.failures, 0u);  // pairs are counted as pairs, not as files that could not be copied
  EXPECT_EQ(ExitCodeOf(summary), kExitFailures);
  EXPECT_EQ(LogMessages(), (std::vector<WideString>{L"Source directory not found: " + root / L"missing",
                                                     L"Could not create destination folder: " + root / L"blocker\\backup",
                                                     L"Could not get FTP info for ftp://server/dir",
                                                     L"Not a valid FTP location: ftp://127.0.0.1/dir"}));
  EXPECT_EQ(ReadTestFile(destination + L"\\a.txt"), "a");
}

TEST_F(RunControllerTest, APassWhoseThreadCannotBeStartedIsLoggedAndItsPairNotReportedDone) {
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  AddPair(source, destination);
  RunController controller(state, log, view, power, 6.1);
  int starts = 0;
  // The counting pass starts; the copying pass cannot.
  controller.SetWorkerStarter([&starts](LPTHREAD_START_ROUTINE entry, void* parameter) -> HANDLE {
    if (starts++ == 0) return CreateThread(nullptr, 0, entry, parameter, 0, nullptr);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  });
  controller.Prepare(BackupOptions{BackupMode::kCommon, false, 0});
  RunSummary summary = controller.Run(jobs);
  EXPECT_EQ(summary.jobsRun, 0u);
  EXPECT_EQ(summary.jobsSkipped, 1u);
  EXPECT_EQ(ExitCodeOf(summary), kExitFailures);
  EXPECT_EQ(LogMessages(),
            std::vector<WideString>{L"Could not start the backup of " + source + L" and " + destination + L" (error 8)"});
  EXPECT_FALSE(Exists(destination + L"\\a.txt"));
}

// A Strict run whose source came back empty, or that would delete most of the backup, deletes nothing
// unless told to.
TEST_F(RunControllerTest, TheGuardHoldsBackDeletingEverythingOrTooMuch) {
  struct Case {
    const char* what;
    int sourceFiles;  // of the 20 in the destination; the rest would go
    bool unattended;
    uint32_t limit;
    bool answerYes;
    bool deleted;
  } cases[] = {
      {"empty source, unattended", 0, true, 100, false, false},
      {"empty source, asked, no", 0, false, 100, false, false},
      {"empty source, asked, yes", 0, false, 50, true, true},
      {"75 percent, unattended", 5, true, 50, false, false},
      {"75 percent with a limit of 100", 5, true, 100, false, true},
      {"75 percent with a limit of 80", 5, true, 80, false, true},
      {"25 percent", 15, true, 50, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(!Exists(log.path()) || DeleteFileW(log.path().c_str()));
    ASSERT_TRUE(MakeTestFolder(source));
    for (int i = 0; i < 20; ++i) {
      WideString name = L"\\f" + text::Decimal(i) + L".txt";
      ASSERT_TRUE(WriteTestFile(destination + name, FileContent("old", 0, kOld)));
      if (i < c.sourceFiles) {
        ASSERT_TRUE(WriteTestFile(source + name, FileContent("old", 0, kOld)));
      }
    }
    jobs = JobList();
    AddPair(source, destination);
    view.questions.clear();
    view.deleteYes = c.answerYes;
    RunController controller(state, log, view, power, 6.1);
    controller.SetUnattended(c.unattended);
    controller.SetDeleteLimit(c.limit);
    controller.Prepare(BackupOptions{BackupMode::kStrict, true, 0});
    RunSummary summary = controller.Run(jobs);
    int left = 0;
    for (int i = 0; i < 20; ++i) left += Exists(destination + L"\\f" + text::Decimal(i) + L".txt");
    EXPECT_EQ(left, c.deleted ? c.sourceFiles : 20);
    WideString counts = text::Concat(text::Decimal(20 - c.sourceFiles), L" of 20 files");
    bool asked = !c.unattended;
    WideString question = text::Concat(L"This backup would delete ", text::Decimal(20 - c.sourceFiles),
                                       L" of the 20 files in ", destination, L". Delete them?");
    EXPECT_EQ(view.questions, asked ? std::vector<WideString>{question}
                                    : std::vector<WideString>{});
    bool heldBack = !c.deleted;
    EXPECT_EQ(LogMessages(), heldBack ? std::vector<WideString>{L"Deletions held back: " + counts +
                                                                 L" would be deleted in " + destination}
                                      : std::vector<WideString>{});
    EXPECT_EQ(summary.failures, heldBack && c.unattended ? 1u : 0u);
    ASSERT_TRUE(ForceDelete(source, 0) == ForceDeleteResult::kDeleted);
    ASSERT_TRUE(ForceDelete(destination, 0) == ForceDeleteResult::kDeleted);
  }
}

// Each job leaves a line with its figures, and the run one with its exit code.
TEST_F(RunControllerTest, TheRunIsRecordedJobByJob) {
  ASSERT_TRUE(WriteTestFile(source + L"\\new.txt", FileContent("12345", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(source + L"\\changed.txt", FileContent("new content", 0, kNew)));
  ASSERT_TRUE(WriteTestFile(destination + L"\\changed.txt", FileContent("old", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(source + L"\\edited in the backup.txt", FileContent("older", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(destination + L"\\edited in the backup.txt", FileContent("newer", 0, kNew)));
  ASSERT_TRUE(WriteTestFile(destination + L"\\extra.txt", "x"));
  AddPair(source, destination);
  AddPair(root / L"missing", destination);
  RunHistory history(root / L"history.txt");
  RunController controller(state, log, view, power, 6.1);
  controller.SetHistory(&history, L"C:\\jobs\\nightly.brlk");
  controller.Prepare(BackupOptions{BackupMode::kStrict, true, 0});
  EXPECT_EQ(ExitCodeOf(controller.Run(jobs)), kExitFailures);
  std::vector<WideString> lines = IniFile(history.path()).lines();
  ASSERT_EQ(lines.size(), 3u);
  for (WideString& line : lines) line = line.substr(std::min<size_t>(20, line.size()));  // the time
  const WideString figures = L"\tcopied=2\tbytes=16\treplaced=1\tdeleted=1\tversions=0\theld=0\tnewer=1\tfailures=0\tseconds=0";
  EXPECT_EQ(lines[0], L"C:\\jobs\\nightly.brlk\t" + source + L"\t" + destination + L"\tStrict update\tresult=done" + figures);
  EXPECT_EQ(lines[1], L"C:\\jobs\\nightly.brlk\t" + root / L"missing" + L"\t" + destination +
                          L"\tStrict update\tresult=not backed up\tcopied=0\tbytes=0\treplaced=0\tdeleted=0\tversions=0"
                          L"\theld=0\tnewer=0\tfailures=1\tseconds=0");
  EXPECT_EQ(lines[2], L"C:\\jobs\\nightly.brlk\texit=1");
}

TEST_F(RunControllerTest, RestoreWithoutBackupFolderIsLogged) {
  AddPair(source, root / L"no-backup");
  EXPECT_EQ(Run(BackupMode::kRestore).jobsSkipped, 1u);
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Restoring source not found: " + root / L"no-backup"});
}

TEST_F(RunControllerTest, EnvironmentVariablesInLocalPathsAreExpanded) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"BRLK_TEST_ROOT", root.path().c_str()));
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  AddPair(L"%BRLK_TEST_ROOT%\\source", L"%BRLK_TEST_ROOT%\\destination\\");
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(ExitCodeOf(summary), kExitSuccess);
  EXPECT_EQ(ReadTestFile(destination + L"\\a.txt"), "a");
}

TEST_F(RunControllerTest, TheSummaryCountsTheFailuresOfEveryJob) {
  ASSERT_TRUE(WriteTestFile(source + L"\\busy.txt", "busy"));
  ASSERT_TRUE(WriteTestFile(root / L"second\\b.txt", "b"));
  ASSERT_TRUE(WriteTestFile(root / L"third\\c.txt", "c"));
  HeldOpenFile held(source + L"\\busy.txt");
  AddPair(source, destination);
  AddPair(root / L"second", root / L"second-backup");
  AddPair(root / L"unchecked", root / L"nowhere", false);
  AddPair(root / L"third", root / L"third-backup");
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(summary.failures, 1u);  // job 1's failure, although the last job had none
  EXPECT_EQ(state.failureCount, 0u);
  EXPECT_EQ(ExitCodeOf(summary), kExitFailures);
  EXPECT_TRUE(Shown(L"Copying files, job 2 of 3"));
  EXPECT_TRUE(Shown(L"Copying files, job 3 of 3"));
  EXPECT_EQ(ReadTestFile(root / L"third-backup\\c.txt"), "c");
  EXPECT_FALSE(Exists(root / L"nowhere"));
}

// Large enough that the copy is still running when the view is first asked for events (after a refresh
// interval of the controller's wait).
constexpr size_t kBigFile = 256u << 20;

TEST_F(RunControllerTest, CancelAskedAndAnsweredNoGoesOn) {
  ASSERT_TRUE(WriteTestFile(source + L"\\big.bin", std::string(kBigFile, 'b')));
  AddPair(source, destination);
  bool asked = false;
  view.nextEvent = [&] {
    if (asked) return ProgressEvent::kNone;
    asked = true;
    return ProgressEvent::kCancel;
  };
  view.answerYes = false;
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(summary.result, RunResult::kFinished);
  EXPECT_EQ(view.questions, std::vector<WideString>{L"Are you sure you want to cancel the backup operation?"});
  EXPECT_EQ(FileSize(destination + L"\\big.bin"), kBigFile);
}

TEST_F(RunControllerTest, CancelConfirmedStopsTheRunWithoutCompletion) {
  ASSERT_TRUE(WriteTestFile(source + L"\\big.bin", std::string(kBigFile, 'b')));
  ASSERT_TRUE(WriteTestFile(root / L"second\\x.txt", "x"));
  AddPair(source, destination);
  AddPair(root / L"second", root / L"second-backup");
  // Cancelled once the copy of the big file is under way.
  view.nextEvent = [&] {
    return WaitUntil([&] { return state.bytesDone.load() > 1; }) ? ProgressEvent::kCancel : ProgressEvent::kNone;
  };
  view.completion = static_cast<int>(CompletionAction::kShutDown);
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(summary.result, RunResult::kCancelled);
  EXPECT_EQ(ExitCodeOf(summary), kExitCancelled);
  EXPECT_FALSE(Exists(root / L"second-backup"));
  EXPECT_TRUE(power.calls.empty());
  EXPECT_GT(state.bytesDone.load(), 1u);
  EXPECT_FALSE(Exists(destination + L"\\big.bin"));
  EXPECT_FALSE(Exists(destination + L"\\big.bin.~brlk-part"));
}

TEST_F(RunControllerTest, PauseWritesNothingUntilResumed) {
  ASSERT_TRUE(WriteTestFile(source + L"\\big.bin", std::string(kBigFile, 'b')));
  AddPair(source, destination);
  // Paused once the copy is under way; resumed after the view has been asked for events 10 more times
  // (a refresh each, so a fifth of a second) while the worker stood still.
  enum class Phase { kCopying, kPausing, kHeld, kResumed } phase = Phase::kCopying;
  int heldCalls = 0;
  uint64_t bytesWhenHeld = 0, bytesBeforeResume = 0, sizeWhenHeld = 0, sizeBeforeResume = 0;
  WideString partial = destination + L"\\big.bin.~brlk-part";
  view.nextEvent = [&] {
    switch (phase) {
      case Phase::kCopying:
        if (!WaitUntil([&] { return state.bytesDone.load() > 1; })) return ProgressEvent::kNone;
        phase = Phase::kPausing;
        return ProgressEvent::kPauseToggle;
      case Phase::kPausing:
        if (!state.pause.IsHolding()) return ProgressEvent::kNone;
        phase = Phase::kHeld;
        bytesWhenHeld = state.bytesDone.load();
        sizeWhenHeld = FileSize(partial);
        return ProgressEvent::kNone;
      case Phase::kHeld:
        if (++heldCalls < 10) return ProgressEvent::kNone;
        phase = Phase::kResumed;
        bytesBeforeResume = state.bytesDone.load();
        sizeBeforeResume = FileSize(partial);
        return ProgressEvent::kPauseToggle;
      case Phase::kResumed: return ProgressEvent::kNone;
    }
    return ProgressEvent::kNone;
  };
  EXPECT_EQ(Run(BackupMode::kCommon).result, RunResult::kFinished);
  ASSERT_EQ(phase, Phase::kResumed) << "the worker never stood still";
  EXPECT_LT(bytesWhenHeld, state.totalBytes.load());
  EXPECT_EQ(bytesBeforeResume, bytesWhenHeld);
  EXPECT_EQ(sizeBeforeResume, sizeWhenHeld);
  EXPECT_EQ(FileSize(destination + L"\\big.bin"), kBigFile);
  EXPECT_EQ(view.pausedStates, (std::vector<bool>{true, false}));
  EXPECT_TRUE(Shown(L"Paused. Press \"Resume\" to continue."));
}

TEST_F(RunControllerTest, PairsThatAreNoUsableFullPathsAreRefused) {
  // Each would otherwise be resolved against the current folder, or cut short by the system.
  TempFolder current;
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(current.path().c_str()));
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(destination + L"\\other-job\\keep.txt", "k"));
  AddPair(L"relative\\source", destination);
  AddPair(source, L"backup");
  AddPair(source, L"D:backup");
  AddPair(source, destination + L"\\" + WideString(1, L'\0') + L"other");
  AddPair(source, destination + L"\\\x01other");
  AddPair(L"FTP:0011223344556677", destination);  // a stored FTP side that cannot be deciphered
  RunSummary summary = Run(BackupMode::kStrict);
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(summary.jobsSkipped, 6u);
  EXPECT_EQ(summary.failures, 0u);  // counted as pairs
  EXPECT_EQ(ExitCodeOf(summary), kExitFailures);
  EXPECT_EQ(LogMessages(), (std::vector<WideString>{L"Not a full path: relative\\source", L"Not a full path: backup",
                                                     L"Not a full path: D:backup",
                                                     L"Not a valid path: " + destination + L"\\?other",
                                                     L"Not a valid path: " + destination + L"\\?other",
                                                     L"Could not get FTP info for FTP:0011223344556677"}));
  EXPECT_EQ(ReadTestFile(destination + L"\\other-job\\keep.txt"), "k");
  EXPECT_FALSE(Exists(destination + L"\\a.txt"));
  DirectoryIterator leftovers(current.path() + L"\\*", DirectoryIterator::kAll);
  EXPECT_FALSE(leftovers.IsOpen()) << "created in the current folder: " << text::ToUtf8(leftovers.name());
}

TEST_F(RunControllerTest, OverlappingPairsAreRefused) {
  WideString data = root / L"data";
  ASSERT_TRUE(WriteTestFile(data + L"\\src\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(data + L"\\keep.txt", "k"));
  struct Case {
    WideString source, destination;
  } cases[] = {
      {data + L"\\src", data},                      // Strict would delete the source from its parent
      {data, data + L"\\backup"},                   // a backup inside its own source
      {data + L"\\src", data + L"\\SRC\\"},         // the same folder, written differently
      {data + L"\\src", data + L"\\x\\..\\src"},
  };
  for (const Case& pair : cases) AddPair(pair.source, pair.destination);
  AddPair(data + L"\\src", data + L"\\src-backup");  // a namesake beside it is fine
  RunSummary summary = Run(BackupMode::kStrict);
  EXPECT_EQ(summary.jobsSkipped, 4u);
  EXPECT_EQ(summary.jobsRun, 1u);
  std::vector<WideString> expected;
  for (const Case& pair : cases) {
    expected.push_back(L"Source and destination overlap: " + pair.source + L" and " + pair.destination);
  }
  EXPECT_EQ(LogMessages(), expected);
  EXPECT_EQ(ReadTestFile(data + L"\\src\\a.txt"), "a");
  EXPECT_EQ(ReadTestFile(data + L"\\keep.txt"), "k");
  EXPECT_FALSE(Exists(data + L"\\backup"));
  EXPECT_EQ(ReadTestFile(data + L"\\src-backup\\a.txt"), "a");
}

TEST_F(RunControllerTest, CompletionActionsAndTheirResults) {
  struct Case {
    int choice;
    RunResult result;
    const wchar_t* call;
  } cases[] = {
      {-1, RunResult::kFinished, nullptr},
      {0, RunResult::kFinished, nullptr},
      {1, RunResult::kFinishedAndClose, nullptr},
      {2, RunResult::kFinishedAndClose, L"log off"},
      {3, RunResult::kFinished, L"sleep"},
      {4, RunResult::kFinished, L"hibernate"},
      {5, RunResult::kFinishedAndClose, L"shut down"},
      {6, RunResult::kFinishedAndClose, L"restart"},
      {9, RunResult::kFinishedAndClose, nullptr},
  };
  for (const auto& c : cases) {
    power.calls.clear();
    view.completion = c.choice;
    EXPECT_EQ(Run(BackupMode::kCommon).result, c.result) << c.choice;  // no checked rows: completion at once
    EXPECT_EQ(power.calls, c.call ? std::vector<WideString>{c.call} : std::vector<WideString>{}) << c.choice;
  }
  view.completion = 5;
  power.calls.clear();
  RunController windows8(state, log, view, power, 6.2);
  windows8.Prepare(BackupOptions{});
  (void)windows8.Run(jobs);
  EXPECT_EQ(power.calls, std::vector<WideString>{L"hybrid shut down"});
}

TEST(ElapsedText, UnitsWithSingularAndJoins) {
  struct Case {
    uint64_t seconds;
    const wchar_t* text;
  } cases[] = {
      {0, L"0 seconds"},          {1, L"1 second"},
      {5, L"5 seconds"},          {60, L"1 minute"},
      {65, L"1 minute and 5 seconds"},
      {7290, L"2 hours, 1 minute and 30 seconds"},
      {777600, L"1 week and 2 days"},
      {604800 + 86400 + 3600 + 60 + 1, L"1 week, 1 day, 1 hour, 1 minute and 1 second"},
  };
  for (const auto& c : cases) EXPECT_EQ(ElapsedText(c.seconds), c.text) << c.seconds;
}

TEST(ExitCode, FromTheRunSummary) {
  EXPECT_EQ(ExitCodeOf(RunSummary{RunResult::kFinished, 0, 0, 2}), kExitSuccess);
  EXPECT_EQ(ExitCodeOf(RunSummary{RunResult::kFinishedAndClose, 0, 0, 0}), kExitSuccess);
  EXPECT_EQ(ExitCodeOf(RunSummary{RunResult::kFinished, 3, 0, 2}), kExitFailures);
  EXPECT_EQ(ExitCodeOf(RunSummary{RunResult::kFinished, 0, 1, 1}), kExitFailures);
  EXPECT_EQ(ExitCodeOf(RunSummary{RunResult::kCancelled, 5, 0, 1}), kExitCancelled);
}

}  // namespace
