#include "base/WideString.h"

#include <gtest/gtest.h>

namespace {

TEST(WideString, AppendTakesSeveralPiecesAndNullReadsAsEmpty) {
  WideString target = L"C:";
  const wchar_t* none = nullptr;
  text::Append(target, L"\\", WideString(L"Data"), text::View(none), WideView(L"\\x"));
  EXPECT_EQ(target, L"C:\\Data\\x");
  EXPECT_EQ(text::Concat(L"a", L"", L"b"), L"ab");
  EXPECT_TRUE(text::View(nullptr).empty());
}

TEST(WideString, EqualsNoCaseMapsThroughLowerCase) {
  EXPECT_TRUE(text::EqualsNoCase(L"Settings", L"sETTINGS"));
  EXPECT_TRUE(text::EqualsNoCase(L"\u00C4rger", L"\u00E4RGER"));  // Ä and ä
  EXPECT_FALSE(text::EqualsNoCase(L"Flag", L"Flags"));
  EXPECT_FALSE(text::EqualsNoCase(L"a", L"b"));
  EXPECT_TRUE(text::EqualsNoCase(L"", L""));
  EXPECT_EQ(text::ToUpper(L"brlk\u00e9"), L"BRLK\u00c9");
  EXPECT_EQ(text::ToLower(L"BRLK"), L"brlk");
}

struct FindCase {
  const wchar_t* value;
  const wchar_t* what;
  text::FindOptions options;
  size_t expected;
};

TEST(WideString, FindIsOneBasedWithOccurrenceStartAndWindow) {
  const FindCase cases[] = {
      {L"a\\b\\c", L"\\", {}, 2},
      {L"a\\b\\c", L"\\", {true, 2, 1, 0}, 4},
      {L"a\\b\\c", L"\\", {true, 3, 1, 0}, 0},
      {L"a\\b\\c", L"\\", {true, -1, 1, 0}, 4},
      {L"a\\b\\c", L"\\", {true, -2, 1, 0}, 2},
      {L"a\\b\\c", L"\\", {true, -3, 1, 0}, 0},
      {L"a\\b\\c", L"\\", {true, 1, 3, 0}, 4},
      {L"a\\b\\c", L"\\", {true, 1, 1, 1}, 0},   // window holds only "a"
      {L"a\\b\\c", L"\\", {true, 1, 1, 2}, 2},   // window ends at the first backslash
      {L"a\\b\\c", L"\\", {true, -1, 1, 3}, 2},  // last one inside the window
      {L"abc", L"abc", {}, 1},
      {L"abc", L"abcd", {}, 0},
      {L"abc", L"", {}, 0},
      {L"abc", L"b", {true, 1, 4, 0}, 0},  // start past the end
      {L"abc", L"b", {true, 0, 1, 0}, 0},  // occurrence 0 finds nothing
      {L"ABC", L"b", {}, 0},
      {L"ABC", L"b", {false, 1, 1, 0}, 2},
      {L"aaaa", L"aa", {true, 2, 1, 0}, 2},  // overlapping occurrences count
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::Find(c.value, c.what, c.options), c.expected)
        << "value " << text::ToUtf8(c.value) << " what " << text::ToUtf8(c.what) << " occurrence "
        << c.options.occurrence << " start " << c.options.start << " window " << c.options.window;
  }
  EXPECT_EQ(text::FindChar(L"x.y.z", L'.', {true, -1}), 4u);
}

TEST(WideString, MidAndTrim) {
  EXPECT_EQ(text::Mid(L"abcdef", 2, 3), L"bcd");
  EXPECT_EQ(text::Mid(L"abcdef", 5), L"ef");
  EXPECT_EQ(text::Mid(L"abc", 4), L"");
  EXPECT_EQ(text::Mid(L"abc", 0), L"");
  EXPECT_EQ(text::Trim(L" \t\r\n x y \n"), L"x y");
  EXPECT_EQ(text::TrimLeft(L"  x "), L"x ");
  EXPECT_EQ(text::TrimRight(L"  x \t"), L"  x");
  EXPECT_EQ(text::Trim(L" \t "), L"");
}

