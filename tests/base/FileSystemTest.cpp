#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "base/Regex.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace testing_support;

namespace {

TEST(LongPathForm, OnlyDrivePathsGetThePrefix) {
  EXPECT_EQ(LongPathForm(L"C:\\Data"), L"\\\\?\\C:\\Data");
  EXPECT_EQ(LongPathForm(L"d:x"), L"\\\\?\\d:x");
  EXPECT_EQ(LongPathForm(L"\\\\server\\share\\x"), L"\\\\server\\share\\x");
  EXPECT_EQ(LongPathForm(L"\\\\?\\C:\\Data"), L"\\\\?\\C:\\Data");
  EXPECT_EQ(LongPathForm(L"relative\\x"), L"relative\\x");
}

TEST(CreateFolder, CreatesEveryMissingLevel) {
  TempFolder root;
  WideString deep = root / L"one\\two\\three";
  ASSERT_TRUE(CreateFolder(deep));
  EXPECT_TRUE(IsExistingFolder(root / L"one"));
  EXPECT_TRUE(IsExistingFolder(root / L"one\\two"));
  EXPECT_TRUE(IsExistingFolder(deep));
  EXPECT_TRUE(CreateFolder(deep + L"\\"));  // a trailing backslash names the same folder
}

TEST(CreateFolder, ExistingFolderSucceedsAndStillGetsTheAttributes) {
  TempFolder root;
  WideString folder = root / L"kept";
  ASSERT_TRUE(CreateFolder(folder));
  ASSERT_TRUE(CreateFolder(folder, FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(AttributesOf(folder) & FILE_ATTRIBUTE_HIDDEN);
  // Attributes are added, not replaced.
  ASSERT_TRUE(CreateFolder(folder, FILE_ATTRIBUTE_SYSTEM));
  DWORD attributes = AttributesOf(folder);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(CreateFolder, FailsWhereAFileStandsOrThePathIsTooShort) {
  TempFolder root;
  ASSERT_TRUE(WriteTestFile(root / L"blocker", "x"));
  EXPECT_FALSE(CreateFolder(root / L"blocker"));
  EXPECT_FALSE(CreateFolder(root / L"blocker\\below\\deeper"));
  EXPECT_FALSE(CreateFolder(L"C:"));
  EXPECT_FALSE(CreateFolder(L""));
  EXPECT_TRUE(CreateFolder(L"C:\\"));  // a root exists already
}

TEST(CreateFolder, WorksBeyondTheClassicPathLimit) {
  TempFolder root;
  WideString deep = root.path();
  while (deep.size() < 340) deep += L"\\a-rather-long-folder-name";
  ASSERT_GT(deep.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_TRUE(CreateFolder(deep, FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(IsExistingFolder(deep));
  ASSERT_TRUE(WriteTestFile(deep + L"\\file.bin", std::string(1234, 'z')));
  EXPECT_EQ(FileSize(deep + L"\\file.bin"), 1234u);
}

TEST(FileSize, ReadsSizeAndFallsBackToTheListing) {
  TempFolder root;
  ASSERT_TRUE(WriteTestFile(root / L"ten", "0123456789"));
  EXPECT_EQ(FileSize(root / L"ten"), 10u);
  EXPECT_EQ(FileSize(root / L"missing"), 0u);
  HeldOpenFile held(root / L"ten");
  ASSERT_TRUE(held.held());
  EXPECT_EQ(FileSize(root / L"ten"), 10u);
}

std::vector<WideString> List(WideView pattern, uint32_t filter) {
  std::vector<WideString> names;
  DirectoryIterator entries;
  for (bool found = entries.Open(pattern, filter); found; found = entries.Next()) names.emplace_back(entries.name());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DirectoryIterator, FiltersAndNeverReportsDotEntries) {
  TempFolder root;
  ASSERT_TRUE(WriteTestFile(root / L"b.txt", "b"));
  ASSERT_TRUE(WriteTestFile(root / L"a.txt", "a"));
  ASSERT_TRUE(MakeTestFolder(root / L"sub"));
  ASSERT_TRUE(MakeTestFolder(root / L"zz"));
  WideString all = root / L"*";
  EXPECT_EQ(List(all, DirectoryIterator::kAll), (std::vector<WideString>{L"a.txt", L"b.txt", L"sub", L"zz"}));
  EXPECT_EQ(List(all, DirectoryIterator::kFilesOnly), (std::vector<WideString>{L"a.txt", L"b.txt"}));
  EXPECT_EQ(List(all, DirectoryIterator::kDirectoriesOnly), (std::vector<WideString>{L"sub", L"zz"}));
  EXPECT_EQ(List(all, DirectoryIterator::kFilesOnly | DirectoryIterator::kDirectoriesOnly),
            (std::vector<WideString>{L"a.txt", L"b.txt"}));
  EXPECT_EQ(List(root / L"*.txt", DirectoryIterator::kAll), (std::vector<WideString>{L"a.txt", L"b.txt"}));
}

TEST(DirectoryIterator, TellsAnEmptyResultFromAFailedListing) {
  TempFolder root;
  ASSERT_TRUE(MakeTestFolder(root / L"empty"));
  DirectoryIterator empty;
  EXPECT_FALSE(empty.Open(root / L"empty\\*", DirectoryIterator::kAll));
  EXPECT_TRUE(empty.EndedNormally());
  EXPECT_FALSE(empty.IsOpen());

  ASSERT_TRUE(WriteTestFile(root / L"file", "x"));
  DirectoryIterator broken;
  EXPECT_FALSE(broken.Open(root / L"file\\*", DirectoryIterator::kAll));  // a file where a folder must be
  EXPECT_FALSE(broken.EndedNormally());

  DirectoryIterator missing;
  EXPECT_FALSE(missing.Open(root / L"nowhere\\*", DirectoryIterator::kAll));
  EXPECT_EQ(missing.lastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(DirectoryIterator, ReportsSizesAndAttributes) {
  TempFolder root;
  FileContent hidden(std::string(70000, 'h'), FILE_ATTRIBUTE_HIDDEN, MakeFileTime(2020, 5, 17, 8, 30));
  ASSERT_TRUE(WriteTestFile(root / L"hidden.bin", hidden));
  DirectoryIterator entries;
  ASSERT_TRUE(entries.Open(root / L"*", DirectoryIterator::kFilesOnly));
  EXPECT_STREQ(entries.name(), L"hidden.bin");
  EXPECT_EQ(entries.size(), 70000u);
  EXPECT_TRUE(entries.attributes() & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(CompareFileTime(&entries.data().ftLastWriteTime, &*hidden.lastWriteTime), 0);
  EXPECT_FALSE(entries.Next());
}

TEST(Regex, MatchesAndSubstitutesUtf16) {
  Regex header(L"^\\[(.+)\\].*", Regex::kCaseless);
  ASSERT_TRUE(header.valid());
  EXPECT_TRUE(header.Matches(L"[Folders] trailing"));
  EXPECT_FALSE(header.Matches(L"[]"));
  EXPECT_FALSE(header.Matches(L"x[a]"));
  WideString lone = L"[a\xD800]";  // a lone surrogate must not upset the matcher
  EXPECT_TRUE(header.Matches(lone));

  Regex swap(L"(\\w+)-(\\w+)");
  WideString swapped;
  ASSERT_TRUE(swap.ReplaceAll(L"ab-cd ef-gh", L"$2-$1", swapped));
  EXPECT_EQ(swapped, L"cd-ab gh-ef");
  WideString grown;
  ASSERT_TRUE(Regex(L"x").ReplaceAll(L"xxxx", L"longer text", grown));
  EXPECT_EQ(grown, L"longer textlonger textlonger textlonger text");

  EXPECT_FALSE(Regex(L"(unclosed").valid());
}

}  // namespace
