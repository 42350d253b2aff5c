#include "mainwnd/JobStatus.h"

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

}  // namespace
