// The logon task through the real Task Scheduler of the system (Wine's taskschd under test).

#include "schedule/LogonTask.h"

#include <gtest/gtest.h>

namespace {

WideString Request(WideView program) {
  return text::Concat(kLogonTaskName, kLogonTaskSeparator, L"Monitors the scheduled backups", kLogonTaskSeparator,
                      program, kLogonTaskSeparator, L" /ScheduledBackups", kLogonTaskSeparator, L"2026-03-04",
                      kLogonTaskSeparator, L"05:06:07");
}

// Registers, or skips the test when the system's Task Scheduler does not implement a call it needs.
#define REGISTER_OR_SKIP(request)                                                                              \
  do {                                                                                                         \
    if (!RegisterLogonTask(request)) {                                                                         \
      LogonTaskFailure failure = LastLogonTaskFailure();                                                       \
      if (failure.result == E_NOTIMPL || failure.result == REGDB_E_CLASSNOTREG) {                              \
        GTEST_SKIP() << "the Task Scheduler lacks " << text::ToUtf8(failure.step) << " (0x" << std::hex        \
                     << static_cast<unsigned long>(failure.result) << ")";                                     \
      }                                                                                                        \
      FAIL() << "registration failed at " << text::ToUtf8(failure.step) << " with 0x" << std::hex              \
             << static_cast<unsigned long>(failure.result);                                                   \
    }                                                                                                          \
  } while (false)

class LogonTaskTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(DeleteLogonTask()); }
  void TearDown() override { (void)DeleteLogonTask(); }
};

TEST(LogonTaskRequest, SplitsIntoExactlySixParts) {
  auto parts = SplitLogonTaskRequest(Request(L"C:\\Tools\\app.exe"));
  ASSERT_TRUE(parts);
  ASSERT_EQ(parts->size(), 6u);
  EXPECT_EQ((*parts)[0], L"Brimlark Backup Monitoring");
  EXPECT_EQ((*parts)[2], L"C:\\Tools\\app.exe");
  EXPECT_EQ((*parts)[3], L" /ScheduledBackups");
  EXPECT_EQ((*parts)[5], L"05:06:07");
  EXPECT_FALSE(SplitLogonTaskRequest(L"a  |  b  |  c  |  d  |  e"));
  EXPECT_FALSE(SplitLogonTaskRequest(L"a  |  b  |  c  |  d  |  e  |  f  |  g"));
  EXPECT_FALSE(SplitLogonTaskRequest(L"a | b | c | d | e | f"));
  EXPECT_FALSE(SplitLogonTaskRequest(L""));
}

TEST(LogonTaskRequest, WorkingFolderIsTheProgramsFolder) {
  struct Case {
    const wchar_t* program;
    const wchar_t* folder;
  } cases[] = {
      {L"C:\\Tools\\app.exe", L"C:\\Tools"},
      {L"C:\\Tools\\Sub\\app.exe\\\\", L"C:\\Tools\\Sub"},
      {L"C:\\app.exe", L"C:\\app.exe"},  // the root's backslash is within the first three characters
      {L"app.exe", L"app.exe"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(LogonTaskWorkingFolder(c.program), c.folder) << text::ToUtf8(c.program);
}

TEST_F(LogonTaskTest, NoTaskMeansNoProgramAndDeleteSucceeds) {
  EXPECT_FALSE(RegisteredMonitorProgram());
  EXPECT_TRUE(DeleteLogonTask());
  EXPECT_TRUE(DeleteLogonTask());
}

TEST_F(LogonTaskTest, MalformedRequestFailsBeforeTheScheduler) {
  EXPECT_FALSE(RegisterLogonTask(L"a  |  b  |  c  |  d  |  e"));
  EXPECT_EQ(WideString(LastLogonTaskFailure().step), L"request");
  EXPECT_FALSE(RegisteredMonitorProgram());
}

TEST_F(LogonTaskTest, RegisteredProgramIsThePathUntilDeleted) {
  EXPECT_FALSE(RegisteredMonitorProgram());
  REGISTER_OR_SKIP(Request(L"C:\\Program Files\\Brimlark\\Brimlark.exe"));
  auto program = RegisteredMonitorProgram();
  ASSERT_TRUE(program) << text::ToUtf8(LastLogonTaskFailure().step);
  EXPECT_EQ(*program, L"C:\\Program Files\\Brimlark\\Brimlark.exe");

  EXPECT_TRUE(DeleteLogonTask());
  EXPECT_FALSE(RegisteredMonitorProgram());
  EXPECT_TRUE(DeleteLogonTask()) << "deleting when no task exists succeeds";
}

TEST_F(LogonTaskTest, RegisteringAgainReplacesTheTask) {
  REGISTER_OR_SKIP(Request(L"C:\\Old\\Brimlark.exe"));
  REGISTER_OR_SKIP(Request(L"C:\\New\\Brimlark.exe"));
  auto program = RegisteredMonitorProgram();
  ASSERT_TRUE(program);
  EXPECT_EQ(*program, L"C:\\New\\Brimlark.exe");
  EXPECT_TRUE(DeleteLogonTask());
  EXPECT_FALSE(RegisteredMonitorProgram()) << "one task of the name, gone with one delete";
}

TEST_F(LogonTaskTest, MalformedRequestLeavesTheSchedulerAlone) {
  REGISTER_OR_SKIP(Request(L"C:\\Kept\\Brimlark.exe"));
  WideString fiveParts = text::Concat(kLogonTaskName, kLogonTaskSeparator, L"description", kLogonTaskSeparator,
                                      L"C:\\Other\\Brimlark.exe", kLogonTaskSeparator, L" /ScheduledBackups",
                                      kLogonTaskSeparator, L"2026-03-04");
  EXPECT_FALSE(RegisterLogonTask(fiveParts));
  EXPECT_EQ(WideString(LastLogonTaskFailure().step), L"request");
  // Registration deletes the old task first: had it got that far, the kept task would be gone.
  auto program = RegisteredMonitorProgram();
  ASSERT_TRUE(program);
  EXPECT_EQ(*program, L"C:\\Kept\\Brimlark.exe");
}

}  // namespace
