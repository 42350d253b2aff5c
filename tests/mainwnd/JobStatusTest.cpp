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

}  // namespace
