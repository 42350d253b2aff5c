// What every side promises the transfer pass, checked against each kind of side, and the pass itself in
// all four directions. A new kind of side is tested by adding its place to the type lists below.

#include "engine/ForceDelete.h"
#include "engine/FtpSide.h"
#include "engine/LocalSide.h"
#include "engine/PassRules.h"
#include "engine/TransferPass.h"

#include "FtpTestServer.h"
#include "base/FileSystem.h"
#include "ftp/FtpClient.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

using namespace testing_support;

namespace {

const FILETIME kOld = MakeFileTime(2020, 1, 1, 12);

// A folder on one kind of side: the side, the folder as the side names it, and the same folder as a
// local path, through which a test makes and checks files.
class LocalPlace {
 public:
  [[nodiscard]] bool Open(TempFolder& temp, const WideString& name) {
    local_ = temp / name;
    return MakeTestFolder(local_);
  }
  [[nodiscard]] Side& side() { return side_; }
  [[nodiscard]] const WideString& root() const { return local_; }
  [[nodiscard]] const WideString& local() const { return local_; }

 private:
  LocalSide side_;
  WideString local_;
};

// On the FTP test server, whose home folder the tests reach through Wine's drive Z:.
class FtpPlace {
 public:
  [[nodiscard]] bool Open(TempFolder&, const WideString& name) {
    FtpTestServer server = FtpTestServer::Read();
    if (server.port == 0) return false;
    WideString test = text::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
    WideString suite = text::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name());
    WideString folder = text::Concat(text::ReplaceAll(suite, L"/", L"-"), L"-", test, L"-", name);
    local_ = text::Concat(server.home, L"\\", folder);
    root_ = text::Concat(L"/", folder);
    (void)ForceDelete(local_, 0);  // left by an earlier run of the same test
    if (!MakeTestFolder(local_)) return false;
    if (!client_.Connect(FtpConnectOptions{L"127.0.0.1", server.port, L"brimlark", L"secret pass", true, 10000})) {
      return false;
    }
    side_.emplace(client_);
    return true;
  }
  [[nodiscard]] Side& side() { return *side_; }
  [[nodiscard]] const WideString& root() const { return root_; }
  [[nodiscard]] const WideString& local() const { return local_; }

 private:
  FtpClient client_;
  std::optional<FtpSide> side_;
  WideString local_;
  WideString root_;
};

std::vector<WideString> Names(const std::vector<SideEntry>& entries) {
  std::vector<WideString> names;
  for (const SideEntry& entry : entries) names.push_back(entry.IsDirectory() ? entry.name + L"\\" : entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

template <typename Place>
class SideContract : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(place.Open(temp, L"side")) << "the side could not be opened"; }

  WideString At(WideView name) { return place.side().Join(place.root(), WideString(name)); }
  WideString Local(WideView name) { return text::Concat(place.local(), L"\\", name); }
  std::string ReadThroughSide(const WideString& path) {
    std::string bytes;
    if (!place.side().OpenRead(path)) return "(cannot open)";
    std::vector<char> chunk(kCopyBufferSize);
    for (int got; (got = place.side().Read(chunk.data(), chunk.size())) > 0;) bytes.append(chunk.data(), got);
    return place.side().CloseRead() ? bytes : "(not confirmed)";
  }

  TempFolder temp;
  Place place;
};

using Places = ::testing::Types<LocalPlace, FtpPlace>;
TYPED_TEST_SUITE(SideContract, Places);

TYPED_TEST(SideContract, ListsEntriesWithSizesAndClearsPartialCopiesOnlyWhereItWrites) {
  ASSERT_TRUE(WriteTestFile(this->Local(L"a.txt"), "abc"));
  ASSERT_TRUE(MakeTestFolder(this->Local(L"sub")));
  ASSERT_TRUE(WriteTestFile(this->Local(L"killed.txt.~brlk-part"), "debris of a killed copy"));
  ASSERT_TRUE(WriteTestFile(this->Local(L"notes.~BRLK-PART"), "a name like ours"));
  ASSERT_TRUE(WriteTestFile(this->Local(L"plan.~brlk-old"), "a name like ours"));
  std::vector<SideEntry> entries;
  // Read only: such names are never listed, and never deleted.
  ASSERT_EQ(this->place.side().List(this->place.root(), entries, Leftovers::kLeave), ListOutcome::kListed);
  EXPECT_EQ(Names(entries), (std::vector<WideString>{L"a.txt", L"sub\\"}));
  EXPECT_TRUE(Exists(this->Local(L"killed.txt.~brlk-part")));
  EXPECT_TRUE(Exists(this->Local(L"notes.~BRLK-PART")));
  EXPECT_TRUE(Exists(this->Local(L"plan.~brlk-old")));
  ASSERT_TRUE(DeleteFileW(this->Local(L"plan.~brlk-old").c_str()));  // on a server it would be put back

  ASSERT_EQ(this->place.side().List(this->place.root(), entries, Leftovers::kClear), ListOutcome::kListed);
  EXPECT_EQ(Names(entries), (std::vector<WideString>{L"a.txt", L"sub\\"}));
  auto file = std::find_if(entries.begin(), entries.end(), [](const SideEntry& e) { return e.name == L"a.txt"; });
  ASSERT_NE(file, entries.end());
  EXPECT_EQ(file->size, 3u);
  EXPECT_FALSE(Exists(this->Local(L"killed.txt.~brlk-part")));
}

