#include "run/PairChecks.h"

#include "base/FileSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(PairChecks, FullPathsAreDriveRootedOrNetworkPaths) {
  struct Case {
    const wchar_t* path;
    bool full;
  } cases[] = {
      {L"D:\\Backup", true},     {L"d:/backup", true},          {L"D:\\", true},
      {L"\\\\server\\share", true}, {L"\\\\server\\share\\x", true}, {L"\\\\?\\D:\\x", true},
      {L"D:", false},            {L"D:backup", false},          {L"backup", false},
      {L"\\backup", false},      {L"\\\\server", false},        {L"\\\\server\\", false},
      {L"\\\\\\share", false},   {L"", false},                  {L"1:\\x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsFullPath(c.path), c.full) << text::ToUtf8(c.path);
}

TEST(PairChecks, ControlCharactersAreFoundAndShownAsQuestionMarks) {
  WideString withZero = WideString(L"D:\\a") + L'\0' + L"b";
  EXPECT_TRUE(HasControlCharacter(withZero));
  EXPECT_TRUE(HasControlCharacter(L"D:\\a\tb"));
  EXPECT_FALSE(HasControlCharacter(L"D:\\a b\u00e9"));
  EXPECT_EQ(Printable(withZero), L"D:\\a?b");
  EXPECT_EQ(Printable(L"D:\\\x1f"), L"D:\\?");
}

TEST(PairChecks, LocalFoldersOverlapWhenOneHoldsTheOther) {
  TempFolder root;
  WideString data = root / L"data";
  ASSERT_TRUE(CreateFolder(data + L"\\src"));
  struct Case {
    WideString a, b;
    bool overlap;
  } cases[] = {
      {data, data, true},
      {data, data + L"\\src", true},
      {data + L"\\src", data, true},
      {data + L"\\src", data + L"\\SRC\\", true},
      {data + L"\\src", data + L"\\new\\..\\src", true},
      {data + L"\\src", data + L"\\src\\not\\there\\yet", true},
      {data + L"\\src", data + L"\\src-backup", false},
      {data + L"\\src-backup", data + L"\\src", false},
      {data + L"\\a", data + L"\\b", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocalFoldersOverlap(c.a, c.b), c.overlap) << text::ToUtf8(c.a) << " / " << text::ToUtf8(c.b);
  }
  // A drive root holds everything on the drive.
  EXPECT_TRUE(LocalFoldersOverlap(L"C:\\", L"C:\\Users"));
  EXPECT_FALSE(LocalFoldersOverlap(L"C:\\", L"D:\\"));
}

TEST(PairChecks, ShortNamesAreSpeltOutBeforeComparing) {
  TempFolder root;
  WideString folder = root / L"Long Folder Name";
  ASSERT_TRUE(MakeTestFolder(folder));
  wchar_t shortName[MAX_PATH];
  DWORD length = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || WideString(shortName) == folder) {
    GTEST_SKIP() << "the file system gives no short names";
  }
  EXPECT_TRUE(LocalFoldersOverlap(WideString(shortName) + L"\\backup", folder));
}

TEST(PairChecks, RemoteFoldersOverlapOnTheSameServerAndPort) {
  auto at = [](const wchar_t* server, const wchar_t* port, const wchar_t* directory) {
    return FtpLocation{server, directory, L"user", L"secret", port, L"2"};
  };
  EXPECT_TRUE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L"/data"), at(L"FTP.example", L"21", L"/data/backup/")));
  EXPECT_TRUE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L"data"), at(L"ftp.example", L"21", L"//data//")));
  EXPECT_TRUE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L"/"), at(L"ftp.example", L"21", L"/any")));
  EXPECT_TRUE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L""), at(L"ftp.example", L"21", L"/any")));
  EXPECT_FALSE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L"/data"), at(L"ftp.example", L"21", L"/data2")));
  EXPECT_FALSE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L"/data"), at(L"ftp.example", L"2121", L"/data")));
  EXPECT_FALSE(RemoteFoldersOverlap(at(L"ftp.example", L"21", L"/data"), at(L"other.example", L"21", L"/data")));
}

}  // namespace
