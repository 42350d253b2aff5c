#include "ftp/FtpListing.h"

#include <gtest/gtest.h>

namespace {

SYSTEMTIME Time(const FILETIME& file) {
  SYSTEMTIME time{};
  FileTimeToSystemTime(&file, &time);
  return time;
}

TEST(MlsdLine, FactsThenOneBlankThenTheWholeName) {
  auto file = ParseMlsdLine("type=file;size=1234;modify=20240307090503.042;perm=r; my  file .txt ");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->name, L"my  file .txt ");  // leading, doubled and trailing blanks stay
  EXPECT_EQ(file->size, 1234u);
  EXPECT_FALSE(file->IsDirectory());
  SYSTEMTIME time = Time(file->lastWrite);
  EXPECT_EQ(time.wYear, 2024);
  EXPECT_EQ(time.wMonth, 3);
  EXPECT_EQ(time.wDay, 7);
  EXPECT_EQ(time.wHour, 9);
  EXPECT_EQ(time.wSecond, 3);
  EXPECT_EQ(time.wMilliseconds, 42);

  auto folder = ParseMlsdLine("Type=dir;Modify=20230101000000; backups");
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->IsDirectory());
  EXPECT_EQ(folder->name, L"backups");

  EXPECT_FALSE(ParseMlsdLine("type=cdir;modify=20230101000000; /home"));
  EXPECT_FALSE(ParseMlsdLine("type=pdir;modify=20230101000000; .."));
  EXPECT_FALSE(ParseMlsdLine("size=3;"));  // no name
  EXPECT_FALSE(ParseMlsdLine("garbage"));

  auto link = ParseMlsdLine("type=OS.unix=slink:/etc;size=4; etc-link");
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST(MlsdLine, NamesAreUtf8OrElseAnsi) {
  auto utf8 = ParseMlsdLine("type=file;size=1; Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC.txt");
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8->name, L"Gr\u00fc\u00dfe \u65e5\u672c.txt");
  auto latin = ParseMlsdLine("type=file;size=1; caf\xE9.txt");  // not valid UTF-8
  ASSERT_TRUE(latin);
  EXPECT_EQ(latin->name.size(), 8u);
  EXPECT_EQ(latin->name.substr(0, 3), L"caf");
}

TEST(ListingLines, TellHowFinelyTheyKnowTheTimeAndWhetherTheyGaveTheSize) {
  auto mlsd = ParseMlsdLine("type=file;size=5;modify=20240115093000; a.txt");
  ASSERT_TRUE(mlsd);
  EXPECT_EQ(mlsd->timePrecision, FtpFindRecord::kSecondPrecision);
  EXPECT_TRUE(mlsd->sizeKnown);
  auto noSize = ParseMlsdLine("type=file;modify=20240115093000; a.txt");
  ASSERT_TRUE(noSize);
  EXPECT_FALSE(noSize->sizeKnown);
  auto withTime = ParseListLine("-rw-r--r-- 1 owner group 5 Jan  5 09:00 a.txt", 2024, 6);
  ASSERT_TRUE(withTime);
  EXPECT_EQ(withTime->timePrecision, FtpFindRecord::kMinutePrecision);
  EXPECT_TRUE(withTime->sizeKnown);
  auto withYear = ParseListLine("-rw-r--r-- 1 owner group 5 Jan  5  2023 a.txt", 2024, 6);
  ASSERT_TRUE(withYear);
  EXPECT_EQ(withYear->timePrecision, FtpFindRecord::kDayPrecision);
  auto dos = ParseListLine("2024-01-15  21:05             1234 file.txt", 2024, 6);
  ASSERT_TRUE(dos);
  EXPECT_EQ(dos->timePrecision, FtpFindRecord::kMinutePrecision);
  EXPECT_TRUE(dos->sizeKnown);
}

TEST(ListLine, UnixFormat) {
  auto file = ParseListLine("-rw-r--r--   1 owner    group        5120 Mar  7  2023 report final.txt", 2024, 6);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->name, L"report final.txt");
  EXPECT_EQ(file->size, 5120u);
  EXPECT_EQ(Time(file->lastWrite).wYear, 2023);

  auto recent = ParseListLine("drwxr-xr-x 2 owner group 4096 Nov 30 12:34  two leading blanks", 2024, 3);
  ASSERT_TRUE(recent);
  EXPECT_TRUE(recent->IsDirectory());
  EXPECT_EQ(recent->name, L" two leading blanks");
  SYSTEMTIME time = Time(recent->lastWrite);
  EXPECT_EQ(time.wYear, 2023);  // November is after March: last year's
  EXPECT_EQ(time.wHour, 12);
  EXPECT_EQ(time.wMinute, 34);

  auto noGroup = ParseListLine("-rw-r--r-- 1 ftp 42 Jan  5 09:00 short", 2024, 6);
  ASSERT_TRUE(noGroup);
  EXPECT_EQ(noGroup->size, 42u);
  EXPECT_EQ(noGroup->name, L"short");

  auto link = ParseListLine("lrwxrwxrwx 1 owner group 11 Jan  5 09:00 latest -> backups/2024", 2024, 6);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->name, L"latest");
  EXPECT_TRUE(link->attributes & FILE_ATTRIBUTE_REPARSE_POINT);

  // An arrow inside the name of a file that is no link belongs to the name.
  auto arrow = ParseListLine("-rw-r--r-- 1 owner group 5 Jan  5 09:00 a -> b.txt", 2024, 6);
  ASSERT_TRUE(arrow);
  EXPECT_EQ(arrow->name, L"a -> b.txt");
  EXPECT_FALSE(arrow->attributes & FILE_ATTRIBUTE_REPARSE_POINT);

  auto large = ParseListLine("-rw-r--r-- 1 owner group 6442450944 Jan  5  2024 big.iso", 2024, 6);
  ASSERT_TRUE(large);
  EXPECT_EQ(large->size, 6442450944u);

  EXPECT_FALSE(ParseListLine("total 48", 2024, 6));
  EXPECT_FALSE(ParseListLine("drwxr-xr-x 2 owner group 4096 Jan  5 09:00 .", 2024, 6));
  EXPECT_FALSE(ParseListLine("drwxr-xr-x 2 owner group 4096 Jan  5 09:00 ..", 2024, 6));
  EXPECT_FALSE(ParseListLine("", 2024, 6));
}

TEST(ListLine, DosFormat) {
  auto folder = ParseListLine("01-15-24  09:05PM       <DIR>          folder name", 2024, 6);
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->IsDirectory());
  EXPECT_EQ(folder->name, L"folder name");
  SYSTEMTIME time = Time(folder->lastWrite);
  EXPECT_EQ(time.wYear, 2024);
  EXPECT_EQ(time.wHour, 21);

  auto file = ParseListLine("2023-12-31  00:15                 1234 data.bin", 2024, 6);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->size, 1234u);
  EXPECT_EQ(file->name, L"data.bin");
  EXPECT_EQ(Time(file->lastWrite).wMonth, 12);

  auto midnight = ParseListLine("03-01-99  12:00AM  7 old.txt", 2024, 6);
  ASSERT_TRUE(midnight);
  EXPECT_EQ(Time(midnight->lastWrite).wYear, 1999);
  EXPECT_EQ(Time(midnight->lastWrite).wHour, 0);

  EXPECT_FALSE(ParseListLine("12-34-56 not a listing", 2024, 6));
}

}  // namespace
