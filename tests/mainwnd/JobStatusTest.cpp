#include "mainwnd/JobStatus.h"

#include "run/RunFigures.h"

#include <gtest/gtest.h>

namespace {

TEST(JobStatus, NamesTheFileAndKeepsTheFullPathForTheTooltip) {
  JobStatus status = LoadedStatus(L"C:\\Jobs\\daily.brlk");
  EXPECT_EQ(status.text, L"Loaded: daily.brlk");
  EXPECT_EQ(status.tooltip, L"C:\\Jobs\\daily.brlk");
  EXPECT_EQ(StatusFileName(L"daily.brlk"), L"daily.brlk");
  EXPECT_EQ(StatusFileName(L"C:"), L"");
}

TEST(JobStatus, TheFailureReportCountsFilesAndFolderPairsApart) {
  const WideString tail = L"\r\nFor more information please see the error log.";
  EXPECT_EQ(FailureReport(0, 0), L"");
  EXPECT_EQ(FailureReport(1, 0), L"1 file could not be copied.\r\n" + tail);
  EXPECT_EQ(FailureReport(0, 1), L"1 folder pair could not be backed up.\r\n" + tail);
  EXPECT_EQ(FailureReport(3, 2), L"3 files could not be copied.\r\n2 folder pairs could not be backed up.\r\n" + tail);
}

TEST(JobStatus, FiguresReadAsAPersonWritesThem) {
  struct Size {
    uint64_t bytes;
    const wchar_t* text;
  };
  for (const Size& size : {Size{0, L"0 bytes"}, Size{1, L"1 byte"}, Size{1023, L"1023 bytes"}, Size{1536, L"1.5 KB"},
                           Size{10240, L"10 KB"}, Size{125829120, L"120 MB"}, Size{1288490188, L"1.2 GB"},
                           Size{uint64_t{5000} << 40, L"5,000 TB"}}) {
    EXPECT_EQ(SizeText(size.bytes), size.text) << size.bytes;
  }
  EXPECT_EQ(GroupedNumber(1234567), L"1,234,567");
  EXPECT_EQ(GroupedNumber(999), L"999");
  EXPECT_EQ(ShortDurationText(25), L"25 s");
  EXPECT_EQ(ShortDurationText(185), L"3 min");
  EXPECT_EQ(ShortDurationText(4800), L"1 h 20 min");
  EXPECT_EQ(ShortDurationText(7200), L"2 h");
}

TEST(JobStatus, ThePaceTellsTheTimeLeftOnlyOnceItIsSteady) {
  PassPace pace;
  pace.Start(0);
  pace.Add(250, 1, 0);
  EXPECT_FALSE(pace.BytesPerSecond().has_value() || pace.SecondsLeft().has_value());
  // 10 MB/s and 150 per mille in 2.75 s: three seconds in, 850 per mille to go take 15.6 s at that pace.
  for (uint64_t tick = 500; tick <= 3000; tick += 250) pace.Add(tick, 1 + (tick - 250) * 10000, static_cast<uint32_t>(tick / 20));
  EXPECT_EQ(pace.BytesPerSecond(), 10000000u);
  EXPECT_EQ(pace.SecondsLeft(), 16u);
  // The counters start at 1, and a tree that grew after it was counted shows no more done than there is.
  EXPECT_EQ(PassFiguresText(1235, 5001, 1 + (uint64_t{120} << 20), 1 + (uint64_t{1210} << 20), PassPace{}),
            L"1,234 of 5,000 items, 120 MB of 1.2 GB");
  EXPECT_EQ(PassFiguresText(9, 5, 1, 1, PassPace{}), L"4 of 4 items, 0 bytes of 0 bytes");
}

}  // namespace
