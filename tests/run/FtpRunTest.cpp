// Whole runs with an FTP side, against the real test server.

#include "run/RunController.h"

#include "FtpTestServer.h"
#include "RunTestSupport.h"
#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "engine/FtpSide.h"
#include "engine/LocalSide.h"
#include "engine/PartialCopy.h"
#include "engine/PassRules.h"
#include "engine/TransferPass.h"
#include "ftp/FtpClient.h"
#include "ini/IniFile.h"
#include "jobs/FtpLocation.h"
#include "run/IniCertificatePins.h"
#include "run/UnattendedRun.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

const FILETIME kOld = MakeFileTime(2020, 1, 1, 12);

// A side on the test server for a given user and port.
std::pair<WideString, WideString> SideAs(WideView user, uint16_t port, WideView directory) {
  FtpLocation location{L"127.0.0.1", WideString(directory), WideString(user), L"secret pass",
                       text::DecimalUnsigned(port), L"2"};
  WideString stored = MakeStoredForm(location).value_or(L"");
  return {stored, DisplayForm(stored, true).value_or(L"")};
}

class FtpRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = FtpTestServer::Read();
    ASSERT_NE(server.port, 0) << "the FTP test server is not running (BRIMLARK_FTP_STATE)";
    name = text::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
    remote = server.home + L"\\" + name;
    ASSERT_TRUE(MakeTestFolder(remote));
  }

  // A folder pair side on the test server, in its stored and display forms.
  std::pair<WideString, WideString> FtpSide(WideView directory, WideView flags = L"2", WideView password = L"secret pass",
                                            uint16_t port = 0) {
    FtpLocation location{L"127.0.0.1", WideString(directory), L"brimlark", WideString(password),
                         text::DecimalUnsigned(port ? port : server.port), WideString(flags)};
    WideString stored = MakeStoredForm(location).value_or(L"");
    return {stored, DisplayForm(stored, true).value_or(L"")};
  }

  void AddPair(const std::pair<WideString, WideString>* ftpSource, const WideString& localSource,
               const std::pair<WideString, WideString>* ftpTarget, const WideString& localTarget) {
    FolderPair pair;
    pair.source = ftpSource ? ftpSource->second : localSource;
    pair.sourceLocation = ftpSource ? ftpSource->first : L"";
    pair.destination = ftpTarget ? ftpTarget->second : localTarget;
    pair.destinationLocation = ftpTarget ? ftpTarget->first : L"";
    jobs.Add(pair);
  }

  RunSummary Run(BackupMode mode, bool update = false) {
    RunController controller(state, log, view, power, 6.1);
    controller.Prepare(BackupOptions{mode, update, 0});
    return controller.Run(jobs);
  }

  std::vector<WideString> LogMessages() { return ReadLogMessages(log.path()); }

  FtpTestServer server;
  WideString name;
  WideString remote;  // the test's folder on the server, through drive Z:
  TempFolder root;
  ErrorLog log{root / L"log.txt"};
  RunProgress state;
  RecordingView view;
  RecordingPower power;
  JobList jobs;
};

TEST_F(FtpRunTest, UploadsATreeAndSkipsItWithTheUpdateMethod) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("alpha", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(source + L"\\deep\\er\\file with  blanks.txt", "bravo"));
  ASSERT_TRUE(WriteTestFile(source + L"\\Gr\u00fc\u00dfe.txt", "charlie"));
  auto target = FtpSide(L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(ExitCodeOf(summary), kExitSuccess) << (LogMessages().empty() ? "" : text::ToUtf8(LogMessages()[0]));
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a.txt"), "alpha");
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\deep\\er\\file with  blanks.txt"), "bravo");
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\Gr\u00fc\u00dfe.txt"), "charlie");
  EXPECT_EQ(state.bytesDone, state.totalBytes);

  // The uploads carry their upload time, later than the sources': nothing is sent again.
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\a.txt", "ALPHA"));  // same size, newer
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon, true)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a.txt"), "ALPHA");
  // Without the update method the existing copy is replaced.
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon, false)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a.txt"), "alpha");
}

TEST_F(FtpRunTest, UploadsCarryTheSourceTimeAndNearNamesakesStayApart) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\a b c.txt", FileContent("spaced", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\a  b c.txt", "near namesake"));
  auto target = FtpSide(L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon, true)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a b c.txt"), "spaced");
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a  b c.txt"), "near namesake");
  // The server took the source's time (MFMT), so the next comparing run sends nothing.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW((remote + L"\\backup\\a b c.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &kOld), 0);
}

