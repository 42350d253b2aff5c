#pragma once
// UTF-16 text as the program uses it everywhere, with the few helpers the program needs.
// Positions handed out by these helpers are 1-based and 0 means "not found", which is how the callers
// count characters in paths and INI lines.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using WideString = std::wstring;
using WideView = std::wstring_view;

namespace text {

// A null pointer reads as the empty text.
[[nodiscard]] inline WideView View(const wchar_t* value) { return value ? WideView(value) : WideView(); }

// Appends every piece to target in one allocation.
template <typename... Pieces>
void Append(WideString& target, const Pieces&... pieces) {
  target.reserve(target.size() + (WideView(pieces).size() + ... + 0));
  (target.append(WideView(pieces)), ...);
}

template <typename... Pieces>
[[nodiscard]] WideString Concat(const Pieces&... pieces) {
  WideString result;
  Append(result, pieces...);
  return result;
}

[[nodiscard]] wchar_t LowerChar(wchar_t c);
[[nodiscard]] wchar_t UpperChar(wchar_t c);
[[nodiscard]] WideString ToLower(WideView value);
[[nodiscard]] WideString ToUpper(WideView value);

// Character by character through the lower-case mapping.
[[nodiscard]] bool EqualsNoCase(WideView a, WideView b);
[[nodiscard]] bool StartsWith(WideView value, WideView prefix, bool caseSensitive = true);
[[nodiscard]] bool EndsWith(WideView value, WideView suffix, bool caseSensitive = true);

struct FindOptions {
  bool caseSensitive = true;
  // Which occurrence to find: 1 is the first, 2 the second; -1 is the last, -2 the one before it.
  int occurrence = 1;
  // 1-based position where the searched window begins.
  size_t start = 1;
  // Number of characters searched from start; 0 means up to the end of the text.
  size_t window = 0;
};

// 1-based position of the wanted occurrence of what inside value, or 0 when there is none.
[[nodiscard]] size_t Find(WideView value, WideView what, const FindOptions& options = {});
[[nodiscard]] size_t FindChar(WideView value, wchar_t what, const FindOptions& options = {});

// Characters from the 1-based position start, at most count of them (npos: to the end).
[[nodiscard]] WideString Mid(WideView value, size_t start, size_t count = WideView::npos);

[[nodiscard]] bool IsBlank(wchar_t c);  // space, tab, CR, LF
[[nodiscard]] WideView Trim(WideView value);
[[nodiscard]] WideView TrimLeft(WideView value);
[[nodiscard]] WideView TrimRight(WideView value);

// Path pieces. FileNamePart is the text after the last backslash (all of it when there is none);
// FolderPart the text before the last backslash (empty when there is none); ExtensionPart the text from
// the last dot, provided that dot comes after the last backslash (empty otherwise).
[[nodiscard]] WideView FileNamePart(WideView path);
[[nodiscard]] WideView FolderPart(WideView path);
[[nodiscard]] WideView ExtensionPart(WideView path);

[[nodiscard]] WideString FromUtf8(std::string_view bytes);
[[nodiscard]] std::string ToUtf8(WideView value);
[[nodiscard]] WideString FromAnsi(std::string_view bytes);
[[nodiscard]] std::string ToAnsi(WideView value);

[[nodiscard]] WideString Decimal(int64_t value);
[[nodiscard]] WideString DecimalUnsigned(uint64_t value);
// Upper-case hexadecimal digits, padded with zeros to at least minDigits.
[[nodiscard]] WideString Hex(uint64_t value, int minDigits = 1);

// Replaces every occurrence of what by replacement in one left-to-right pass over non-overlapping
// occurrences (so "///" with "//" → "/" gives "//").
[[nodiscard]] WideString ReplaceAll(WideView value, WideView what, WideView replacement);

// Splits at every occurrence of separator; an empty text gives one empty piece.
[[nodiscard]] std::vector<WideString> Split(WideView value, WideView separator);

// Leading blanks, an optional sign, then decimal digits; stops at the first other character, like _wtoi.
// Text without digits gives 0.
[[nodiscard]] int64_t ParseDecimal(WideView value);
// Decimal digits after optional leading blanks, stopping at the first other character; 0 without digits.
// Values beyond 64 bits wrap, as the program's stored numbers never reach them.
[[nodiscard]] uint64_t ParseUnsigned(WideView value);
// A whole decimal number from minimum to maximum, blanks around it allowed; nothing for any other text
// (a sign, another character, no digits, a value out of range). For settings read as numbers.
[[nodiscard]] std::optional<uint64_t> ParseBoundedDecimal(WideView value, uint64_t minimum, uint64_t maximum);
// Hexadecimal digits with an optional "0x" prefix; false when the text is empty, has another character,
// or does not fit 64 bits.
[[nodiscard]] bool ParseHex(WideView value, uint64_t& result);

}  // namespace text