TYPED_TEST(SideContract, AMissingFolderIsNeverAnEmptyListing) {
  Side& side = this->place.side();
  std::vector<SideEntry> entries;
  EXPECT_NE(side.List(this->At(L"missing"), entries, Leftovers::kLeave), ListOutcome::kListed);
  EXPECT_FALSE(side.FolderExists(this->At(L"missing")));
  // A folder below a missing one is made with its parent.
  WideString deeper = side.Join(this->At(L"new"), L"deeper");
  EXPECT_TRUE(side.MakeFolder(deeper, kNoAttributes));
  EXPECT_TRUE(side.FolderExists(deeper));
  EXPECT_TRUE(IsExistingFolder(this->Local(L"new\\deeper")));
}

TYPED_TEST(SideContract, AFinishedWriteReplacesTheOldCopyOnlyWhenComplete) {
  ASSERT_TRUE(WriteTestFile(this->Local(L"doc.txt"), "old copy"));
  Side& side = this->place.side();
  ASSERT_TRUE(side.OpenWrite(this->At(L"doc.txt")));
  ASSERT_TRUE(side.Write("new content", 11));
  EXPECT_EQ(ReadTestFile(this->Local(L"doc.txt")), "old copy");  // the old copy stands until the end
  SideEntry source;
  source.name = L"doc.txt";
  source.size = 11;
  source.attributes = FILE_ATTRIBUTE_ARCHIVE;
  source.creation = source.lastAccess = source.lastWrite = kOld;
  ASSERT_TRUE(side.FinishWrite(source));
  EXPECT_EQ(ReadTestFile(this->Local(L"doc.txt")), "new content");
  EXPECT_FALSE(Exists(this->Local(L"doc.txt.~brlk-part")));
  // The copy carries the source's time, so that the next comparison finds nothing to do.
  std::vector<SideEntry> entries;
  ASSERT_EQ(side.List(this->place.root(), entries, Leftovers::kLeave), ListOutcome::kListed);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(FileTimeValue(entries[0].lastWrite) / entries[0].timePrecision, FileTimeValue(kOld) / entries[0].timePrecision);
}

TYPED_TEST(SideContract, AnAbandonedWriteLeavesTheOldCopyAndNoDebris) {
  ASSERT_TRUE(WriteTestFile(this->Local(L"doc.txt"), "old copy"));
  Side& side = this->place.side();
  ASSERT_TRUE(side.OpenWrite(this->At(L"doc.txt")));
  ASSERT_TRUE(side.Write("half", 4));
  side.AbandonWrite();
  EXPECT_EQ(ReadTestFile(this->Local(L"doc.txt")), "old copy");
  EXPECT_FALSE(Exists(this->Local(L"doc.txt.~brlk-part")));
}

TYPED_TEST(SideContract, ReadsAFileWholeAcrossChunks) {
  std::string content(kCopyBufferSize + 5, 'x');
  content.back() = 'e';
  ASSERT_TRUE(WriteTestFile(this->Local(L"large.bin"), content));
  EXPECT_TRUE(this->ReadThroughSide(this->At(L"large.bin")) == content);
  EXPECT_EQ(this->ReadThroughSide(this->At(L"missing.bin")), "(cannot open)");
}

