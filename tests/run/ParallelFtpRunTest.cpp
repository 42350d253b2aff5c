// Whole runs that copy several files at once over their own connections, against the real test servers:
// they must leave exactly what one file after another leaves, and a failure, a cancel or a pause must
// reach every worker.

#include "run/RunController.h"

#include "FtpTestServer.h"
#include "RunTestSupport.h"
#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/LocalSide.h"
#include "engine/PassRules.h"
#include "ini/IniFile.h"
#include "jobs/FtpLocation.h"
#include "run/IniCertificatePins.h"
#include "run/UnattendedRun.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace testing_support;

namespace {

const FILETIME kOld = MakeFileTime(2020, 1, 1, 12);
const FILETIME kOlder = MakeFileTime(2019, 6, 1, 8);
const FILETIME kNewer = MakeFileTime(2024, 3, 7, 9);

// Every file and folder below a folder: relative path -> "folder", or size, time and content.
using Tree = std::map<WideString, std::string>;

void Collect(const WideString& folder, const WideString& relative, Tree& tree) {
  DirectoryIterator listing;
  for (bool found = listing.Open(folder + L"\\*", DirectoryIterator::kAll); found; found = listing.Next()) {
    WideString name = listing.data().cFileName;
    WideString path = relative.empty() ? name : relative + L"\\" + name;
    if (listing.IsDirectory()) {
      tree[path] = "folder";
      Collect(folder + L"\\" + name, path, tree);
      continue;
    }
    uint64_t time = FileTimeValue(listing.data().ftLastWriteTime) / 10'000'000;  // servers keep seconds
    tree[path] = std::to_string(listing.size()) + " @" + std::to_string(time) + ": " + ReadTestFile(folder + L"\\" + name);
  }
}

Tree TreeOf(const WideString& folder) {
  Tree tree;
  Collect(folder, L"", tree);
  return tree;
}

std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 + (i >> 12));
  return bytes;
}

// What the pair's source holds before the run.
// Copies under way in a folder: their partial files.
int PartialCopiesIn(const WideString& folder) {
  Tree now = TreeOf(folder);
  return static_cast<int>(std::count_if(now.begin(), now.end(), [](const auto& entry) {
    return entry.first.find(L".~brlk-part") != WideString::npos;
  }));
}

// Twelve files of 1,000,000 bytes, file0.bin to file11.bin.
void MakeTwelveFiles(const WideString& folder, char seed) {
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(WriteTestFile(text::Concat(folder, L"\\file", text::DecimalUnsigned(i), L".bin"), Pattern(1'000'000, seed)));
  }
}

