#include "engine/ErrorLog.h"

#include "engine/Messages.h"
#include "ini/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

SYSTEMTIME At(int day, int hour, int minute, int second, int millisecond) {
  SYSTEMTIME time{};
  time.wYear = 2024;
  time.wMonth = 3;
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  time.wMilliseconds = static_cast<WORD>(millisecond);
  return time;
}

class ErrorLogTest : public ::testing::Test {
 protected:
  // Reads a value the way any INI reader would: through the system's profile functions.
  WideString Profile(WideView section, WideView key) {
    wchar_t buffer[1024];
    GetPrivateProfileStringW(WideString(section).c_str(), WideString(key).c_str(), L"<none>", buffer, 1024,
                             path.c_str());
    return buffer;
  }

  TempFolder root;
  WideString path = root / L"Brimlark_ErrorLog.txt";
  ErrorLog log{path};
};

TEST_F(ErrorLogTest, FirstEntryCreatesAUtf16FileWithOneSectionAndKey) {
  ASSERT_TRUE(log.LogAt(At(7, 9, 5, 3, 42), L"Could not read local file: C:\\x"));
  std::string bytes = ReadTestFile(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  IniFile ini(path);
  std::vector<WideString> nonEmpty;
  for (const auto& line : ini.lines()) {
    if (!line.empty()) nonEmpty.push_back(line);
  }
  EXPECT_EQ(nonEmpty, (std::vector<WideString>{L"[2024/03/07]", L"09:05:03:042=Could not read local file: C:\\x"}));
}

TEST_F(ErrorLogTest, EntriesGoIntoTheSectionOfTheirDay) {
  ASSERT_TRUE(log.LogAt(At(7, 23, 59, 59, 999), L"late"));
  ASSERT_TRUE(log.LogAt(At(8, 0, 0, 0, 1), L"early"));
  ASSERT_TRUE(log.LogAt(At(8, 0, 0, 1, 0), L"second"));
  EXPECT_EQ(Profile(L"2024/03/07", L"23:59:59:999"), L"late");
  EXPECT_EQ(Profile(L"2024/03/08", L"00:00:00:001"), L"early");
  EXPECT_EQ(Profile(L"2024/03/08", L"00:00:01:000"), L"second");
}

TEST_F(ErrorLogTest, MessageIsThePiecesJoinedAndEmptyWritesNothing) {
  EXPECT_FALSE(log.Log(L""));
  EXPECT_FALSE(log.Log({}, {}, {}, {}));
  EXPECT_FALSE(Exists(path));
  ASSERT_TRUE(log.Log(messages::kCouldNotConnect, L"backupsrv", messages::kAtPort, L"21"));
  IniFile ini(path);
  auto range = ini.SectionRange(ini.lines()[0].substr(1, 10));
  ASSERT_TRUE(range);
  WideString key, value;
  ASSERT_TRUE(ini.GetKeyValueAt(ini.NextKeyLine(range->firstBody, range->end), key, value));
  EXPECT_EQ(value, L"Could not connect to  backupsrv at port 21");
  EXPECT_EQ(key.size(), 12u);
}

TEST_F(ErrorLogTest, NonAnsiPathIsLoggedIntact) {
  WideString message = WideString(messages::kCouldNotOpenLocalForReading) + L"C:\\\u65e5\u672c\\\u0444\u0430\u0439\u043b.txt";
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 0), message));
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:000"), message);
}

TEST_F(ErrorLogTest, EntriesOfTheSameMillisecondAreAllKept) {
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 5), L"first"));
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 5), L"second"));
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 5), L"third"));
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:005"), L"first");
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:005.1"), L"second");
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:005.2"), L"third");

  // Another writer (another process, or a second log object) meets the same key too.
  ErrorLog other(path);
  ASSERT_TRUE(other.LogAt(At(7, 10, 0, 0, 5), L"fourth"));
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:005.3"), L"fourth");
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 5), L"fifth"));
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:005.4"), L"fifth");
}

TEST_F(ErrorLogTest, ManyEntriesStayAValidIniFile) {
  ErrorLog other(path);
  for (int i = 0; i < 3000; ++i) {
    SYSTEMTIME time = At(7 + i / 1000, 11, (i / 60) % 60, i % 60, i % 7);
    ErrorLog& writer = i % 500 == 250 ? other : log;  // now and then somebody else writes in between
    ASSERT_TRUE(writer.LogAt(time, L"entry " + text::Decimal(i)));
  }
  IniFile ini(path);
  size_t entries = 0;
  for (const wchar_t* day : {L"2024/03/07", L"2024/03/08", L"2024/03/09"}) {
    auto range = ini.SectionRange(day);
    ASSERT_TRUE(range) << text::ToUtf8(day);
    for (size_t n = ini.NextKeyLine(range->firstBody, range->end); n; n = ini.NextKeyLine(n, range->end)) ++entries;
  }
  EXPECT_EQ(entries, 3000u);
  EXPECT_EQ(Profile(L"2024/03/07", L"11:00:00:000"), L"entry 0");
  EXPECT_EQ(Profile(L"2024/03/09", L"11:49:59:003"), L"entry 2999");
}

TEST_F(ErrorLogTest, ClearingThenLoggingStartsAFreshFile) {
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 0), L"old"));
  ASSERT_TRUE(log.Clear());
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(log.Clear());  // nothing to clear is fine
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 0), L"new"));
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:000"), L"new");
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:000.1"), L"<none>");
}

TEST_F(ErrorLogTest, LineBreaksInAMessageCannotSplitTheEntry) {
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 0), L"Could not read FTP file: /odd\r\n[name]"));
  ASSERT_TRUE(log.LogAt(At(7, 10, 0, 0, 1), L"next"));
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:000"), L"Could not read FTP file: /odd  [name]");
  EXPECT_EQ(Profile(L"2024/03/07", L"10:00:00:001"), L"next");
}

TEST_F(ErrorLogTest, UnwritableLogFailsQuietly) {
  ASSERT_TRUE(MakeTestFolder(path));  // a folder where the file must be
  EXPECT_FALSE(log.LogAt(At(7, 10, 0, 0, 0), L"lost"));
}

}  // namespace