TEST(WideString, PathPieces) {
  EXPECT_EQ(text::FileNamePart(L"C:\\Data\\report.final.txt"), L"report.final.txt");
  EXPECT_EQ(text::FolderPart(L"C:\\Data\\report.final.txt"), L"C:\\Data");
  EXPECT_EQ(text::ExtensionPart(L"C:\\Data\\report.final.txt"), L".txt");
  EXPECT_EQ(text::ExtensionPart(L"C:\\my.folder\\report"), L"");  // the dot is before the last backslash
  EXPECT_EQ(text::FileNamePart(L"plain"), L"plain");
  EXPECT_EQ(text::FolderPart(L"plain"), L"");
  EXPECT_EQ(text::ExtensionPart(L"plain.brlk"), L".brlk");
  EXPECT_EQ(text::FileNamePart(L"C:\\Data\\"), L"");
}

TEST(WideString, Utf8AndAnsiConversionRoundTrip) {
  WideString mixed = L"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600";
  std::string utf8 = text::ToUtf8(mixed);
  EXPECT_EQ(utf8, "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(text::FromUtf8(utf8), mixed);
  EXPECT_EQ(text::FromUtf8(""), L"");
  EXPECT_EQ(text::FromAnsi(text::ToAnsi(L"plain ASCII")), L"plain ASCII");
}

TEST(WideString, DecimalAndHexFormatting) {
  EXPECT_EQ(text::Decimal(0), L"0");
  EXPECT_EQ(text::Decimal(-42), L"-42");
  EXPECT_EQ(text::Decimal(INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(text::DecimalUnsigned(UINT64_MAX), L"18446744073709551615");
  EXPECT_EQ(text::Hex(0), L"0");
  EXPECT_EQ(text::Hex(0xBEEF, 8), L"0000BEEF");
  EXPECT_EQ(text::Hex(UINT64_MAX), L"FFFFFFFFFFFFFFFF");
}

TEST(WideString, DecimalParsingStopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(text::ParseDecimal(L"16"), 16);
  EXPECT_EQ(text::ParseDecimal(L"  -7x"), -7);
  EXPECT_EQ(text::ParseDecimal(L"+3"), 3);
  EXPECT_EQ(text::ParseDecimal(L"abc"), 0);
  EXPECT_EQ(text::ParseDecimal(L""), 0);
}

// Settings read as numbers (ports, limits, counts): a number that is not exactly one is the default.
TEST(WideString, BoundedDecimalTakesOnlyAWholeNumberInRange) {
  struct Case {
    const wchar_t* text;
    std::optional<uint64_t> number;
  } cases[] = {{L"1", 1},          {L"65535", 65535},   {L" 21 ", 21},        {L"65536", std::nullopt},
               {L"70000", std::nullopt}, {L"0", std::nullopt}, {L"+3", std::nullopt}, {L"5x", std::nullopt},
               {L"", std::nullopt},  {L"1 2", std::nullopt}, {L"99999999999999999999999", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(text::ParseBoundedDecimal(c.text, 1, 65535), c.number) << text::ToUtf8(c.text);
}

TEST(WideString, HexParsingRejectsWhatIsNotHex) {
  uint64_t value = 99;
  EXPECT_TRUE(text::ParseHex(L"0x1f", value));
  EXPECT_EQ(value, 0x1Fu);
  EXPECT_TRUE(text::ParseHex(L"DEADbeef", value));
  EXPECT_EQ(value, 0xDEADBEEFu);
  value = 5;
  EXPECT_FALSE(text::ParseHex(L"", value));
  EXPECT_FALSE(text::ParseHex(L"0x", value));
  EXPECT_FALSE(text::ParseHex(L"12g4", value));
  EXPECT_FALSE(text::ParseHex(L"1 2", value));
  EXPECT_FALSE(text::ParseHex(L"11112222333344445", value));  // 17 digits
  EXPECT_EQ(value, 5u);
}

}  // namespace
