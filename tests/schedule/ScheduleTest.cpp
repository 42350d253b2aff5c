#include "schedule/Schedule.h"

#include "base/TimeStamp.h"
#include "jobs/SecretText.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class ScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteTestFile(settingsFile, "[Settings]\r\n")); }

  Schedule Make(uint64_t start, uint64_t interval, uint64_t lastRun) {
    return Schedule{L"Nightly", start, interval, L"2", settingsFile, lastRun};
  }

  TempFolder root;
  WideString settingsFile = root / L"nightly.brlk";
  static constexpr uint64_t kStart = 13'350'000'000ull;
};

TEST_F(ScheduleTest, DueRule) {
  EXPECT_TRUE(Make(kStart, 0, 0).IsDue(kStart));              // first run at start
  EXPECT_FALSE(Make(kStart, 0, 0).IsDue(kStart - 1));         // start in the future, never run
  EXPECT_FALSE(Make(kStart, 0, kStart).IsDue(kStart + 10 * kSecondsPerDay));  // runs once only
  uint64_t lastRun = kStart + 100;
  EXPECT_FALSE(Make(kStart, kSecondsPerDay, lastRun).IsDue(lastRun + 86'399));
  EXPECT_TRUE(Make(kStart, kSecondsPerDay, lastRun).IsDue(lastRun + 86'400));
  // Three days switched off: one run at the next check, anchored to that check.
  EXPECT_TRUE(Make(kStart, kSecondsPerDay, lastRun).IsDue(lastRun + 3 * kSecondsPerDay + 5));
  // A last run written while the clock was ahead: more than one interval ahead counts as due, so that a
  // clock put right does not stop the backups until it catches up; within one interval it waits.
  uint64_t ahead = kStart + 10 * kSecondsPerDay;
  EXPECT_TRUE(Make(kStart, kSecondsPerDay, ahead).IsDue(ahead - kSecondsPerDay - 1));
  EXPECT_TRUE(Make(kStart, kSecondsPerDay, ahead + 365 * kSecondsPerDay).IsDue(ahead));
  EXPECT_FALSE(Make(kStart, kSecondsPerDay, ahead).IsDue(ahead - kSecondsPerDay));
  EXPECT_FALSE(Make(kStart, kSecondsPerDay, ahead).IsDue(ahead - 60));
  EXPECT_FALSE(Make(kStart, 0, ahead).IsDue(kStart + 1)) << "a one-time schedule ran";
  // A huge interval does not wrap around into "due".
  EXPECT_FALSE(Make(kStart, UINT64_MAX - 5, lastRun).IsDue(lastRun + 10));
  Schedule missingFile = Make(kStart, 0, 0);
  missingFile.settingsFile = root / L"gone.brlk";
  EXPECT_FALSE(missingFile.IsDue(kStart));
}

TEST_F(ScheduleTest, MarkRunAfterDaysOffRecordsTheCheckTime) {
  IniFile appIni;
  appIni.Load(root / L"Brimlark.ini");
  Schedule daily = Make(kStart, kSecondsPerDay, kStart);
  ASSERT_TRUE(WriteSchedule(appIni, daily, true));
  uint64_t check = kStart + 3 * kSecondsPerDay + 42;
  ASSERT_TRUE(daily.IsDue(check));
  ASSERT_TRUE(MarkScheduleRun(appIni, daily, check));
  auto reread = FindSchedule(IniFile(root / L"Brimlark.ini"), L"Nightly");
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->lastRun, check);
  EXPECT_FALSE(reread->IsDue(check + kSecondsPerDay - 1));
  EXPECT_TRUE(reread->IsDue(check + kSecondsPerDay));
}

TEST_F(ScheduleTest, TextFormHasFourOrFiveFields) {
  Schedule schedule = Make(kStart, 604800, 99);
  EXPECT_EQ(schedule.Text(false), L"13350000000\n604800\n2\n" + settingsFile);
  EXPECT_EQ(schedule.Text(true), L"13350000000\n604800\n2\n" + settingsFile + L"\n99");
  auto four = Schedule::FromText(L"n", schedule.Text(false));
  ASSERT_TRUE(four);
  EXPECT_EQ(four->lastRun, 0u);
  EXPECT_EQ(four->settingsFile, settingsFile);
  EXPECT_FALSE(Schedule::FromText(L"n", L"1\n2\n3"));
}

TEST_F(ScheduleTest, ModeAndIntervalTexts) {
  EXPECT_EQ(ModeText(L"1"), L"Passive");
  EXPECT_EQ(ModeText(L"2"), L"Quiet");
  EXPECT_EQ(ModeText(L"2 "), L"Normal");
  EXPECT_EQ(ModeText(L"x"), L"Normal");
  EXPECT_EQ(ModeText(L"0"), L"Normal");
  EXPECT_EQ(IntervalText(604800), L"Every 7 days");
  EXPECT_EQ(IntervalText(86400), L"Every 1 days");
  EXPECT_EQ(IntervalText(0), L"Disabled");
}

TEST_F(ScheduleTest, RowRendering) {
  SYSTEMTIME start{};
  start.wYear = 2024;
  start.wMonth = 3;
  start.wDay = 5;
  start.wHour = 7;
  start.wMinute = 4;
  start.wSecond = 9;
  Schedule schedule{L"n", SecondsSince1601(start), 604800, L"1", L"C:\\Jobs\\weekly.brlk", 0};
  auto row = RenderScheduleRow(schedule.Text(false));
  ASSERT_TRUE(row);
  EXPECT_EQ((*row)[0], L"2024/03/05 07:04:09");
  EXPECT_EQ((*row)[1], L"Every 7 days");
  EXPECT_EQ((*row)[2], L"Passive");
  EXPECT_EQ((*row)[3], L"C:\\Jobs\\weekly.brlk");
  EXPECT_FALSE(RenderScheduleRow(L"1\n2\n3"));
}

TEST_F(ScheduleTest, StoredEncipheredAndFoundByName) {
  IniFile appIni;
  appIni.Load(root / L"Brimlark.ini");
  ASSERT_TRUE(WriteSchedule(appIni, Make(kStart, 0, 0), false));
  EXPECT_TRUE(ScheduleExists(appIni, L"Nightly"));
  EXPECT_FALSE(ScheduleExists(appIni, L"nightly"));  // names are compared exactly through the cipher
  std::string file = ReadTestFile(root / L"Brimlark.ini");
  // Neither the name nor the path shows in the file.
  std::wstring wide(reinterpret_cast<const wchar_t*>(file.data() + 2), (file.size() - 2) / 2);
  EXPECT_EQ(wide.find(L"Nightly"), std::wstring::npos);
  EXPECT_EQ(wide.find(L"nightly.brlk"), std::wstring::npos);
  EXPECT_NE(wide.find(L"[Scheduled backups]"), std::wstring::npos);

  auto found = FindSchedule(appIni, L"Nightly");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->start, kStart);
  EXPECT_EQ(found->mode, L"2");
}

TEST_F(ScheduleTest, RenameDeleteAndEnumerateSkippingBadEntries) {
  IniFile appIni;
  appIni.Load(root / L"Brimlark.ini");
  ASSERT_TRUE(WriteSchedule(appIni, Make(kStart, 0, 0), false));
  Schedule weekly = Make(kStart + 1, 604800, 0);
  weekly.name = L"Weekly";
  ASSERT_TRUE(WriteSchedule(appIni, weekly, false));
  // Entries that do not decipher, or decipher into too few parts, are skipped.
  appIni.SetString(kScheduleSection, L"NOTHEX-NOTHEX-NOTHEX", L"0011223344556677");
  appIni.SetString(kScheduleSection, secret_text::Encipher(L"Short").value(),
                   secret_text::Encipher(L"1\n2").value());
  // A value with a "0x" prefix deciphers as well.
  appIni.SetString(kScheduleSection, secret_text::Encipher(L"Prefixed").value(),
                   L"0x" + secret_text::Encipher(Make(5, 0, 0).Text(false)).value());

  Schedule renamed = Make(kStart, 86400, 0);
  renamed.name = L"Daily";
  ASSERT_TRUE(RenameSchedule(appIni, L"Nightly", renamed));
  EXPECT_FALSE(ScheduleExists(appIni, L"Nightly"));

  std::vector<Schedule> all = EnumerateSchedules(IniFile(root / L"Brimlark.ini"));
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].name, L"Weekly");
  EXPECT_EQ(all[1].name, L"Prefixed");
  EXPECT_EQ(all[1].start, 5u);
  EXPECT_EQ(all[2].name, L"Daily");
  EXPECT_EQ(all[2].interval, 86400u);

  ASSERT_TRUE(DeleteSchedule(appIni, L"Weekly"));
  EXPECT_EQ(EnumerateSchedules(appIni).size(), 2u);
}

TEST(TimeStamp, FixedWidthsWithTruncation) {
  SYSTEMTIME time{};
  time.wYear = 987;
  time.wMonth = 3;
  time.wDay = 7;
  time.wHour = 9;
  time.wMinute = 5;
  time.wSecond = 3;
  time.wMilliseconds = 42;
  EXPECT_EQ(FormatTimeStamp(time, true), L"0987/03/07 09:05:03:042");
  EXPECT_EQ(FormatTimeStamp(time, false), L"0987/03/07 09:05:03");
  time.wYear = 12345;
  time.wMonth = 123;
  time.wMilliseconds = 1234;
  EXPECT_EQ(FormatTimeStamp(time, true), L"2345/23/07 09:05:03:234");
  SYSTEMTIME back = TimeFromSecondsSince1601(SecondsSince1601(SYSTEMTIME{2024, 3, 0, 5, 7, 4, 9, 999}));
  EXPECT_EQ(back.wYear, 2024);
  EXPECT_EQ(back.wSecond, 9);
  EXPECT_EQ(back.wMilliseconds, 0);  // fractions are dropped
}

}  // namespace
