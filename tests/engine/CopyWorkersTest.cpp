// The copy of one file (in turn and overlapped) and the copy workers, on real local files.

#include "engine/CopyWorkers.h"
#include "engine/FileCopy.h"

#include "base/FileSystem.h"
#include "engine/LocalSide.h"
#include "engine/PartialCopy.h"
#include "engine/Messages.h"

#include "LocalSideWithReads.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace testing_support;

namespace {

std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 13 + (i >> 16));
  return bytes;
}

SideEntry EntryOf(const WideString& path) {
  LocalSide side;
  Probe probe = side.Look(path);
  SideEntry entry = probe.entry;
  entry.name = WideString(text::FileNamePart(path));
  return entry;
}

// A local side whose reads fail from a given read on, as a share that goes away in the middle of a file.
LocalSideWithReads FailingFromRead(int failingRead) {
  return LocalSideWithReads([failingRead](LocalSide& inner, void* buffer, size_t size, int number) {
    return number >= failingRead ? -1 : inner.Read(buffer, size);
  });
}

const CopyTexts kTexts{messages::kCouldNotOpenLocalForReading, messages::kCouldNotOpenLocalForWriting,
                       messages::kCouldNotReadLocal, messages::kCouldNotWriteLocal};

class CopyWorkersTest : public ::testing::Test {
 protected:
  std::vector<WideString> LogMessages() { return ReadLogMessages(log.path()); }

  TempFolder root;
  ErrorLog log{root / L"log.txt"};
  RunProgress progress;
  std::unique_ptr<unsigned char[]> buffer = std::make_unique<unsigned char[]>(kCopyBufferSize);
};

