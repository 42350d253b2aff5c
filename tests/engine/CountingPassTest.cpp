#include "engine/LocalSide.h"
#include "engine/TransferPass.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class CountingPassTest : public ::testing::Test {
 protected:
  bool Count(uint32_t skipAttributes = 0) { return RunCountingPass(side, source, skipAttributes, state); }

  TempFolder root;
  WideString source = root / L"source";
  LocalSide side;
  RunProgress state;
};

TEST_F(CountingPassTest, EmptyFolderCountsOneAndOne) {
  ASSERT_TRUE(MakeTestFolder(source));
  EXPECT_TRUE(Count());
  EXPECT_EQ(state.totalItems, 1u);
  EXPECT_EQ(state.totalBytes, 1u);
}

TEST_F(CountingPassTest, FilesAndFoldersAreCountedFromOne) {
  ASSERT_TRUE(WriteTestFile(source + L"\\a", std::string(10, 'a')));
  ASSERT_TRUE(WriteTestFile(source + L"\\b", std::string(20, 'b')));
  ASSERT_TRUE(WriteTestFile(source + L"\\c", std::string(30, 'c')));
  ASSERT_TRUE(MakeTestFolder(source + L"\\empty"));
  state.totalItems = 77;  // left over from an earlier job
  EXPECT_TRUE(Count());
  EXPECT_EQ(state.totalItems, 5u);
  EXPECT_EQ(state.totalBytes, 61u);
}

TEST_F(CountingPassTest, SkipMaskAppliesToFilesOnly) {
  ASSERT_TRUE(WriteTestFile(source + L"\\hidden.txt", FileContent(std::string(100, 'h'), FILE_ATTRIBUTE_HIDDEN)));
  ASSERT_TRUE(WriteTestFile(source + L"\\system.sys", FileContent(std::string(1000, 's'), FILE_ATTRIBUTE_SYSTEM)));
  ASSERT_TRUE(WriteTestFile(source + L"\\plain.txt", std::string(7, 'p')));
  ASSERT_TRUE(WriteTestFile(source + L"\\secret\\inside.txt", std::string(5, 'i')));
  ASSERT_TRUE(SetFileAttributesW((source + L"\\secret").c_str(), FILE_ATTRIBUTE_HIDDEN));

  EXPECT_TRUE(Count(2));  // hidden: the hidden file goes, the hidden folder and its file stay
  EXPECT_EQ(state.totalItems, 1u + 4u);
  EXPECT_EQ(state.totalBytes, 1u + 1000u + 7u + 5u);

  EXPECT_TRUE(Count(6));
  EXPECT_EQ(state.totalItems, 1u + 3u);
  EXPECT_EQ(state.totalBytes, 1u + 7u + 5u);

  EXPECT_TRUE(Count(0));
  EXPECT_EQ(state.totalItems, 1u + 5u);
  EXPECT_EQ(state.totalBytes, 1u + 100u + 1000u + 7u + 5u);
}

TEST_F(CountingPassTest, MissingSourceCountsAsEmpty) {
  EXPECT_TRUE(Count());
  EXPECT_EQ(state.totalItems, 1u);
  EXPECT_EQ(state.totalBytes, 1u);
}

TEST_F(CountingPassTest, UnreadableSubfolderCountsAsOneEntry) {
  ASSERT_TRUE(WriteTestFile(source + L"\\locked\\a.txt", std::string(50, 'a')));
  ASSERT_TRUE(WriteTestFile(source + L"\\b.txt", std::string(3, 'b')));
  // A folder held open without sharing cannot be listed by anyone else.
  UniqueHandle held(CreateFileW((source + L"\\locked").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(held.valid());
  WIN32_FIND_DATAW probe;
  HANDLE listing = FindFirstFileW((source + L"\\locked\\*").c_str(), &probe);
  if (listing != INVALID_HANDLE_VALUE) {
    FindClose(listing);
    GTEST_SKIP() << "this system lists a folder that another handle holds without sharing";
  }
  EXPECT_TRUE(Count());
  EXPECT_EQ(state.totalItems, 1u + 2u);
  EXPECT_EQ(state.totalBytes, 1u + 3u);
}

TEST_F(CountingPassTest, CancellationStopsAfterTheEntryInHand) {
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(WriteTestFile(source + L"\\f" + text::Decimal(i), "x"));
  state.RequestCancel();
  EXPECT_FALSE(Count());
  EXPECT_EQ(state.totalItems, 2u);
  EXPECT_EQ(state.totalBytes, 2u);
}

TEST_F(CountingPassTest, RunResetsKeepTheirPromises) {
  state.totalItems = 9;
  state.failureCount = 3;
  state.RequestCancel();
  state.ResetForJob();
  EXPECT_EQ(state.totalItems, 1u);
  EXPECT_EQ(state.failureCount, 0u);
  EXPECT_TRUE(state.CancelRequested());  // a job reset leaves the cancel request
  state.pause.Pause();
  state.ResetForRun();
  EXPECT_FALSE(state.CancelRequested());
  EXPECT_FALSE(state.pause.IsPaused());
}

}  // namespace