TYPED_TEST(SideContract, DeletesFilesAndFoldersWithTheirContent) {
  ASSERT_TRUE(WriteTestFile(this->Local(L"file.txt"), "f"));
  ASSERT_TRUE(WriteTestFile(this->Local(L"tree\\deep\\leaf.txt"), "l"));
  ASSERT_TRUE(WriteTestFile(this->Local(L"tree\\top.txt"), "t"));
  EXPECT_TRUE(this->place.side().Delete(this->At(L"file.txt"), false));
  EXPECT_TRUE(this->place.side().Delete(this->At(L"tree"), true));
  EXPECT_FALSE(Exists(this->Local(L"file.txt")));
  EXPECT_FALSE(Exists(this->Local(L"tree")));
}

TYPED_TEST(SideContract, MovesAsideIntoNewFoldersButNeverOverAnEntry) {
  ASSERT_TRUE(WriteTestFile(this->Local(L"file.txt"), "f"));
  ASSERT_TRUE(WriteTestFile(this->Local(L"tree\\leaf.txt"), "l"));
  ASSERT_TRUE(WriteTestFile(this->Local(L"taken\\file.txt"), "an earlier version"));
  Side& side = this->place.side();
  auto below = [&](WideView folder, WideView name) { return side.Join(this->At(folder), WideString(name)); };
  EXPECT_EQ(side.MoveAside(this->At(L"file.txt"), below(L"taken", L"file.txt")), MoveOutcome::kPlaceTaken);
  EXPECT_EQ(side.MoveAside(this->At(L"tree"), this->At(L"taken")), MoveOutcome::kPlaceTaken);
  EXPECT_EQ(ReadTestFile(this->Local(L"taken\\file.txt")), "an earlier version");
  EXPECT_EQ(side.MoveAside(this->At(L"file.txt"), side.Join(below(L"new", L"deep"), L"file.txt")), MoveOutcome::kMoved);
  EXPECT_EQ(side.MoveAside(this->At(L"tree"), below(L"new", L"tree")), MoveOutcome::kMoved);
  EXPECT_EQ(ReadTestFile(this->Local(L"new\\deep\\file.txt")), "f");
  EXPECT_EQ(ReadTestFile(this->Local(L"new\\tree\\leaf.txt")), "l");
  EXPECT_FALSE(Exists(this->Local(L"file.txt")));
  EXPECT_FALSE(Exists(this->Local(L"tree")));
}

// The pass between two places of the given kinds.
template <typename SourcePlace, typename TargetPlace>
struct Direction {
  using Source = SourcePlace;
  using Target = TargetPlace;
};

template <typename Kinds>
class PassContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(source.Open(temp, L"source"));
    ASSERT_TRUE(target.Open(temp, L"target"));
  }

  // One pass from source to target, or the other way round, counted first as a run does.
  void Pass(uint32_t runFlags, bool reversed = false, ClashRule clashes = ClashRule::kReport) {
    Side& from = reversed ? target.side() : source.side();
    Side& to = reversed ? source.side() : target.side();
    const WideString& fromRoot = reversed ? target.root() : source.root();
    const WideString& toRoot = reversed ? source.root() : target.root();
    progress.ResetForJob();
    (void)RunCountingPass(from, fromRoot, 0, progress);
    PassContext context{from, to, fromRoot, toRoot, runFlags, 0, buffer.get()};
    context.clashes = clashes;
    context.versionsStamp = versionsStamp;
    RunTransferPass(context, progress, log);
  }
  WideString InSource(WideView name) { return text::Concat(source.local(), L"\\", name); }
  WideString InTarget(WideView name) { return text::Concat(target.local(), L"\\", name); }

  TempFolder temp;
  typename Kinds::Source source;
  typename Kinds::Target target;
  std::unique_ptr<unsigned char[]> buffer = std::make_unique<unsigned char[]>(kCopyBufferSize);
  RunProgress progress;
  ErrorLog log{temp / L"log.txt"};
  WideString versionsStamp;  // empty: nothing is kept
};

using Directions = ::testing::Types<Direction<LocalPlace, LocalPlace>, Direction<LocalPlace, FtpPlace>,
                                    Direction<FtpPlace, LocalPlace>, Direction<FtpPlace, FtpPlace>>;
TYPED_TEST_SUITE(PassContract, Directions);

