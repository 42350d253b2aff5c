#include "ini/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

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
  ASSERT_TRUE(WriteTestFile(path, std::string("Gr\xC3\xBC\x00tail", 8)));
  WideString text;
  {
    TextFile utf8;
    ASSERT_TRUE(utf8.Open(path, TextFile::kUtf8));
    EXPECT_EQ(utf8.ReadAllText(text), 3u);  // stops at the zero byte
    EXPECT_EQ(text, L"Gr\u00fc");
  }

  ASSERT_TRUE(WriteTestFile(path, "ansi text"));
  TextFile ansi;
  ASSERT_TRUE(ansi.Open(path, TextFile::kReadOnly));
  EXPECT_EQ(ansi.ReadAllText(text), 9u);
  EXPECT_EQ(text, L"ansi text");
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