TEST_F(FtpRunTest, RestoreAndSyncWithAServerFolder) {
  WideString local = root / L"local";
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\saved.txt", FileContent("from the server", 0, kOld)));
  ASSERT_TRUE(MakeTestFolder(local));
  auto server = FtpSide(L"/" + name + L"/backup");
  AddPair(nullptr, local, &server, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kRestore)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(local + L"\\saved.txt"), "from the server");

  ASSERT_TRUE(WriteTestFile(local + L"\\only-local.txt", "local"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\only-remote.txt", "remote"));
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kSync)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\only-local.txt"), "local");
  EXPECT_EQ(ReadTestFile(local + L"\\only-remote.txt"), "remote");
  EXPECT_EQ(ReadTestFile(local + L"\\saved.txt"), "from the server");
}

TEST_F(FtpRunTest, ALostConnectionDeletesNothing) {
  // The deletion pass of a Strict job to a server walks the local side against the server; here the
  // connection is gone before it starts.
  WideString local = root / L"backup";
  ASSERT_TRUE(WriteTestFile(local + L"\\precious.txt", "p"));
  FtpClient gone;  // never connected
  LocalSide backup;
  ::FtpSide remoteSide(gone);
  std::vector<unsigned char> buffer(kCopyBufferSize);
  state.ResetForJob();
  RunTransferPass(PassContext{backup, remoteSide, local, L"/" + name, kRunStrict, 0, buffer.data()}, state, log);
  EXPECT_EQ(ReadTestFile(local + L"\\precious.txt"), "p");
  EXPECT_EQ(state.failureCount, 1u);
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not check: /" + name});
}

TEST_F(FtpRunTest, DownloadsWithTheRemoteTimes) {
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\one.txt", FileContent("one", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\sub\\two.txt", "two"));
  auto source = FtpSide(L"/" + name + L"/data");
  WideString target = root / L"backup";
  AddPair(&source, L"", nullptr, target);
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(target + L"\\one.txt"), "one");
  EXPECT_EQ(ReadTestFile(target + L"\\sub\\two.txt"), "two");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW((target + L"\\one.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &kOld), 0);
  EXPECT_EQ(state.totalItems, 4u);  // two files and one folder, plus one
}

TEST_F(FtpRunTest, TwoSidesOnOneServerThatOverlapAreRefused) {
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\a.txt", "a"));
  auto parent = FtpSide(L"/" + name + L"/data");
  auto inside = FtpSide(L"/" + name + L"/DATA/backup/");
  auto same = FtpSide(L"//" + name + L"//data");
  AddPair(&parent, L"", &inside, L"");
  AddPair(&inside, L"", &parent, L"");
  AddPair(&parent, L"", &same, L"");
  RunSummary summary = Run(BackupMode::kStrict);
  EXPECT_EQ(summary.jobsSkipped, 3u);
  EXPECT_EQ(summary.failures, 0u);
  EXPECT_EQ(LogMessages(), (std::vector<WideString>{
                               L"Source and destination overlap: " + parent.second + L" and " + inside.second,
                               L"Source and destination overlap: " + inside.second + L" and " + parent.second,
                               L"Source and destination overlap: " + parent.second + L" and " + same.second}));
  EXPECT_EQ(ReadTestFile(remote + L"\\data\\a.txt"), "a");
  EXPECT_FALSE(Exists(remote + L"\\data\\backup"));
}

TEST_F(FtpRunTest, StrictDeletesWhatTheSourceLacksOnTheServer) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\keep.txt", "k"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\extra.txt", "x"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\full folder\\inside.txt", "i"));
  ASSERT_TRUE(MakeTestFolder(remote + L"\\backup\\empty folder"));
  auto target = FtpSide(L"/" + name + L"/backup");
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\full folder\\deeper\\more.txt", "m"));
  AddPair(nullptr, source, &target, L"");
  // A mirror: folders the source lacks go with all they hold, emptied depth first.
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kStrict)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\keep.txt"), "k");
  EXPECT_FALSE(Exists(remote + L"\\backup\\extra.txt"));
  EXPECT_FALSE(Exists(remote + L"\\backup\\empty folder"));
  EXPECT_FALSE(Exists(remote + L"\\backup\\full folder"));
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(FtpRunTest, AFolderTheServerWillNotListIsAFailureAndDeletesNothing) {
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\a.txt", "a"));
  WideString local = root / L"local";
  ASSERT_TRUE(WriteTestFile(local + L"\\kept.txt", "k"));
  ASSERT_TRUE(WriteTestFile(local + L"\\also kept.txt", "k"));
  auto source = SideAs(L"nolist", server.port, L"/" + name + L"/data");
  AddPair(&source, L"", nullptr, local);
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kStrict)), kExitFailures);
  EXPECT_EQ(ReadTestFile(local + L"\\kept.txt"), "k");
  EXPECT_EQ(ReadTestFile(local + L"\\also kept.txt"), "k");
  // The deletion pass says once that it could not check the folder, not once for each entry.
  std::vector<WideString> messages = LogMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(text::StartsWith(messages[0], L"Could not read remote folder: /" + name + L"/data (550"))
      << text::ToUtf8(messages[0]);
  EXPECT_EQ(messages[1], L"Could not check: /" + name + L"/data");
}