TYPED_TEST(PassContract, CopiesATreeAndTheNextComparingPassFindsNothingToDo) {
  ASSERT_TRUE(WriteTestFile(this->InSource(L"a.txt"), FileContent("alpha", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(this->InSource(L"sub\\b.txt"), FileContent("beta", 0, kOld)));
  ASSERT_TRUE(MakeTestFolder(this->InSource(L"empty")));
  this->Pass(kRunCommon);
  EXPECT_EQ(this->progress.failureCount, 0u);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"a.txt")), "alpha");
  EXPECT_EQ(ReadTestFile(this->InTarget(L"sub\\b.txt")), "beta");
  EXPECT_TRUE(IsExistingFolder(this->InTarget(L"empty")));
  EXPECT_EQ(this->progress.progressPermille, 1000u);

  // Same size and the source's time: a comparing pass leaves the copy alone, whichever sides it joins.
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"a.txt"), FileContent("ALPHA", 0, kOld)));
  this->Pass(kRunUpdateMethod);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"a.txt")), "ALPHA");
  // A newer source is copied again.
  ASSERT_TRUE(WriteTestFile(this->InSource(L"a.txt"), FileContent("alpha 2", 0, MakeFileTime(2021, 1, 1, 12))));
  this->Pass(kRunUpdateMethod);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"a.txt")), "alpha 2");
  EXPECT_EQ(this->progress.failureCount, 0u);
}

TYPED_TEST(PassContract, TheDeletionPassRemovesWhatTheOtherSideLacksAndNothingElse) {
  ASSERT_TRUE(WriteTestFile(this->InSource(L"keep.txt"), "k"));
  ASSERT_TRUE(WriteTestFile(this->InSource(L"folder\\kept.txt"), "k"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"keep.txt"), "k"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"folder\\kept.txt"), "k"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"folder\\extra.txt"), "x"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"old\\deep\\file.txt"), "o"));
  // The deletion pass walks the destination against the source.
  this->Pass(kRunStrict, true);
  EXPECT_EQ(this->progress.failureCount, 0u);
  EXPECT_TRUE(Exists(this->InTarget(L"keep.txt")));
  EXPECT_TRUE(Exists(this->InTarget(L"folder\\kept.txt")));
  EXPECT_FALSE(Exists(this->InTarget(L"folder\\extra.txt")));
  EXPECT_FALSE(Exists(this->InTarget(L"old")));
  EXPECT_TRUE(Exists(this->InSource(L"keep.txt")));
}

TYPED_TEST(PassContract, DebrisOfAKilledRunIsRemovedFromTheTargetAndNeverCopiedOrDeletedInTheSource) {
  ASSERT_TRUE(WriteTestFile(this->InSource(L"doc.txt"), "doc"));
  ASSERT_TRUE(WriteTestFile(this->InSource(L"gone.txt.~brlk-part"), "in the side being read"));
  ASSERT_TRUE(WriteTestFile(this->InSource(L"sub\\old.txt.~BRLK-PART"), "in the side being read"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"doc.txt"), "old doc"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"doc.txt.~brlk-part"), "debris of a killed copy"));
  this->Pass(kRunCommon);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"doc.txt")), "doc");
  EXPECT_FALSE(Exists(this->InTarget(L"doc.txt.~brlk-part")));
  EXPECT_FALSE(Exists(this->InTarget(L"gone.txt.~brlk-part")));
  EXPECT_FALSE(Exists(this->InTarget(L"sub\\old.txt.~BRLK-PART")));
  EXPECT_EQ(ReadTestFile(this->InSource(L"gone.txt.~brlk-part")), "in the side being read");
  EXPECT_EQ(ReadTestFile(this->InSource(L"sub\\old.txt.~BRLK-PART")), "in the side being read");
  EXPECT_EQ(this->progress.totalItems, 3u);  // the debris was not counted
  EXPECT_EQ(this->progress.failureCount, 0u);
}

// Two names that differ only in case, made from the Linux side: a Windows folder holds one of them, a server
// that tells them apart holds both.
TYPED_TEST(PassContract, NamesThatDifferOnlyInCaseAreBothCopiedOnlyWhereBothFit) {
  std::string sourceFolder = UnixPathOf(this->source.local());
  if (sourceFolder.empty()) GTEST_SKIP() << "two such names can only be made from the Linux side of Wine";
  ASSERT_TRUE(WriteTestFile(this->InSource(L"Index.html"), FileContent("the long version", 0, kOld)));
  ASSERT_TRUE(WriteAsLinuxProgram(sourceFolder + "/index.html", "short"));
  bool folds = this->target.side().FoldsCase();
  for (uint32_t flags : {kRunCommon, kRunUpdateMethod}) {
    this->Pass(flags);
    EXPECT_EQ(this->progress.failureCount, folds ? 1u : 0u);
  }
  std::vector<SideEntry> copied;
  ASSERT_EQ(this->target.side().List(this->target.root(), copied, Leftovers::kLeave), ListOutcome::kListed);
  EXPECT_EQ(copied.size(), folds ? 1u : 2u);
  for (const SideEntry& entry : copied) {
    EXPECT_EQ(entry.size, entry.name == L"Index.html" ? 16u : 5u) << text::ToUtf8(entry.name);
  }
}

