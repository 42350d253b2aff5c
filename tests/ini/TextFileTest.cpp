#include "ini/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace std::string_literals;

namespace {

TEST(TextFile, ReadDetectsEachByteOrderMark) {
  TempFolder root;
  struct Case {
    const char* bytes;
    size_t size;
    uint32_t expectedEncoding;
  } cases[] = {
      {"\xFF\xFE" "A\0\xE4\0", 6, TextFile::kUtf16Le},
      {"\xFE\xFF" "\0A\0\xE4", 6, TextFile::kUtf16Be},
      {"\xEF\xBB\xBF" "A\xC3\xA4", 6, TextFile::kUtf8Bom},
  };
  for (const auto& c : cases) {
    WideString path = root / L"marked.txt";
    ASSERT_TRUE(WriteTestFile(path, std::string(c.bytes, c.size)));
    TextFile file;
    // A caller's encoding flag is replaced by the mark found in the file.
    ASSERT_TRUE(file.Open(path, TextFile::kUtf8));
    EXPECT_EQ(file.flags() & TextFile::kEncodingFlags, c.expectedEncoding);
    WideString text;
    EXPECT_EQ(file.ReadAllText(text), 2u);
    EXPECT_EQ(text, L"A\u00e4");
  }
}

TEST(TextFile, WithoutMarkTheCallersEncodingOrAnsiApplies) {
  TempFolder root;
  WideString path = root / L"plain.txt";
  ASSERT_TRUE(WriteTestFile(path, std::string("Gr\xC3\xBC\x00tail", 9)));
  WideString text;
  {
    TextFile utf8;
    ASSERT_TRUE(utf8.Open(path, TextFile::kUtf8));
    EXPECT_EQ(utf8.ReadAllText(text), 8u);  // the zero byte is a character like any other
    EXPECT_EQ(text, WideString(L"Gr\u00fc\0tail", 8));
  }

  ASSERT_TRUE(WriteTestFile(path, "ansi text"));
  TextFile ansi;
  ASSERT_TRUE(ansi.Open(path, TextFile::kReadOnly));
  EXPECT_EQ(ansi.ReadAllText(text), 9u);
  EXPECT_EQ(text, L"ansi text");
}

TEST(TextFile, WithoutMarkZeroOddBytesMeanUtf16Le) {
  TempFolder root;
  WideString path = root / L"unmarked.txt";
  auto utf16 = [](WideView text) { return Utf16FileBytes(text).substr(2); };
  const std::string settings = utf16(L"[Settings]\r\nversion=1\r\n[Folders]\r\n0=E:\\src<|>D:\\dst\r\n");
  struct Case {
    const char* name;
    std::string bytes;
    bool utf16le;
  } cases[] = {
      {"one character", utf16(L"A"), true},
      {"settings", settings, true},
      {"settings with a zero character", settings + utf16(L"x\0y"s), true},
      {"non-Latin path", utf16(L"0=C:\\\u65e5\u672c\u8a9e\\\u30c7\u30fc\u30bf<|>D:\\b\r\n"), true},
      {"a long first line", std::string(600, 'a') + utf16(L"b"), false},  // only the head counts
      {"ANSI", "0=E:\\src<|>D:\\dst\r\n", false},
      {"UTF-8", "Gr\xC3\xBC\xC3\x9F" "e", false},
      {"one byte", "A", false},
      {"zero bytes only", std::string(64, '\0'), false},
      {"UTF-16BE", "\0[\0S\0]\0\r\0\n"s, false},
      {"binary", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0\0\0\x01\0\x08\x06\0\0\0\x1F\x15\xC4\x89"s, false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTestFile(path, c.bytes));
    TextFile file;
    ASSERT_TRUE(file.Open(path, TextFile::kReadOnly));
    EXPECT_EQ((file.flags() & TextFile::kEncodingFlags) == TextFile::kUtf16Le, c.utf16le) << c.name;
    EXPECT_EQ(file.Seek(0, FILE_CURRENT), 0) << c.name;  // there is no mark to skip
  }
  ASSERT_TRUE(WriteTestFile(path, settings));
  TextFile file;
  ASSERT_TRUE(file.Open(path, TextFile::kReadOnly));
  WideString text;
  EXPECT_EQ(file.ReadAllText(text), settings.size() / 2);
  EXPECT_EQ(text, L"[Settings]\r\nversion=1\r\n[Folders]\r\n0=E:\\src<|>D:\\dst\r\n");
}

TEST(TextFile, RawNeverLooksForAMark) {
  TempFolder root;
  WideString path = root / L"raw.bin";
  ASSERT_TRUE(WriteTestFile(path, "\xFF\xFE" "AB"));
  TextFile file;
  ASSERT_TRUE(file.Open(path, TextFile::kRaw));
  EXPECT_EQ(file.flags() & TextFile::kEncodingFlags, 0u);
  EXPECT_EQ(file.Seek(0, FILE_CURRENT), 0);
}

TEST(TextFile, CreateWritesTheMarkOfItsEncoding) {
  TempFolder root;
  struct Case {
    uint32_t encoding;
    std::string expected;
  } cases[] = {
      {TextFile::kUtf16Le, std::string("\xFF\xFE" "a\0\xE4\0", 6)},
      {TextFile::kUtf16Be, std::string("\xFE\xFF" "\0a\0\xE4", 6)},
      {TextFile::kUtf8Bom, "\xEF\xBB\xBF" "a\xC3\xA4"},
      {TextFile::kUtf8, "a\xC3\xA4"},
  };
  for (const auto& c : cases) {
    WideString path = root / L"new.txt";
    {
      TextFile file;
      ASSERT_TRUE(file.Open(path, TextFile::kCreate | c.encoding));
      EXPECT_GT(file.WriteText(L"a\u00e4"), 0u);
      EXPECT_EQ(file.WriteText(L""), 0u);
    }
    EXPECT_EQ(ReadTestFile(path), c.expected) << "encoding " << c.encoding;
  }
}

TEST(TextFile, AppendAddsAtTheEndAndKeepsTheFilesEncoding) {
  TempFolder root;
  WideString path = root / L"log.txt";
  {
    TextFile file;
    ASSERT_TRUE(file.Open(path, TextFile::kAppend | TextFile::kUtf16Le));
    EXPECT_EQ(file.WriteText(L"one"), 6u);
  }
  {
    // The file's own mark decides, whatever the caller asked for.
    TextFile file;
    ASSERT_TRUE(file.Open(path, TextFile::kAppend | TextFile::kUtf8));
    EXPECT_EQ(file.flags() & TextFile::kEncodingFlags, static_cast<uint32_t>(TextFile::kUtf16Le));
    EXPECT_EQ(file.WriteText(L"two"), 6u);
  }
  EXPECT_EQ(ReadTestFile(path), std::string("\xFF\xFEo\0n\0e\0t\0w\0o\0", 14));
}

TEST(TextFile, CreateFoldersMakesTheParentChain) {
  TempFolder root;
  WideString path = root / L"a\\b\\c\\file.txt";
  TextFile file;
  ASSERT_TRUE(file.Open(path, TextFile::kCreate | TextFile::kCreateFolders | TextFile::kRaw));
  EXPECT_TRUE(file.WriteBytes("x", 1));
  file.Close();
  EXPECT_EQ(ReadTestFile(path), "x");

  ASSERT_TRUE(WriteTestFile(root / L"blocker", "f"));
  TextFile blocked;
  EXPECT_FALSE(blocked.Open(root / L"blocker\\sub\\file.txt", TextFile::kCreate | TextFile::kCreateFolders));

  // A name without a folder of its own (relative to the current folder) creates no folder: its own name
  // would become one, and the file could not be made.
  wchar_t before[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, before), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(root.path().c_str()));
  TextFile relative;
  bool opened = relative.Open(L"job.brlk.tmp", TextFile::kCreate | TextFile::kCreateFolders | TextFile::kRaw);
  relative.Close();
  ASSERT_TRUE(SetCurrentDirectoryW(before));
  EXPECT_TRUE(opened);
  EXPECT_FALSE(AttributesOf(root / L"job.brlk.tmp") & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(TextFile, ExclusiveAndSharingRules) {
  TempFolder root;
  WideString path = root / L"shared.txt";
  ASSERT_TRUE(WriteTestFile(path, "data"));
  {
    TextFile reader;
    ASSERT_TRUE(reader.Open(path, TextFile::kReadOnly));
    TextFile secondReader;
    EXPECT_TRUE(secondReader.Open(path, TextFile::kReadOnly));  // readers share reading
  }
  {
    TextFile exclusive;
    ASSERT_TRUE(exclusive.Open(path, TextFile::kAppend | TextFile::kExclusive));
    TextFile other;
    EXPECT_FALSE(other.Open(path, TextFile::kReadOnly));
    EXPECT_EQ(other.lastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  TextFile missing;
  EXPECT_FALSE(missing.Open(root / L"missing.txt", TextFile::kReadOnly));
  EXPECT_EQ(missing.lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