void MakeSourceTree(const WideString& folder) {
  ASSERT_TRUE(WriteTestFile(folder + L"\\a.txt", FileContent("alpha", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\b.bin", FileContent(Pattern(100'000, 'b'), 0, kNewer)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\empty.txt", FileContent("", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\big.bin", FileContent(Pattern(9 << 20, 'g'), 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\sub\\c.txt", FileContent("charlie", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\sub\\deeper\\d.txt", FileContent("delta", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\sub\\deeper\\e e.txt", FileContent("echo echo", 0, kNewer)));
  ASSERT_TRUE(MakeTestFolder(folder + L"\\empty folder"));
  for (int i = 0; i < 30; ++i) {
    WideString name = text::Concat(folder, L"\\many\\file", text::DecimalUnsigned(i), L".dat");
    ASSERT_TRUE(WriteTestFile(name, FileContent(Pattern(static_cast<size_t>(i) * 997, static_cast<char>('0' + i)), 0,
                                                i % 2 ? kOld : kNewer)));
  }
}

// What the pair's destination holds before the run: some files as they are at the source, some older,
// some newer, and some the source lacks.
void MakeDestinationTree(const WideString& folder) {
  ASSERT_TRUE(WriteTestFile(folder + L"\\a.txt", FileContent("alpha", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\b.bin", FileContent("an older b", 0, kOlder)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\sub\\c.txt", FileContent("a newer charlie", 0, kNewer)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\many\\file3.dat", FileContent("newer", 0, kNewer)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\extra.txt", FileContent("only here", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(folder + L"\\extra folder\\x.txt", FileContent("only here too", 0, kOld)));
}

struct ModeCase {
  const char* label;
  BackupMode mode;
  bool update;
};

class ParallelFtpRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = FtpTestServer::Read();
    ASSERT_NE(server.port, 0) << "the FTP test server is not running (BRIMLARK_FTP_STATE)";
    name = text::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(MakeTestFolder(server.home + L"\\" + name));
    appIni.Load(root / L"Brimlark.ini");
  }

  std::pair<WideString, WideString> ServerSide(WideView directory, uint16_t port, bool tls = false) {
    FtpLocation location{tls ? L"localhost" : L"127.0.0.1", WideString(directory), L"brimlark", L"secret pass",
                         text::DecimalUnsigned(port), tls ? L"3" : L"2"};
    WideString stored = MakeStoredForm(location).value_or(L"");
    return {stored, DisplayForm(stored, true).value_or(L"")};
  }

  // One pair between a local folder and a server folder, in either direction, run with transfers.
  RunSummary RunPair(const WideString& local, const std::pair<WideString, WideString>& remote, bool upload,
                     BackupOptions options, size_t transfers) {
    JobList jobs;
    FolderPair pair;
    pair.source = upload ? local : remote.second;
    pair.sourceLocation = upload ? L"" : remote.first;
    pair.destination = upload ? remote.second : local;
    pair.destinationLocation = upload ? remote.first : L"";
    jobs.Add(pair);
    RunController controller(state, log, view, power, 6.1);
    controller.SetCertificatePins(&pins);
    controller.SetFtpTransfers(transfers);
    controller.Prepare(options);
    return controller.Run(jobs);
  }

  std::vector<WideString> LogMessages() { return ReadLogMessages(log.path()); }

  // Uploads the files of local to the server folder with four transfers, reading each chunk slowly, so
  // that a cancel or a pause finds every worker in the middle of a file.
  RunSummary RunSlowUpload(const WideString& local, const WideString& directory) {
    JobList jobs;
    RunController controller(state, log, view, power, 6.1);
    controller.SetLocalSideMaker([] { return SlowLocalSide([](int) { return 20; }); });
    controller.SetFtpTransfers(4);
    controller.Prepare(BackupOptions{BackupMode::kCommon, false, 0});
    auto side = ServerSide(directory, server.port);
    jobs.Add(FolderPair{local, side.second, L"", L"", side.first, true});
    return controller.Run(jobs);
  }

  FtpTestServer server;
  WideString name;
  TempFolder root;
  ErrorLog log{root / L"log.txt"};
  IniFile appIni;
  IniCertificatePins pins{appIni};
  RunProgress state;
  RecordingView view;
  RecordingPower power;
};

// Each mode, both ways, plain and over TLS: four transfers leave both sides byte for byte (and time for
// time) as one transfer does.
TEST_F(ParallelFtpRunTest, FourTransfersLeaveWhatOneLeavesInEveryMode) {
  const ModeCase modes[] = {{"Common", BackupMode::kCommon, false},
                            {"Common, update method", BackupMode::kCommon, true},
                            {"Strict", BackupMode::kStrict, false},
                            {"Restore", BackupMode::kRestore, false},
                            {"Sync", BackupMode::kSync, true}};
  int round = 0;
  for (bool tls : {false, true}) {
    for (const ModeCase& mode : modes) {
      if (tls && mode.mode != BackupMode::kCommon && mode.mode != BackupMode::kSync) continue;
      for (bool upload : {true, false}) {
        std::string label = std::string(mode.label) + (upload ? ", upload" : ", download") + (tls ? ", TLS" : "");
        SCOPED_TRACE(label);
        Tree after[2][2];  // [one transfer, four][local, server]
        for (int variant = 0; variant < 2; ++variant) {
          size_t transfers = variant == 0 ? 1 : 4;
          WideString tag = text::Concat(L"r", text::DecimalUnsigned(++round));
          WideString local = root / tag;
          WideString directory = text::Concat(L"/", name, L"/", tag);
          WideString remote = server.home + text::ReplaceAll(directory, L"/", L"\\");
          // Restore reads the pair's destination, so the trees swap sides there.
          bool sourceIsLocal = upload;
          MakeSourceTree(sourceIsLocal ? local : remote);
          MakeDestinationTree(sourceIsLocal ? remote : local);
          RunSummary summary = RunPair(local, ServerSide(directory, tls ? server.tlsPort : server.port, tls), upload,
                                       BackupOptions{mode.mode, mode.update, 0}, transfers);
          EXPECT_EQ(ExitCodeOf(summary), kExitSuccess) << transfers << " transfers";
          EXPECT_TRUE(LogMessages().empty()) << text::ToUtf8(LogMessages().empty() ? L"" : LogMessages().back());
          after[variant][0] = TreeOf(local);
          after[variant][1] = TreeOf(remote);
        }
        EXPECT_EQ(after[0][0], after[1][0]) << "the local side differs";
        EXPECT_EQ(after[0][1], after[1][1]) << "the server side differs";
        EXPECT_GT(after[1][0].size() + after[1][1].size(), 40u);
      }
    }
  }
}

// A server that drops the whole session when one file's transfer begins: that file fails, alone, and
// its worker connects again for the files after it; everything else arrives.
TEST_F(ParallelFtpRunTest, ADroppedConnectionFailsOnlyItsFile) {
  ASSERT_NE(server.droppingPort, 0) << "the test server has no dropping port";
  for (bool upload : {true, false}) {
    SCOPED_TRACE(upload ? "upload" : "download");
    WideString tag = upload ? L"up" : L"down";
    WideString local = root / tag;
    WideString directory = text::Concat(L"/", name, L"/", tag);
    WideString remote = server.home + text::ReplaceAll(directory, L"/", L"\\");
    WideString source = upload ? local : remote;
    WideString target = upload ? remote : local;
    ASSERT_TRUE(MakeTestFolder(target));
    for (int i = 0; i < 24; ++i) {
      ASSERT_TRUE(WriteTestFile(text::Concat(source, L"\\file", text::DecimalUnsigned(i), L".txt"),
                                Pattern(5000 + static_cast<size_t>(i), 'f')));
    }
    ASSERT_TRUE(WriteTestFile(source + L"\\file10 drop-connection.txt", "dropped"));
    ASSERT_TRUE(WriteTestFile(target + L"\\file10 drop-connection.txt", "the previous copy"));
    (void)DeleteFileW(log.path().c_str());
    RunSummary summary = RunPair(local, ServerSide(directory, server.droppingPort), upload,
                                 BackupOptions{BackupMode::kCommon, false, 0}, 4);
    EXPECT_EQ(ExitCodeOf(summary), kExitFailures);
    std::vector<WideString> messages = LogMessages();
    ASSERT_EQ(messages.size(), 1u) << text::ToUtf8(messages.empty() ? L"" : messages.back());
    EXPECT_NE(messages[0].find(L"file10 drop-connection.txt"), WideString::npos) << text::ToUtf8(messages[0]);
    EXPECT_EQ(ReadTestFile(target + L"\\file10 drop-connection.txt"), "the previous copy");
    for (int i = 0; i < 24; ++i) {
      WideString file = text::Concat(L"\\file", text::DecimalUnsigned(i), L".txt");
      EXPECT_EQ(ReadTestFile(target + file), Pattern(5000 + static_cast<size_t>(i), 'f')) << text::ToUtf8(file);
    }
    Tree left = TreeOf(target);
    for (const auto& [path, entry] : left) EXPECT_EQ(path.find(L".~brlk"), WideString::npos) << text::ToUtf8(path);
    EXPECT_EQ(left.size(), 25u);
  }
}

// A listing refused with a transient reply (425; this server refuses every second listing of the folder,
// which is the transfer pass's after the counting pass's) is asked for again: the folder is copied, and
// nothing is logged.
TEST_F(ParallelFtpRunTest, AListingRefusedWithATransientReplyIsAskedForAgain) {
  ASSERT_NE(server.droppingPort, 0) << "the test server has no dropping port";
  WideString remote = server.home + L"\\" + name + L"\\flaky-listing";
  ASSERT_TRUE(WriteTestFile(remote + L"\\a.txt", "alpha"));
  ASSERT_TRUE(WriteTestFile(remote + L"\\inner flaky-listing\\b.txt", "bravo"));
  WideString local = root / L"download";
  RunSummary summary = RunPair(local, ServerSide(L"/" + name + L"/flaky-listing", server.droppingPort), false,
                               BackupOptions{BackupMode::kCommon, false, 0}, 4);
  EXPECT_EQ(ExitCodeOf(summary), kExitSuccess) << text::ToUtf8(LogMessages().empty() ? L"" : LogMessages().back());
  EXPECT_EQ(ReadTestFile(local + L"\\a.txt"), "alpha");
  EXPECT_EQ(ReadTestFile(local + L"\\inner flaky-listing\\b.txt"), "bravo");
}

TEST_F(ParallelFtpRunTest, ACancelLeavesNoPartialFileOnEitherSide) {
  WideString local = root / L"source";
  WideString remote = server.home + L"\\" + name;
  MakeTwelveFiles(local, 'c');
  ASSERT_TRUE(WriteTestFile(remote + L"\\file3.bin", "the previous copy"));
  int busyWorkers = 0;
  view.nextEvent = [&] {
    // Cancelled once four uploads are under way at once.
    if (busyWorkers >= 4) return ProgressEvent::kNone;  // cancelled already
    busyWorkers = PartialCopiesIn(remote);
    return busyWorkers >= 4 ? ProgressEvent::kCancel : ProgressEvent::kNone;
  };
  RunSummary summary = RunSlowUpload(local, L"/" + name);
  EXPECT_EQ(summary.result, RunResult::kCancelled) << text::ToUtf8(LogMessages().empty() ? L"" : LogMessages().back());
  EXPECT_GE(busyWorkers, 4) << "never four uploads at once";
  for (const WideString& folder : {local, remote}) {
    for (const auto& [path, entry] : TreeOf(folder)) {
      EXPECT_EQ(path.find(L".~brlk"), WideString::npos) << text::ToUtf8(path);
    }
  }
  EXPECT_EQ(ReadTestFile(remote + L"\\file3.bin").substr(0, 3) == "the" ||
                ReadTestFile(remote + L"\\file3.bin") == Pattern(1'000'000, 'c'),
            true)
      << "the previous copy or the whole new one, nothing between";
}

TEST_F(ParallelFtpRunTest, APauseHoldsEveryWorker) {
  WideString local = root / L"source";
  WideString remote = server.home + L"\\" + name;
  MakeTwelveFiles(local, 'p');
  enum class Phase { kCopying, kPausing, kHeld, kResumed } phase = Phase::kCopying;
  int heldCalls = 0;
  uint64_t bytesWhenHeld = 0, bytesBeforeResume = 0;
  Tree serverWhenHeld, serverBeforeResume;
  view.nextEvent = [&] {
    switch (phase) {
      case Phase::kCopying:
        if (PartialCopiesIn(remote) < 4) return ProgressEvent::kNone;
        phase = Phase::kPausing;
        return ProgressEvent::kPauseToggle;
      case Phase::kPausing:
        if (state.pause.Holders() < 4) return ProgressEvent::kNone;
        phase = Phase::kHeld;
        bytesWhenHeld = state.bytesDone.load();
        serverWhenHeld = TreeOf(remote);
        return ProgressEvent::kNone;
      case Phase::kHeld:
        if (++heldCalls < 25) return ProgressEvent::kNone;  // half a second of refreshes
        phase = Phase::kResumed;
        bytesBeforeResume = state.bytesDone.load();
        serverBeforeResume = TreeOf(remote);
        return ProgressEvent::kPauseToggle;
      case Phase::kResumed: return ProgressEvent::kNone;
    }
    return ProgressEvent::kNone;
  };
  EXPECT_EQ(ExitCodeOf(RunSlowUpload(local, L"/" + name)), kExitSuccess);
  ASSERT_EQ(phase, Phase::kResumed) << "the four workers never stood still together";
  EXPECT_EQ(bytesBeforeResume, bytesWhenHeld);
  EXPECT_EQ(serverBeforeResume, serverWhenHeld) << "a worker wrote while paused";
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(ReadTestFile(text::Concat(remote, L"\\file", text::DecimalUnsigned(i), L".bin")), Pattern(1'000'000, 'p'));
  }
}

}  // namespace