TEST_F(FtpRunTest, StrictFromTheServerDeletesLocalEntriesTheServerLacks) {
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\keep.txt", "k"));
  WideString local = root / L"backup";
  ASSERT_TRUE(WriteTestFile(local + L"\\stale.txt", "s"));
  ASSERT_TRUE(WriteTestFile(local + L"\\stale folder\\x.txt", "x"));
  auto source = FtpSide(L"/" + name + L"/data");
  AddPair(&source, L"", nullptr, local);
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kStrict)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(local + L"\\keep.txt"), "k");
  EXPECT_FALSE(Exists(local + L"\\stale.txt"));
  EXPECT_FALSE(Exists(local + L"\\stale folder"));
}

TEST_F(FtpRunTest, ADataConnectionCutMidTransferIsAFailureAndKeepsThePreviousCopy) {
  ASSERT_NE(server.breakingPort, 0);
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\big.bin", std::string(4 << 20, 'n')));
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\small.txt", "small"));
  WideString local = root / L"backup";
  ASSERT_TRUE(WriteTestFile(local + L"\\big.bin", "previous copy"));
  // This server cuts every download after 64 KiB.
  auto source = FtpSide(L"/" + name + L"/data", L"2", L"secret pass", server.breakingPort);
  AddPair(&source, L"", nullptr, local);
  RunSummary summary = Run(BackupMode::kCommon);
  EXPECT_EQ(ExitCodeOf(summary), kExitFailures);
  EXPECT_TRUE(ReadTestFile(local + L"\\big.bin") == "previous copy");  // not 4 MiB of output on failure
  EXPECT_FALSE(Exists(local + L"\\big.bin.~brlk-part"));
  EXPECT_EQ(ReadTestFile(local + L"\\small.txt"), "small");  // the run went on
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not read remote file: /" + name +
                                                   L"/data/big.bin (426 Connection closed; transfer aborted.)"});
}

TEST_F(FtpRunTest, AServerThatEndsADownloadEarlyIsCaughtByTheListedSize) {
  ASSERT_NE(server.shortPort, 0) << "the test server has no short port";
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\big.bin", FileContent(std::string(4u << 20, 'r'), 0, MakeFileTime(2024, 1, 1))));
  WideString local = root / L"local";
  ASSERT_TRUE(WriteTestFile(local + L"\\big.bin", FileContent("previous copy", 0, kOld)));
  auto source = SideAs(L"brimlark", server.shortPort, L"/" + name + L"/data");
  AddPair(&source, L"", nullptr, local);
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kSync)), kExitFailures);
  EXPECT_TRUE(ReadTestFile(local + L"\\big.bin") == "previous copy") << FileSize(local + L"\\big.bin") << " bytes";
  EXPECT_EQ(FileSize(remote + L"\\data\\big.bin"), 4u << 20);  // nothing short went back either
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not read remote file: /" + name + L"/data/big.bin"});
}