TEST_F(CopyWorkersTest, LargeAndSmallFilesArriveWhole) {
  LocalSide source, target;
  for (size_t size : {size_t{0}, size_t{5}, kCopyBufferSize + 1, size_t{kOverlappedCopyThreshold},
                      size_t{kOverlappedCopyThreshold} * 3 + 12345}) {
    SCOPED_TRACE(size);
    WideString from = root / text::Concat(L"from-", text::DecimalUnsigned(size));
    WideString to = root / text::Concat(L"to-", text::DecimalUnsigned(size));
    std::string bytes = Pattern(size, 'x');
    ASSERT_TRUE(WriteTestFile(from, bytes));
    uint64_t before = progress.bytesDone.load();
    EXPECT_TRUE(CopyOneFile(FileCopy{source, target, kTexts, {buffer.get(), kCopyBufferSize}, progress, log}, from, to,
                            EntryOf(from)));
    EXPECT_TRUE(ReadTestFile(to) == bytes);
    EXPECT_EQ(progress.bytesDone.load() - before, size);
  }
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(CopyWorkersTest, AReadThatFailsMidFileKeepsThePreviousCopyInBothWays) {
  // The third read fails: within the first chunks of a file copied in turn, and of one read ahead.
  for (size_t size : {kCopyBufferSize * 4, size_t{kOverlappedCopyThreshold} * 2}) {
    SCOPED_TRACE(size);
    WideString from = root / text::Concat(L"from-", text::DecimalUnsigned(size));
    WideString to = root / text::Concat(L"to-", text::DecimalUnsigned(size));
    ASSERT_TRUE(WriteTestFile(from, Pattern(size, 'y')));
    ASSERT_TRUE(WriteTestFile(to, "the previous copy"));
    LocalSideWithReads source = FailingFromRead(3);
    LocalSide target;
    (void)DeleteFileW(log.path().c_str());
    EXPECT_TRUE(CopyOneFile(FileCopy{source, target, kTexts, {buffer.get(), kCopyBufferSize}, progress, log}, from, to,
                            EntryOf(from)));
    EXPECT_EQ(ReadTestFile(to), "the previous copy");
    EXPECT_FALSE(IsExistingFile(to + WideString(kPartialCopySuffix)));
    EXPECT_EQ(LogMessages(), std::vector<WideString>{text::Concat(messages::kCouldNotReadLocal, from)});
  }
}

TEST_F(CopyWorkersTest, ACancelledLargeCopyLeavesNoPartialFile) {
  WideString from = root / L"big.bin";
  WideString to = root / L"copy.bin";
  ASSERT_TRUE(WriteTestFile(from, Pattern(kOverlappedCopyThreshold * 4, 'z')));
  progress.RequestCancel();
  LocalSide source, target;
  EXPECT_FALSE(CopyOneFile(FileCopy{source, target, kTexts, {buffer.get(), kCopyBufferSize}, progress, log}, from, to,
                           EntryOf(from)));
  EXPECT_FALSE(IsExistingFile(to));
  EXPECT_FALSE(IsExistingFile(to + WideString(kPartialCopySuffix)));
}

// Many files through four workers: all arrive, and never more than five buffers (four and the walk's).
TEST_F(CopyWorkersTest, FourWorkersCopyEverythingWithFiveBuffersAtMost) {
  LocalSide walkSource, walkTarget;
  std::atomic<int> sidesMade{0};
  SideMaker maker = [&]() -> std::unique_ptr<Side> {
    ++sidesMade;
    return std::make_unique<LocalSide>();
  };
  size_t peak = 0;
  {
    CopyWorkers workers(CopyWorkerSetup{4, maker, maker, kTexts, &walkSource, &walkTarget,
                                        CopyBuffer{buffer.get(), kCopyBufferSize}},
                        progress, log);
    for (int i = 0; i < 60; ++i) {
      WideString from = root / text::Concat(L"in\\f", text::DecimalUnsigned(i));
      ASSERT_TRUE(WriteTestFile(from, Pattern(static_cast<size_t>(i) * 1000, 'a')));
      ASSERT_TRUE(workers.Hand(from, root / text::Concat(L"out-f", text::DecimalUnsigned(i)), EntryOf(from)));
    }
    EXPECT_TRUE(workers.Finish());
    peak = workers.PeakBuffers();
  }
  for (int i = 0; i < 60; ++i) {
    EXPECT_EQ(ReadTestFile(root / text::Concat(L"out-f", text::DecimalUnsigned(i))),
              Pattern(static_cast<size_t>(i) * 1000, 'a'));
  }
  EXPECT_LE(peak, 5u);
  EXPECT_GE(peak, 2u) << "no worker copied";
  EXPECT_LE(sidesMade.load(), 8);
  EXPECT_TRUE(LogMessages().empty());
}

// A server that takes no more connections: every worker retires, and the walk copies on its own sides.
TEST_F(CopyWorkersTest, WhenNoWorkerCanConnectTheWalkCopiesItself) {
  LocalSide walkSource, walkTarget;
  SideMaker refused = []() -> std::unique_ptr<Side> { return nullptr; };
  {
    CopyWorkers workers(CopyWorkerSetup{4, refused, refused, kTexts, &walkSource, &walkTarget,
                                        CopyBuffer{buffer.get(), kCopyBufferSize}},
                        progress, log);
    for (int i = 0; i < 20; ++i) {
      WideString from = root / text::Concat(L"in\\f", text::DecimalUnsigned(i));
      ASSERT_TRUE(WriteTestFile(from, Pattern(100 + static_cast<size_t>(i), 'b')));
      ASSERT_TRUE(workers.Hand(from, root / text::Concat(L"out-f", text::DecimalUnsigned(i)), EntryOf(from)));
    }
    EXPECT_TRUE(workers.Finish());
    EXPECT_EQ(workers.PeakBuffers(), 1u);
  }
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(ReadTestFile(root / text::Concat(L"out-f", text::DecimalUnsigned(i))), Pattern(100 + static_cast<size_t>(i), 'b'));
  }
  EXPECT_TRUE(LogMessages().empty());
}

}  // namespace
