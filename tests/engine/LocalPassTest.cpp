#include "engine/TransferPass.h"

#include "base/FileSystem.h"
#include "engine/LocalSide.h"
#include "engine/PassRules.h"
#include "ini/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace testing_support;

namespace {

const FILETIME kOld = MakeFileTime(2020, 1, 1, 12);
const FILETIME kNew = MakeFileTime(2023, 6, 1, 12);

class LocalPassTest : public ::testing::Test {
 protected:
  // One pass from source to target with the given flags, counted first as a run does.
  void Pass(uint32_t runFlags, uint32_t skipAttributes = 0) {
    state.ResetForJob();
    (void)RunCountingPass(sourceSide, source, skipAttributes, state);
    RunTransferPass(Context(runFlags, skipAttributes), state, log);
  }

  PassContext Context(uint32_t runFlags = kRunCommon, uint32_t skipAttributes = 0) {
    return PassContext{sourceSide, targetSide, source, target, runFlags, skipAttributes, buffer.get()};
  }

  std::vector<WideString> LogMessages() { return ReadLogMessages(log.path()); }

  FILETIME WriteTime(WideView path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(WideString(path).c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
  }

  TempFolder root;
  WideString source = root / L"source";
  WideString target = root / L"target";
  ErrorLog log{root / L"log.txt"};
  LocalSide sourceSide;
  LocalSide targetSide;
  std::unique_ptr<unsigned char[]> buffer = std::make_unique<unsigned char[]>(kCopyBufferSize);
  RunProgress state;
};

TEST_F(LocalPassTest, CopiesTreeWithTimesAndAttributes) {
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("alpha", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(source + L"\\empty.bin", FileContent("", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(source + L"\\sub\\deeper\\b.txt", FileContent("bravo", FILE_ATTRIBUTE_READONLY, kNew)));
  ASSERT_TRUE(CreateFolder(source + L"\\hiddenfolder", FILE_ATTRIBUTE_HIDDEN));
  Pass(kRunCommon);
  EXPECT_EQ(ReadTestFile(target + L"\\a.txt"), "alpha");
  EXPECT_EQ(ReadTestFile(target + L"\\sub\\deeper\\b.txt"), "bravo");
  EXPECT_TRUE(AttributesOf(target + L"\\sub\\deeper\\b.txt") & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(AttributesOf(target + L"\\hiddenfolder") & FILE_ATTRIBUTE_HIDDEN);
  FILETIME written = WriteTime(target + L"\\sub\\deeper\\b.txt");
  EXPECT_EQ(CompareFileTime(&written, &kNew), 0);
  // A 0-byte file is a 0-byte copy with the source's times.
  EXPECT_TRUE(Exists(target + L"\\empty.bin"));
  EXPECT_EQ(FileSize(target + L"\\empty.bin"), 0u);
  FILETIME emptyTime = WriteTime(target + L"\\empty.bin");
  EXPECT_EQ(CompareFileTime(&emptyTime, &kOld), 0);
  EXPECT_EQ(state.failureCount, 0u);
  EXPECT_EQ(state.itemsDone, state.totalItems);
  EXPECT_EQ(state.bytesDone, state.totalBytes);
  EXPECT_EQ(state.progressPermille, 1000u);
}

TEST_F(LocalPassTest, CommonWithoutUpdateMethodCopiesEvenAnIdenticalLookingTarget) {
  ASSERT_TRUE(WriteTestFile(source + L"\\f", FileContent("new!", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(target + L"\\f", FileContent("old!", 0, kOld)));
  Pass(kRunCommon);
  EXPECT_EQ(ReadTestFile(target + L"\\f"), "new!");
}

FILETIME Later(FILETIME time, int64_t seconds) {
  uint64_t value = ((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) + seconds * 10'000'000;
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

TEST_F(LocalPassTest, UpdateMethodComparesTimeThenSize) {
  struct Case {
    const wchar_t* name;
    FILETIME sourceTime;
    std::string targetBytes;
    FILETIME targetTime;
    bool copied;
  } cases[] = {
      {L"newer-same-size", kOld, "TTTT", kNew, false},
      {L"older-target", kNew, "TTTT", kOld, true},
      // A newer copy is never replaced by an older source, whatever the sizes (a document edited in the
      // backup this morning).
      {L"other-size-newer-target", kOld, "TTTTTT", kNew, false},
      {L"equal", kOld, "TTTT", kOld, false},
      {L"other-size-same-time", kOld, "TTTTTT", kOld, true},
      // FAT and exFAT keep even seconds, and FAT steps an hour with summer time.
      {L"fat-2s-older-target", Later(kOld, 2), "TTTT", kOld, false},
      {L"3s-older-target", Later(kOld, 3), "TTTT", kOld, true},
      {L"summer-time-step", Later(kOld, 3600 + 2), "TTTT", kOld, false},
      {L"summer-time-step-back", kOld, "TTTT", Later(kOld, 3600 - 2), false},
      {L"hour-and-3s-older-target", Later(kOld, 3600 + 3), "TTTT", kOld, true},
      {L"other-size-2s-apart", kOld, "TTTTTT", Later(kOld, 1), true},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTestFile(source + L"\\" + c.name, FileContent("SSSS", 0, c.sourceTime)));
    ASSERT_TRUE(WriteTestFile(target + L"\\" + c.name, FileContent(c.targetBytes, 0, c.targetTime)));
  }
  Pass(kRunUpdateMethod);
  for (const auto& c : cases) {
    EXPECT_EQ(ReadTestFile(target + L"\\" + c.name) == "SSSS", c.copied) << text::ToUtf8(c.name);
  }
  EXPECT_EQ(state.bytesDone, state.totalBytes);  // skipped files count as done
  EXPECT_EQ(state.newerInTarget, 2u);  // counted apart, and no failure
  EXPECT_EQ(state.failureCount, 0u);
}

TEST_F(LocalPassTest, SyncNeverOverwritesANewerTargetWithAnOlderSource) {
  ASSERT_TRUE(WriteTestFile(source + L"\\f", FileContent("older but longer", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(target + L"\\f", FileContent("newer", 0, kNew)));
  ASSERT_TRUE(WriteTestFile(source + L"\\same", FileContent("12345", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(target + L"\\same", FileContent("abcde", 0, kOld)));
  Pass(kRunSync | kRunUpdateMethod);
  EXPECT_EQ(ReadTestFile(target + L"\\f"), "newer");
  EXPECT_EQ(ReadTestFile(target + L"\\same"), "abcde");  // same time and size: neither is copied
}

TEST_F(LocalPassTest, SkipMaskLeavesFilesOutButEntersFolders) {
  ASSERT_TRUE(WriteTestFile(source + L"\\hidden.txt", FileContent("h", FILE_ATTRIBUTE_HIDDEN)));
  ASSERT_TRUE(WriteTestFile(source + L"\\system.sys", FileContent("s", FILE_ATTRIBUTE_SYSTEM)));
  ASSERT_TRUE(WriteTestFile(source + L"\\secret\\inside.txt", "i"));
  ASSERT_TRUE(SetFileAttributesW((source + L"\\secret").c_str(), FILE_ATTRIBUTE_HIDDEN));
  Pass(kRunCommon, 6);
  EXPECT_FALSE(Exists(target + L"\\hidden.txt"));
  EXPECT_FALSE(Exists(target + L"\\system.sys"));
  EXPECT_EQ(ReadTestFile(target + L"\\secret\\inside.txt"), "i");
}

TEST_F(LocalPassTest, ProtectedTargetsAreReplacedAndTakeTheSourceAttributes) {
  for (DWORD attribute : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    WideString name = L"\\protected" + text::Decimal(attribute);
    ASSERT_TRUE(WriteTestFile(source + name, FileContent("fresh", FILE_ATTRIBUTE_ARCHIVE, kNew)));
    ASSERT_TRUE(WriteTestFile(target + name, FileContent("stale", attribute, kOld)));
  }
  Pass(kRunCommon);
  for (DWORD attribute : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    WideString name = L"\\protected" + text::Decimal(attribute);
    EXPECT_EQ(ReadTestFile(target + name), "fresh");
    EXPECT_FALSE(AttributesOf(target + name) & attribute);
  }
  EXPECT_EQ(state.failureCount, 0u);
}

TEST_F(LocalPassTest, SourceHeldOpenIsLoggedCountedAndTheRunGoesOn) {
  ASSERT_TRUE(WriteTestFile(source + L"\\busy.txt", "busy"));
  ASSERT_TRUE(WriteTestFile(source + L"\\free.txt", "free"));
  ASSERT_TRUE(WriteTestFile(target + L"\\busy.txt", "previous"));
  HeldOpenFile held(source + L"\\busy.txt");
  ASSERT_TRUE(held.held());
  Pass(kRunCommon);
  EXPECT_EQ(state.failureCount, 1u);
  EXPECT_EQ(ReadTestFile(target + L"\\free.txt"), "free");
  EXPECT_EQ(ReadTestFile(target + L"\\busy.txt"), "previous");
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not open local file for reading: " + source + L"\\busy.txt"});
}

TEST_F(LocalPassTest, AFileWhereATargetFolderMustGoSkipsItsSubtree) {
  ASSERT_TRUE(WriteTestFile(source + L"\\blocked\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(source + L"\\fine.txt", "f"));
  ASSERT_TRUE(WriteTestFile(target + L"\\blocked", "a file where a folder must go"));
  Pass(kRunCommon);
  EXPECT_EQ(state.failureCount, 1u);
  EXPECT_EQ(ReadTestFile(target + L"\\fine.txt"), "f");
  EXPECT_EQ(ReadTestFile(target + L"\\blocked"), "a file where a folder must go");
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not replace a file with a folder: " + target + L"\\blocked"});
}

TEST_F(LocalPassTest, TargetThatCannotBeReplacedKeepsItsOldContent) {
  ASSERT_TRUE(WriteTestFile(source + L"\\locked.txt", "new content"));
  ASSERT_TRUE(WriteTestFile(target + L"\\locked.txt", "old content"));
  HeldOpenFile held(target + L"\\locked.txt");
  ASSERT_TRUE(held.held());
  Pass(kRunCommon);
  held.Release();
  EXPECT_EQ(state.failureCount, 1u);
  EXPECT_EQ(ReadTestFile(target + L"\\locked.txt"), "old content");
  // The complete new copy is kept where the next run finds it, never deleted because the rename failed.
  EXPECT_EQ(ReadTestFile(target + L"\\locked.txt.~brlk-part"), "new content");
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not write local file: " + target + L"\\locked.txt"});

  // The next run replaces the old copy and clears the one kept aside.
  Pass(kRunCommon);
  EXPECT_EQ(ReadTestFile(target + L"\\locked.txt"), "new content");
  EXPECT_FALSE(Exists(target + L"\\locked.txt.~brlk-part"));
}

TEST_F(LocalPassTest, AReaderWithDeleteSharingNeverCostsBothCopies) {
  // Indexers and virus scanners open files with delete sharing: a delete of the old copy then only
  // becomes pending, and the name stays taken until the reader lets go.
  ASSERT_TRUE(WriteTestFile(source + L"\\doc.txt", "new content"));
  ASSERT_TRUE(WriteTestFile(target + L"\\doc.txt", "old content"));
  FileHeldByAnotherProcess reader(target + L"\\doc.txt");
  ASSERT_TRUE(reader.held());
  Pass(kRunCommon);
  reader.Release();
  std::string atTarget = ReadTestFile(target + L"\\doc.txt");
  if (atTarget != "new content") {
    // The system refused to replace a file in use: the old copy stands, the new one is complete beside it.
    EXPECT_EQ(atTarget, "old content");
    EXPECT_EQ(ReadTestFile(target + L"\\doc.txt.~brlk-part"), "new content");
    EXPECT_EQ(state.failureCount, 1u);
    EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not write local file: " + target + L"\\doc.txt"});
  }
}

TEST_F(LocalPassTest, ASourceThatChangesWhileCopiedGivesNoTornCopy) {
  ASSERT_TRUE(WriteTestFile(source + L"\\changes.bin", "probe"));
  std::string unixSource = UnixPathOf(source + L"\\changes.bin");
  if (!ResizeAsLinuxProgram(unixSource, 1) || FileSize(source + L"\\changes.bin") != 1) {
    GTEST_SKIP() << "needs 64-bit Wine: only a program outside the system's sharing rules can change a file being read";
  }
  constexpr uint64_t kSize = 256u << 20;
  struct Case {
    const char* name;
    uint64_t newLength;  // set while the copy runs
    bool fails;
  } cases[] = {{"grows", kSize + (64u << 20), false}, {"shrinks", 4u << 20, true}};
  for (const Case& change : cases) {
    SCOPED_TRACE(change.name);
    ASSERT_TRUE(WriteTestFile(source + L"\\changes.bin", std::string(kSize, 'c')));
    ASSERT_TRUE(WriteTestFile(target + L"\\changes.bin", "previous backup"));
    DeleteFileW(log.path().c_str());
    state.ResetForJob();
    (void)RunCountingPass(sourceSide, source, 0, state);
    bool changedMidway = false;
    std::thread writer([&] {
      if (!WaitUntil([&] { return state.bytesDone.load() > 1; })) return;
      changedMidway = ResizeAsLinuxProgram(unixSource, change.newLength) && state.bytesDone.load() < kSize;
    });
    RunTransferPass(Context(), state, log);
    writer.join();
    if (!changedMidway) GTEST_SKIP() << "the copy finished before the file changed; nothing was shown";
    if (change.fails) {
      // Compared as a whole, so that a failure does not print a quarter of a gigabyte.
      EXPECT_TRUE(ReadTestFile(target + L"\\changes.bin") == "previous backup")
          << "the backup holds " << FileSize(target + L"\\changes.bin") << " bytes instead of the previous copy";
      EXPECT_EQ(state.failureCount, 1u);
      EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not read local file: " + source + L"\\changes.bin"});
    } else {
      EXPECT_EQ(FileSize(target + L"\\changes.bin"), kSize);  // the length seen at open, not chased
      EXPECT_EQ(state.failureCount, 0u);
    }
    EXPECT_FALSE(Exists(target + L"\\changes.bin.~brlk-part"));
  }
}

TEST_F(LocalPassTest, EveryModeClearsPartialCopiesInTheFoldersItWalks) {
  struct Case {
    const char* name;
    uint32_t runFlags;
  } cases[] = {{"common", kRunCommon}, {"update", kRunUpdateMethod}, {"sync", kRunSync | kRunUpdateMethod}};
  for (const Case& mode : cases) {
    SCOPED_TRACE(mode.name);
    ASSERT_TRUE(WriteTestFile(source + L"\\sub\\a.txt", "a"));
    ASSERT_TRUE(WriteTestFile(target + L"\\sub\\killed.txt.~brlk-part", "a killed run's copy"));
    ASSERT_TRUE(WriteTestFile(target + L"\\top.txt.~brlk-part", "a killed run's copy"));
    ASSERT_TRUE(WriteTestFile(source + L"\\sub\\notes.~brlk-part", "the user's own"));
    Pass(mode.runFlags);
    EXPECT_FALSE(Exists(target + L"\\sub\\killed.txt.~brlk-part"));
    EXPECT_FALSE(Exists(target + L"\\top.txt.~brlk-part"));
    EXPECT_EQ(ReadTestFile(source + L"\\sub\\notes.~brlk-part"), "the user's own");
    EXPECT_FALSE(Exists(target + L"\\sub\\notes.~brlk-part"));
    EXPECT_EQ(ReadTestFile(target + L"\\sub\\a.txt"), "a");
  }
}

TEST_F(LocalPassTest, NewFilesAppearUnderTheirNameOnlyWhenComplete) {
  // While a new file is being written, its own name stays free; only the partial name is taken.
  ASSERT_TRUE(WriteTestFile(source + L"\\new.bin", std::string(96 << 20, 'n')));
  state.ResetForJob();
  (void)RunCountingPass(sourceSide, source, 0, state);
  bool seenUnderOwnName = false, seenPartial = false;
  std::thread watcher([&] {
    (void)WaitUntil([&] {
      uint64_t done = state.bytesDone.load();
      if (done <= 1 || done >= state.totalBytes.load()) return done >= state.totalBytes.load();
      seenUnderOwnName = seenUnderOwnName || Exists(target + L"\\new.bin");
      seenPartial = seenPartial || Exists(target + L"\\new.bin.~brlk-part");
      return false;
    });
  });
  RunTransferPass(Context(), state, log);
  watcher.join();
  EXPECT_FALSE(seenUnderOwnName);
  EXPECT_TRUE(seenPartial);
  EXPECT_EQ(FileSize(target + L"\\new.bin"), 96u << 20);
}

TEST_F(LocalPassTest, CancelInTheMiddleOfALargeFileKeepsThePreviousTarget) {
  ASSERT_TRUE(WriteTestFile(source + L"\\large.bin", std::string(96 << 20, 'L')));
  ASSERT_TRUE(WriteTestFile(target + L"\\large.bin", "previous backup"));
  state.ResetForJob();
  (void)RunCountingPass(sourceSide, source, 0, state);
  std::thread watcher([this] {
    (void)WaitUntil([this] { return state.bytesDone.load() > 1; });
    state.RequestCancel();
  });
  RunTransferPass(Context(), state, log);
  watcher.join();
  EXPECT_GT(state.bytesDone.load(), 1u);
  EXPECT_LT(state.bytesDone.load(), state.totalBytes.load());
  EXPECT_TRUE(ReadTestFile(target + L"\\large.bin") == "previous backup");  // not 96 MiB of output on failure
  EXPECT_FALSE(Exists(target + L"\\large.bin.~brlk-part"));
  EXPECT_EQ(state.failureCount, 0u);  // a cancel is no failure
}

TEST_F(LocalPassTest, PauseHoldsTheWorkerAtItsNextCheckpoint) {
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", "a"));
  state.ResetForJob();
  state.pause.Pause();
  std::thread worker([this] { RunTransferPass(Context(), state, log); });
  EXPECT_TRUE(WaitUntil([this] { return state.pause.IsHolding(); }));
  EXPECT_FALSE(Exists(target + L"\\a.txt"));
  state.pause.Resume();
  worker.join();
  EXPECT_EQ(ReadTestFile(target + L"\\a.txt"), "a");
}

TEST_F(LocalPassTest, PartialCopiesOfAKilledRunAreRemovedNotCopied) {
  // A killed run leaves a partial copy only beside an earlier copy of the same file.
  ASSERT_TRUE(WriteTestFile(source + L"\\doc.txt", "doc"));
  ASSERT_TRUE(WriteTestFile(target + L"\\doc.txt", "old doc"));
  ASSERT_TRUE(WriteTestFile(target + L"\\doc.txt.~brlk-part", "debris of a killed copy"));
  ASSERT_TRUE(WriteTestFile(source + L"\\gone.txt.~brlk-part", "debris in the side being read"));
  Pass(kRunCommon);
  EXPECT_EQ(ReadTestFile(target + L"\\doc.txt"), "doc");
  EXPECT_FALSE(Exists(target + L"\\doc.txt.~brlk-part"));
  EXPECT_FALSE(Exists(target + L"\\gone.txt.~brlk-part"));
  EXPECT_EQ(ReadTestFile(source + L"\\gone.txt.~brlk-part"), "debris in the side being read");
  EXPECT_EQ(state.totalItems, 2u);  // the debris was not counted

  // Comparing runs list the target folder and clear debris there even when nothing is copied.
  ASSERT_TRUE(WriteTestFile(target + L"\\other.txt.~brlk-part", "debris"));
  Pass(kRunUpdateMethod);
  EXPECT_FALSE(Exists(target + L"\\other.txt.~brlk-part"));
}

TEST_F(LocalPassTest, DeletionPassRemovesWhatTheOtherSideLacks) {
  // The deletion pass walks the destination against the source.
  ASSERT_TRUE(WriteTestFile(source + L"\\keep.txt", "k"));
  ASSERT_TRUE(WriteTestFile(source + L"\\system.sys", FileContent("s", FILE_ATTRIBUTE_SYSTEM)));
  ASSERT_TRUE(WriteTestFile(target + L"\\keep.txt", "k"));
  ASSERT_TRUE(WriteTestFile(target + L"\\system.sys", FileContent("old copy", FILE_ATTRIBUTE_SYSTEM)));
  ASSERT_TRUE(WriteTestFile(target + L"\\extra.txt", "x"));
  ASSERT_TRUE(WriteTestFile(target + L"\\hidden.txt", FileContent("h", FILE_ATTRIBUTE_HIDDEN)));
  ASSERT_TRUE(WriteTestFile(target + L"\\readonly.txt", FileContent("r", FILE_ATTRIBUTE_READONLY)));
  ASSERT_TRUE(WriteTestFile(target + L"\\stray.sys", FileContent("s", FILE_ATTRIBUTE_SYSTEM)));
  ASSERT_TRUE(WriteTestFile(target + L"\\oldfolder\\deep\\file.txt", "o"));
  state.ResetForJob();
  // skip system files
  RunTransferPass(PassContext{targetSide, sourceSide, target, source, kRunStrict, 4, buffer.get()}, state, log);
  EXPECT_TRUE(Exists(target + L"\\keep.txt"));
  EXPECT_EQ(ReadTestFile(target + L"\\system.sys"), "old copy");
  for (const wchar_t* gone : {L"\\extra.txt", L"\\hidden.txt", L"\\readonly.txt", L"\\stray.sys", L"\\oldfolder"}) {
    EXPECT_FALSE(Exists(target + gone)) << text::ToUtf8(gone);
  }
  EXPECT_EQ(ReadTestFile(source + L"\\keep.txt"), "k");
  EXPECT_EQ(state.failureCount, 0u);
}

// A case-sensitive source (a Linux share) holding two names that differ only in case, for a target that
// holds only one of them.
TEST_F(LocalPassTest, NamesThatDifferOnlyInCaseAreNeverWrittenOverEachOther) {
  if (UnixPathOf(source).empty()) GTEST_SKIP() << "two such names can only be made from the Linux side of Wine";
  ASSERT_TRUE(WriteTestFile(source + L"\\Index.html", std::string(15491, 'I')));
  ASSERT_TRUE(WriteAsLinuxProgram(UnixPathOf(source) + "/index.html", std::string(4978, 'i')));
  std::vector<SideEntry> listed;
  ASSERT_EQ(sourceSide.List(source, listed, Leftovers::kLeave), ListOutcome::kListed);
  ASSERT_EQ(listed.size(), 2u) << "the folder does not tell the two names apart";
  for (uint32_t flags : {kRunCommon, kRunCommon, kRunUpdateMethod}) {  // every run says so again
    ASSERT_TRUE(!Exists(log.path()) || DeleteFileW(log.path().c_str()));
    Pass(flags);
    EXPECT_EQ(FileSize(target + L"\\" + listed[0].name), listed[0].size) << "the first in listing order is copied";
    EXPECT_EQ(state.failureCount, 1u);
    EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Names differ only in case: " + source + L"\\" + listed[1].name});
  }
}

// A file where the backup has a folder of that name, and a folder where it has a file.
TEST_F(LocalPassTest, AFolderWhereAFileGoesIsReportedOnceOrReplacedByStrict) {
  auto makeClash = [this] {
    ASSERT_TRUE(WriteTestFile(source + L"\\clash", "file"));
    ASSERT_TRUE(WriteTestFile(target + L"\\clash\\inner.txt", "in the folder"));
    ASSERT_TRUE(WriteTestFile(source + L"\\dir\\x.txt", "x"));
    ASSERT_TRUE(WriteTestFile(target + L"\\dir", "a file"));
  };
  makeClash();
  for (uint32_t flags : {kRunCommon, kRunUpdateMethod}) {
    ASSERT_TRUE(!Exists(log.path()) || DeleteFileW(log.path().c_str()));
    Pass(flags);
    EXPECT_EQ(LogMessages(), (std::vector<WideString>{L"Could not replace a folder with a file: " + target + L"\\clash",
                                                      L"Could not replace a file with a folder: " + target + L"\\dir"}));
    EXPECT_EQ(state.failureCount, 2u);
    EXPECT_EQ(ReadTestFile(target + L"\\clash\\inner.txt"), "in the folder");
    EXPECT_EQ(ReadTestFile(target + L"\\dir"), "a file");
  }

  // Strict's copying pass makes the backup like the source.
  ASSERT_TRUE(DeleteFileW(log.path().c_str()));
  state.ResetForJob();
  (void)RunCountingPass(sourceSide, source, 0, state);
  PassContext strictCopy = Context(kRunCommon);
  strictCopy.clashes = ClashRule::kReplace;
  RunTransferPass(strictCopy, state, log);
  EXPECT_EQ(ReadTestFile(target + L"\\clash"), "file");
  EXPECT_EQ(ReadTestFile(target + L"\\dir\\x.txt"), "x");
  EXPECT_EQ(state.failureCount, 0u);
  EXPECT_FALSE(Exists(log.path()));
}

TEST_F(LocalPassTest, DeletionThatFailsIsLoggedAndCounted) {
  ASSERT_TRUE(WriteTestFile(source + L"\\keep.txt", "k"));
  ASSERT_TRUE(WriteTestFile(target + L"\\keep.txt", "k"));
  ASSERT_TRUE(WriteTestFile(target + L"\\in-use.txt", "x"));
  HeldOpenFile held(target + L"\\in-use.txt");
  ASSERT_TRUE(held.held());
  state.ResetForJob();
  RunTransferPass(PassContext{targetSide, sourceSide, target, source, kRunStrict, 0, buffer.get()}, state, log);
  held.Release();
  EXPECT_TRUE(Exists(target + L"\\in-use.txt"));
  EXPECT_EQ(state.failureCount, 1u);
  EXPECT_EQ(LogMessages(), std::vector<WideString>{L"Could not delete: " + target + L"\\in-use.txt"});
}

}  // namespace