// A folder where the file goes: reported, with nothing renamed aside on a server; Strict replaces it.
TYPED_TEST(PassContract, AFolderWhereAFileGoesIsLeftAsItIsUnlessStrictReplacesIt) {
  ASSERT_TRUE(WriteTestFile(this->InSource(L"clash"), "a file"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"clash\\inner.txt"), "in the folder"));
  this->Pass(kRunUpdateMethod);
  EXPECT_EQ(this->progress.failureCount, 1u);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"clash\\inner.txt")), "in the folder");
  EXPECT_FALSE(Exists(this->InTarget(L"clash.~brlk-old")));
  EXPECT_FALSE(Exists(this->InTarget(L"clash.~brlk-part")));
  this->Pass(kRunCommon, false, ClashRule::kReplace);
  EXPECT_EQ(this->progress.failureCount, 0u);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"clash")), "a file");
}

// What a pass deletes or replaces moves to the run's folder under the versions folder of the side it changes;
// a file that is the same as its replacement is not kept; no pass touches either side's versions folder.
TYPED_TEST(PassContract, WhatIsDeletedOrReplacedIsKeptAndTheVersionsFoldersAreLeftAlone) {
  const FILETIME newer = MakeFileTime(2021, 1, 1, 12);
  ASSERT_TRUE(WriteTestFile(this->InSource(L"a.txt"), FileContent("new a", 0, newer)));
  ASSERT_TRUE(WriteTestFile(this->InSource(L"same.txt"), FileContent("same", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(this->InSource(L"Brimlark versions\\mine.txt"), "the source's own versions"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"a.txt"), FileContent("old a", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"same.txt"), FileContent("same", 0, kOld)));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"gone.txt"), "gone"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"old\\deep\\file.txt"), "old folder"));
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"Brimlark versions\\earlier\\v.txt"), "an earlier run's"));
  this->versionsStamp = L"2024-03-07 090503";
  const WideString run = L"Brimlark versions\\2024-03-07 090503\\";
  auto sourceVersions = TreeOf(this->InSource(L"Brimlark versions"));

  this->Pass(kRunCommon);  // copies every file, the same one too
  this->Pass(kRunStrict, true);
  EXPECT_EQ(this->progress.failureCount, 0u);
  auto target = TreeOf(this->target.local());
  EXPECT_EQ(target, (std::map<WideString, std::string>{
                        {L"a.txt", "new a"},
                        {L"same.txt", "same"},
                        {L"Brimlark versions", "<folder>"},
                        {L"Brimlark versions\\earlier", "<folder>"},
                        {L"Brimlark versions\\earlier\\v.txt", "an earlier run's"},
                        {L"Brimlark versions\\2024-03-07 090503", "<folder>"},
                        {run + L"a.txt", "old a"},
                        {run + L"gone.txt", "gone"},
                        {run + L"old", "<folder>"},
                        {run + L"old\\deep", "<folder>"},
                        {run + L"old\\deep\\file.txt", "old folder"},
                    }));

  // A second Strict and a Sync find nothing to do, and neither side's versions reach the other.
  this->Pass(kRunCommon);
  this->Pass(kRunStrict, true);
  this->Pass(kRunSync | kRunUpdateMethod);
  this->Pass(kRunSync | kRunUpdateMethod, true);
  EXPECT_EQ(this->progress.failureCount, 0u);
  EXPECT_EQ(TreeOf(this->target.local()), target);
  EXPECT_EQ(TreeOf(this->InSource(L"Brimlark versions")), sourceVersions);
  EXPECT_FALSE(Exists(this->InSource(L"gone.txt")));
  // A run of the same second that deletes the same path again keeps it beside the first one's.
  ASSERT_TRUE(WriteTestFile(this->InTarget(L"gone.txt"), "gone again"));
  this->Pass(kRunStrict, true);
  EXPECT_EQ(ReadTestFile(this->InTarget(L"Brimlark versions\\2024-03-07 090503 (2)\\gone.txt")), "gone again");
  EXPECT_EQ(ReadTestFile(this->InTarget(run + L"gone.txt")), "gone");
}

}  // namespace