TEST_F(FtpRunTest, AListingThatIsNotUnderstoodDeletesNothing) {
  ASSERT_NE(server.germanPort, 0) << "the test server has no German port";
  // Dated in months whose German names differ from the English ones.
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\a.txt", FileContent("a", 0, MakeFileTime(2023, 3, 10))));
  ASSERT_TRUE(WriteTestFile(remote + L"\\data\\b.txt", FileContent("b", 0, MakeFileTime(2023, 5, 10))));
  WideString local = root / L"local";
  for (const wchar_t* file : {L"\\a.txt", L"\\b.txt", L"\\c.txt"}) ASSERT_TRUE(WriteTestFile(local + file, "backup"));
  auto source = SideAs(L"brimlark", server.germanPort, L"/" + name + L"/data");
  AddPair(&source, L"", nullptr, local);
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kStrict)), kExitFailures);
  for (const wchar_t* file : {L"\\a.txt", L"\\b.txt", L"\\c.txt"}) EXPECT_EQ(ReadTestFile(local + file), "backup");
  std::vector<WideString> messages = LogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_TRUE(text::StartsWith(messages[0], L"Could not read remote folder listing: /" + name + L"/data (-"))
      << text::ToUtf8(messages[0]);
}

TEST_F(FtpRunTest, ARelativeRemoteFolderIsTakenFromTheLoginFolder) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(source + L"\\sub\\b.txt", "b"));
  auto target = FtpSide(name + L"/backup");  // no leading slash: below the folder the login ends in
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a.txt"), "a");
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\sub\\b.txt"), "b");
}

TEST_F(FtpRunTest, TimesAreComparedNoFinerThanTheServerKeepsThem) {
  // A source time with a fraction of a second; the server keeps whole seconds.
  FILETIME fractional = MakeFileTime(2024, 2, 1, 10, 0, 0);
  ULARGE_INTEGER value{{fractional.dwLowDateTime, fractional.dwHighDateTime}};
  value.QuadPart += 5'000'000;
  fractional = {value.LowPart, value.HighPart};
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("alpha", 0, fractional)));
  auto target = FtpSide(L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  ASSERT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  // Marked so that a copy sent again would show: same size, same whole-second time.
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\a.txt", FileContent("ALPHA", 0, MakeFileTime(2024, 2, 1, 10, 0, 0))));
  for (BackupMode mode : {BackupMode::kCommon, BackupMode::kSync}) {
    EXPECT_EQ(ExitCodeOf(Run(mode, true)), kExitSuccess);
    EXPECT_EQ(ReadTestFile(remote + L"\\backup\\a.txt"), "ALPHA") << "sent again";
    EXPECT_EQ(ReadTestFile(source + L"\\a.txt"), "alpha") << "brought back";
  }
}

TEST_F(FtpRunTest, NamesAServerCannotHoldAreNeverSentAltered) {
  ASSERT_NE(server.noUtf8Port, 0) << "the test server has no no-UTF-8 port";
  const WideString japan = L"\u65e5\u672c.txt", china = L"\u4e2d\u56fd.txt";
  BOOL lost = FALSE;
  char ansi[16];
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, japan.c_str(), -1, ansi, sizeof(ansi), nullptr, &lost);
  if (!lost) GTEST_SKIP() << "the ANSI code page here holds Japanese names";
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\" + japan, "japan"));
  ASSERT_TRUE(WriteTestFile(source + L"\\" + china, "china"));
  ASSERT_TRUE(WriteTestFile(source + L"\\caf\u00e9.txt", "cafe"));
  auto target = SideAs(L"brimlark", server.noUtf8Port, L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitFailures);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\caf\u00e9.txt"), "cafe");
  DirectoryIterator entries(remote + L"\\backup\\*", DirectoryIterator::kFilesOnly);
  std::vector<WideString> names;
  for (bool found = entries.IsOpen(); found; found = entries.Next()) names.emplace_back(entries.name());
  EXPECT_EQ(names, std::vector<WideString>{L"caf\u00e9.txt"});
  std::vector<WideString> messages = LogMessages();
  std::sort(messages.begin(), messages.end());
  std::vector<WideString> expected{L"File name cannot be sent to this server: " + source + L"\\" + japan,
                                   L"File name cannot be sent to this server: " + source + L"\\" + china};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(messages, expected);
}

