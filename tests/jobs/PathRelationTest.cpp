#include "jobs/PathRelation.h"

#include <gtest/gtest.h>

namespace {

TEST(PathRelation, APrefixCountsOnlyWhenItEndsAtASeparator) {
  struct Case {
    const wchar_t* first;
    const wchar_t* second;
    wchar_t separator;
    PathRelation expected;
  };
  const Case cases[] = {
      {L"D:\\Data", L"D:\\Data\\Backup", L'\\', PathRelation::kSecondInsideFirst},
      {L"D:\\Data", L"D:\\Database", L'\\', PathRelation::kUnrelated},
      {L"D:\\Data\\", L"d:\\data", L'\\', PathRelation::kSame},
      {L"D:\\Data\\Backup", L"D:\\DATA", L'\\', PathRelation::kFirstInsideSecond},
      // Contained somewhere else than at the start is not inside.
      {L"Data", L"D:\\Data\\x", L'\\', PathRelation::kUnrelated},
      {L"ftp://host/a", L"ftp://HOST/a/b", L'/', PathRelation::kSecondInsideFirst},
      {L"ftp://host/ab", L"ftp://host/a", L'/', PathRelation::kUnrelated},
      {L"", L"D:\\Data", L'\\', PathRelation::kUnrelated},
      {L"", L"", L'\\', PathRelation::kUnrelated},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RelationOf(c.first, c.second, c.separator), c.expected) << text::ToUtf8(c.first) << " / " << text::ToUtf8(c.second);
  }
}

}  // namespace