TEST_F(FtpRunTest, AServerWithoutMfmtStillGetsTheSourceTime) {
  ASSERT_NE(server.noMfmtPort, 0) << "the test server has no no-MFMT port";
  const FILETIME sourceTime = MakeFileTime(2024, 2, 1, 10, 0, 0);
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("alpha", 0, sourceTime)));
  ASSERT_TRUE(WriteTestFile(source + L"\\b.txt", FileContent("bravo", 0, sourceTime)));
  auto target = SideAs(L"brimlark", server.noMfmtPort, L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  ASSERT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  for (const wchar_t* file : {L"\\a.txt", L"\\b.txt"}) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW((remote + L"\\backup" + file).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &sourceTime), 0) << text::ToUtf8(file);
  }
  // A Sync afterwards brings nothing back.
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("ALPHA", 0, sourceTime)));
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kSync, true)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(source + L"\\a.txt"), "ALPHA");
}

TEST_F(FtpRunTest, AServerThatRefusesRenamesNeverCostsBothCopies) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\doc.txt", FileContent("new content", 0, MakeFileTime(2024, 1, 1))));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\doc.txt", "old content"));
  auto target = SideAs(L"norename", server.port, L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitFailures);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\doc.txt"), "old content");
  // The complete new copy is kept where the next run finds it, never deleted because a rename failed.
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\doc.txt.~brlk-part"), "new content");
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not write FTP file: /" + name +
                                                   L"/backup/doc.txt (550 Not enough privileges.)"});
}

TEST_F(FtpRunTest, AServerThatWillNotRenameOverAFileStillGetsTheNewCopy) {
  ASSERT_NE(server.noReplacePort, 0) << "the test server has no no-replace port";
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\doc.txt", FileContent("new content", 0, MakeFileTime(2024, 1, 1))));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\doc.txt", "old content"));
  auto target = SideAs(L"brimlark", server.noReplacePort, L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\doc.txt"), "new content");
  EXPECT_FALSE(Exists(remote + L"\\backup\\doc.txt.~brlk-old"));
  EXPECT_FALSE(Exists(remote + L"\\backup\\doc.txt.~brlk-part"));
}

TEST_F(FtpRunTest, LeftoversOfAKilledReplaceAreRepaired) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\other.txt", "other"));
  // Killed after the old copy stepped aside: it comes back. Killed after the new one took its place: the
  // old one goes. An unfinished upload goes.
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\alone.txt.~brlk-old", "the only copy"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\replaced.txt", "new"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\replaced.txt.~brlk-old", "old"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\backup\\cut.txt.~brlk-part", "half"));
  auto target = FtpSide(L"/" + name + L"/backup");
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\alone.txt"), "the only copy");
  EXPECT_EQ(ReadTestFile(remote + L"\\backup\\replaced.txt"), "new");
  for (const wchar_t* gone : {L"alone.txt.~brlk-old", L"replaced.txt.~brlk-old", L"cut.txt.~brlk-part"}) {
    EXPECT_FALSE(Exists(remote + L"\\backup\\" + gone)) << text::ToUtf8(gone);
  }
}

TEST_F(FtpRunTest, AKilledUploadLeavesNoShortFileThatSyncTakesForNewer) {
  constexpr uint64_t kSize = 32u << 20;
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\big.bin", FileContent(std::string(kSize, 'u'), 0, MakeFileTime(2024, 1, 15))));
  ASSERT_TRUE(MakeTestFolder(remote + L"\\backup"));
  auto target = FtpSide(L"/" + name + L"/backup");
  WideString app = root / L"app";
  ASSERT_TRUE(MakeTestFolder(app));
  ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), (app + L"\\Brimlark.exe").c_str(), FALSE));
  WideString job = app + L"\\job.brlk";
  ASSERT_TRUE(WriteTestFile(job, Utf16FileBytes(text::Concat(L"[Settings]\r\nversion=1\r\nFlag=0\r\nSkipAttributes=0\r\n",
                                                              L"[Folders]\r\n0=", source, L"<|>", target.first, L"\r\n"))));
  auto uploadUnderWay = [&] {
    DirectoryIterator entries(remote + L"\\backup\\*", DirectoryIterator::kFilesOnly);
    for (bool found = entries.IsOpen(); found; found = entries.Next()) {
      if (entries.size() > 0 && entries.size() < kSize) return true;
    }
    return false;
  };
  // Killed while some of the file is on the server; a run that got through first is tried again.
  bool killedMidway = false;
  for (int attempt = 0; attempt < 3 && !killedMidway; ++attempt) {
    (void)ForceDelete(remote + L"\\backup\\*", 0);
    RunningProgram program;
    ASSERT_TRUE(program.Start(app + L"\\Brimlark.exe", text::Concat(L"/Quiet /NoUpdate \"", job, L"\"")));
    killedMidway = WaitUntil(uploadUnderWay, 30000) && program.Kill();
  }
  if (!killedMidway) GTEST_SKIP() << "the upload was never caught under way in 3 runs";
  uint64_t atFinalName = Exists(remote + L"\\backup\\big.bin") ? FileSize(remote + L"\\backup\\big.bin") : 0;
  EXPECT_TRUE(atFinalName == 0 || atFinalName == kSize) << "a short upload holds the file's own name: " << atFinalName;

  // The next Sync must neither take a short file for the newest copy nor leave debris. (The server took
  // the killed upload for a whole one: the connection closed in order.)
  AddPair(nullptr, source, &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kSync)), kExitSuccess);
  EXPECT_EQ(FileSize(source + L"\\big.bin"), kSize);
  EXPECT_EQ(FileSize(remote + L"\\backup\\big.bin"), kSize);
  EXPECT_FALSE(Exists(remote + L"\\backup\\big.bin.~brlk-part"));
}

TEST_F(FtpRunTest, CopiesBetweenTwoServerFolders) {
  ASSERT_TRUE(WriteTestFile(remote + L"\\from\\f.txt", "payload"));
  auto source = FtpSide(L"/" + name + L"/from");
  auto target = FtpSide(L"/" + name + L"/to");
  AddPair(&source, L"", &target, L"");
  EXPECT_EQ(ExitCodeOf(Run(BackupMode::kCommon)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\to\\f.txt"), "payload");
}

TEST_F(FtpRunTest, BacksUpOverFtpsAndRemembersTheCertificateInTheIniFile) {
  WideString source = root / L"source";
  ASSERT_TRUE(WriteTestFile(source + L"\\secret.txt", "encrypted on the way"));
  FtpLocation location{L"localhost", L"/" + name + L"/secure", L"brimlark", L"secret pass",
                       text::DecimalUnsigned(server.tlsPort), L"3"};
  WideString stored = MakeStoredForm(location).value_or(L"");
  std::pair<WideString, WideString> target{stored, DisplayForm(stored, true).value_or(L"")};
  AddPair(nullptr, source, &target, L"");
  IniFile appIni;
  appIni.Load(root / L"Brimlark.ini");
  IniCertificatePins pins(appIni);
  RunController controller(state, log, view, power, 6.1);
  controller.SetCertificatePins(&pins);
  controller.Prepare(BackupOptions{BackupMode::kCommon, false, 0});
  EXPECT_EQ(ExitCodeOf(controller.Run(jobs)), kExitSuccess);
  EXPECT_EQ(ReadTestFile(remote + L"\\secure\\secret.txt"), "encrypted on the way");
  IniFile saved(root / L"Brimlark.ini");
  EXPECT_EQ(text::View(saved.GetString(L"Certificates", L"localhost:" + text::DecimalUnsigned(server.tlsPort), L"")).size(),
            64u);
}

// Whole runs against each real server, plain and over TLS: what lands is what the source holds, and a
// rerun with the update method or a second Sync sends nothing.
TEST_F(FtpRunTest, WholeRunsAgainstEveryRealServer) {
  struct RealServer {
    const char* label;
    WideString host;
    uint16_t port;
    WideString user;
    WideString password;
    WideString flags;
    WideString home;       // the folder that the remote directory below is relative to, through drive Z:
    WideString directory;  // the remote directory of this test
  } servers[] = {
      {"pyftpdlib", L"127.0.0.1", server.port, L"brimlark", L"secret pass", L"2", server.home, L"/" + name + L"/py"},
      {"pyftpdlib TLS", L"localhost", server.tlsPort, L"brimlark", L"secret pass", L"3", server.home,
       L"/" + name + L"/pytls"},
      {"vsftpd", L"127.0.0.1", server.vsftpdPort, L"anonymous", L"guest", L"2", server.vsftpdHome,
       L"/pub/" + name + L"/vs"},
      {"vsftpd TLS", L"localhost", server.vsftpdTlsPort, L"anonymous", L"guest", L"3", server.vsftpdHome,
       L"/pub/" + name + L"/vstls"},
  };
  ASSERT_NE(server.vsftpdPort, 0) << "vsftpd is not running (scripts/vsftpd-test-server.sh)";
  IniFile appIni;
  appIni.Load(root / L"Brimlark.ini");
  IniCertificatePins pins(appIni);
  for (const RealServer& real : servers) {
    SCOPED_TRACE(real.label);
    WideString tag = text::FromUtf8(real.label);
    WideString source = root / (tag + L" source");
    WideString local = root / (tag + L" download");
    WideString remote = real.home + text::ReplaceAll(real.directory, L"/", L"\\");
    ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("alpha", 0, kOld)));
    ASSERT_TRUE(WriteTestFile(source + L"\\deep\\er\\file with  blanks.txt", "bravo"));
    ASSERT_TRUE(WriteTestFile(source + L"\\Gr\u00fc\u00dfe.txt", "charlie"));
    FtpLocation location{real.host, real.directory, real.user, real.password, text::DecimalUnsigned(real.port), real.flags};
    WideString stored = MakeStoredForm(location).value_or(L"");
    std::pair<WideString, WideString> side{stored, DisplayForm(stored, true).value_or(L"")};
    auto run = [&](BackupMode mode, bool update, bool download) {
      jobs.Clear();
      if (download) AddPair(&side, L"", nullptr, local);
      else AddPair(nullptr, source, &side, L"");
      RunController controller(state, log, view, power, 6.1);
      controller.SetCertificatePins(&pins);
      controller.SetKeepVersions(30);
      controller.Prepare(BackupOptions{mode, update, 0});
      return ExitCodeOf(controller.Run(jobs));
    };
    auto messages = [&] { return LogMessages().empty() ? std::string() : text::ToUtf8(LogMessages().back()); };

    ASSERT_EQ(run(BackupMode::kCommon, false, false), kExitSuccess) << messages();
    EXPECT_EQ(ReadTestFile(remote + L"\\a.txt"), "alpha");
    EXPECT_EQ(ReadTestFile(remote + L"\\deep\\er\\file with  blanks.txt"), "bravo");
    EXPECT_EQ(ReadTestFile(remote + L"\\Gr\u00fc\u00dfe.txt"), "charlie");

    // Marked on the server with the same size and time: anything sent again would show.
    WIN32_FILE_ATTRIBUTE_DATA uploaded{};
    ASSERT_TRUE(GetFileAttributesExW((remote + L"\\a.txt").c_str(), GetFileExInfoStandard, &uploaded));
    ASSERT_TRUE(WriteTestFile(remote + L"\\a.txt", FileContent("ALPHA", 0, uploaded.ftLastWriteTime)));
    EXPECT_EQ(run(BackupMode::kCommon, true, false), kExitSuccess) << messages();
    EXPECT_EQ(ReadTestFile(remote + L"\\a.txt"), "ALPHA") << "sent again by the update method";
    EXPECT_EQ(run(BackupMode::kSync, true, false), kExitSuccess) << messages();
    EXPECT_EQ(ReadTestFile(remote + L"\\a.txt"), "ALPHA") << "sent again by Sync";
    EXPECT_EQ(ReadTestFile(source + L"\\a.txt"), "alpha") << "brought back by Sync";

    // Strict leaves exactly the source tree.
    ASSERT_TRUE(WriteTestFile(remote + L"\\extra.txt", "x"));
    ASSERT_TRUE(WriteTestFile(remote + L"\\old folder\\inside\\file.txt", "o"));
    EXPECT_EQ(run(BackupMode::kStrict, false, false), kExitSuccess) << messages();
    EXPECT_FALSE(Exists(remote + L"\\extra.txt"));
    EXPECT_FALSE(Exists(remote + L"\\old folder"));
    EXPECT_EQ(ReadTestFile(remote + L"\\a.txt"), "alpha");
    // Kept on the server, each in one run folder.
    std::map<WideString, std::string> kept;
    for (const auto& [path, content] : TreeOf(remote + L"\\Brimlark versions")) {
      if (content != "<folder>") kept[path.substr(path.find(L'\\') + 1)] = content;
    }
    EXPECT_EQ(kept, (std::map<WideString, std::string>{{L"extra.txt", "x"}, {L"old folder\\inside\\file.txt", "o"}}));

    // And back down into a new folder.
    EXPECT_EQ(run(BackupMode::kCommon, false, true), kExitSuccess) << messages();
    EXPECT_EQ(ReadTestFile(local + L"\\a.txt"), "alpha");
    EXPECT_EQ(ReadTestFile(local + L"\\deep\\er\\file with  blanks.txt"), "bravo");
    EXPECT_EQ(ReadTestFile(local + L"\\Gr\u00fc\u00dfe.txt"), "charlie");
  }
}

TEST_F(FtpRunTest, JobsThatCannotReachTheServerAreLoggedAndSkipped) {
  WideString local = root / L"local";
  ASSERT_TRUE(MakeTestFolder(local));
  auto missing = FtpSide(L"/" + name + L"/not there");
  auto wrongPassword = FtpSide(L"/" + name, L"2", L"wrong");
  auto secure = FtpSide(L"/" + name, L"3");  // asks for SSL from a server without it
  AddPair(&missing, L"", nullptr, local);
  AddPair(&wrongPassword, L"", nullptr, local);
  AddPair(&secure, L"", nullptr, local);
  RunSummary summary = Run(BackupMode::kStrict);
  EXPECT_EQ(summary.jobsSkipped, 3u);
  WideString connect = L"Could not connect to  127.0.0.1 at port " + text::DecimalUnsigned(server.port);
  // The server's refusal is said after each.
  EXPECT_EQ(LogMessages(), (std::vector<WideString>{
                               L"Source directory not found: " + missing.second + L" (550 No such file or directory.)",
                               connect + L" (530 Authentication failed.)",
                               connect + L" (the server does not offer TLS)"}));
  EXPECT_TRUE(Exists(local));  // a Strict job from a missing remote folder deletes nothing
}

// Through the program, against the server: a preview that changes nothing there, then a Strict run that
// keeps on the server what it deletes and replaces, and clears a run folder older than KeepVersions.
TEST_F(FtpRunTest, TheProgramPreviewsAndKeepsVersionsOnTheServer) {
  WideString exe = root / L"Brimlark.exe";
  ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), exe.c_str(), FALSE));
  WideString source = root / L"source", backup = remote + L"\\backup";
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("new a", 0, MakeFileTime(2024, 2, 1))));
  ASSERT_TRUE(WriteTestFile(backup + L"\\a.txt", FileContent("old a", 0, MakeFileTime(2024, 1, 1))));
  ASSERT_TRUE(WriteTestFile(backup + L"\\gone.txt", "gone"));
  ASSERT_TRUE(WriteTestFile(backup + L"\\old\\inside.txt", "inside"));
  ASSERT_TRUE(WriteTestFile(backup + L"\\Brimlark versions\\2000-01-01 000000\\e.txt", "expired"));
  auto target = FtpSide(L"/" + name + L"/backup");
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, Utf16FileBytes(L"[Settings]\r\nversion=1\r\nFlag=1\r\nSkipAttributes=0\r\n[Folders]\r\n0=" +
                                                source + L"<|>" + target.first + L"\r\n")));
  auto before = TreeOf(backup);
  WideString report = root / L"report.txt";
  ASSERT_EQ(RunProgram(exe, L"/NoUpdate \"" + job + L"\" \"/Preview:" + report + L"\""), 0);
  EXPECT_EQ(TreeOf(backup), before);
  WideString listed = text::FromUtf8(ReadTestFile(report));
  WideString at = L"/" + name + L"/backup/";
  for (const WideString& line : {L"update\t" + at + L"a.txt\t5\r\n", L"delete\t" + at + L"gone.txt\t4\r\n",
                                 L"delete\t" + at + L"old\t6\r\n"}) {
    EXPECT_NE(listed.find(line), WideString::npos) << text::ToUtf8(line) << " not in " << text::ToUtf8(listed);
  }

  ASSERT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), 0);
  auto after = TreeOf(backup);
  EXPECT_EQ(after.count(L"Brimlark versions\\2000-01-01 000000"), 0u);
  std::map<WideString, std::string> files;
  for (const auto& [path, content] : after) {
    if (content == "<folder>") continue;
    // One run folder: its name is the same for every file kept.
    bool kept = text::StartsWith(path, L"Brimlark versions\\");
    files[kept ? L"kept\\" + path.substr(path.find(L'\\', 18) + 1) : path] = content;
  }
  EXPECT_EQ(files, (std::map<WideString, std::string>{{L"a.txt", "new a"},
                                                       {L"kept\\a.txt", "old a"},
                                                       {L"kept\\gone.txt", "gone"},
                                                       {L"kept\\old\\inside.txt", "inside"}}));
}

}  // namespace
