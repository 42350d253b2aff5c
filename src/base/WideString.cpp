#include "base/WideString.h"

#include <windows.h>

#include <algorithm>

namespace text {

wchar_t LowerChar(wchar_t c) {
  if (c < 0x80) return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
  // CharLowerBuffW maps one character without touching the locale of the C runtime.
  wchar_t mapped = c;
  CharLowerBuffW(&mapped, 1);
  return mapped;
}

wchar_t UpperChar(wchar_t c) {
  if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  wchar_t mapped = c;
  CharUpperBuffW(&mapped, 1);
  return mapped;
}

WideString ToLower(WideView value) {
  WideString result(value);
  for (auto& c : result) c = LowerChar(c);
  return result;
}

WideString ToUpper(WideView value) {
  WideString result(value);
  for (auto& c : result) c = UpperChar(c);
  return result;
}

bool EqualsNoCase(WideView a, WideView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

bool StartsWith(WideView value, WideView prefix, bool caseSensitive) {
  if (value.size() < prefix.size()) return false;
  WideView head = value.substr(0, prefix.size());
  return caseSensitive ? head == prefix : EqualsNoCase(head, prefix);
}

bool EndsWith(WideView value, WideView suffix, bool caseSensitive) {
  if (value.size() < suffix.size()) return false;
  WideView tail = value.substr(value.size() - suffix.size());
  return caseSensitive ? tail == suffix : EqualsNoCase(tail, suffix);
}

namespace {

bool MatchesAt(WideView value, size_t at, WideView what, bool caseSensitive) {
  WideView piece = value.substr(at, what.size());
  return caseSensitive ? piece == what : EqualsNoCase(piece, what);
}

}  // namespace

size_t Find(WideView value, WideView what, const FindOptions& options) {
  if (what.empty() || options.occurrence == 0 || options.start == 0) return 0;
  size_t begin = options.start - 1;
  if (begin >= value.size()) return 0;
  size_t end = value.size();
  if (options.window != 0) end = std::min(end, begin + options.window);
  if (end - begin < what.size()) return 0;
  size_t lastStart = end - what.size();

  int remaining = options.occurrence > 0 ? options.occurrence : -options.occurrence;
  if (options.occurrence > 0) {
    for (size_t at = begin; at <= lastStart; ++at) {
      if (MatchesAt(value, at, what, options.caseSensitive) && --remaining == 0) return at + 1;
    }
  } else {
    for (size_t at = lastStart + 1; at-- > begin;) {
      if (MatchesAt(value, at, what, options.caseSensitive) && --remaining == 0) return at + 1;
    }
  }
  return 0;
}

size_t FindChar(WideView value, wchar_t what, const FindOptions& options) {
  return Find(value, WideView(&what, 1), options);
}

WideString Mid(WideView value, size_t start, size_t count) {
  if (start == 0 || start > value.size()) return {};
  return WideString(value.substr(start - 1, count));
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

WideView TrimLeft(WideView value) {
  size_t first = 0;
  while (first < value.size() && IsBlank(value[first])) ++first;
  return value.substr(first);
}

WideView TrimRight(WideView value) {
  size_t end = value.size();
  while (end > 0 && IsBlank(value[end - 1])) --end;
  return value.substr(0, end);
}

WideView Trim(WideView value) { return TrimRight(TrimLeft(value)); }

WideView FileNamePart(WideView path) {
  size_t slash = path.rfind(L'\\');
  return slash == WideView::npos ? path : path.substr(slash + 1);
}

WideView FolderPart(WideView path) {
  size_t slash = path.rfind(L'\\');
  return slash == WideView::npos ? WideView() : path.substr(0, slash);
}

WideView ExtensionPart(WideView path) {
  size_t dot = path.rfind(L'.');
  size_t slash = path.rfind(L'\\');
  if (dot == WideView::npos || (slash != WideView::npos && dot < slash)) return {};
  return path.substr(dot);
}

namespace {

WideString FromCodePage(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return {};
  WideString result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), result.data(), length);
  return result;
}

std::string ToCodePage(UINT codePage, WideView value) {
  if (value.empty()) return {};
  int length = WideCharToMultiByte(codePage, 0, value.data(), static_cast<int>(value.size()), nullptr, 0,
                                   nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, value.data(), static_cast<int>(value.size()), result.data(), length,
                      nullptr, nullptr);
  return result;
}

}  // namespace

WideString FromUtf8(std::string_view bytes) { return FromCodePage(CP_UTF8, bytes); }
std::string ToUtf8(WideView value) { return ToCodePage(CP_UTF8, value); }
WideString FromAnsi(std::string_view bytes) { return FromCodePage(CP_ACP, bytes); }
std::string ToAnsi(WideView value) { return ToCodePage(CP_ACP, value); }

WideString DecimalUnsigned(uint64_t value) {
  wchar_t digits[24];
  size_t at = std::size(digits);
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return WideString(digits + at, std::size(digits) - at);
}

WideString Decimal(int64_t value) {
  if (value >= 0) return DecimalUnsigned(static_cast<uint64_t>(value));
  // Negating through unsigned arithmetic keeps INT64_MIN right.
  return L"-" + DecimalUnsigned(0 - static_cast<uint64_t>(value));
}

WideString Hex(uint64_t value, int minDigits) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  WideString result;
  do {
    result.insert(result.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(result.size()) < minDigits) result.insert(0, minDigits - result.size(), L'0');
  return result;
}

WideString ReplaceAll(WideView value, WideView what, WideView replacement) {
  if (what.empty()) return WideString(value);
  WideString result;
  result.reserve(value.size());
  size_t at = 0;
  for (size_t found = value.find(what); found != WideView::npos; found = value.find(what, at)) {
    text::Append(result, value.substr(at, found - at), replacement);
    at = found + what.size();
  }
  result.append(value.substr(at));
  return result;
}

std::vector<WideString> Split(WideView value, WideView separator) {
  std::vector<WideString> pieces;
  size_t at = 0;
  for (size_t found = value.find(separator); found != WideView::npos && !separator.empty();
       found = value.find(separator, at)) {
    pieces.emplace_back(value.substr(at, found - at));
    at = found + separator.size();
  }
  pieces.emplace_back(value.substr(at));
  return pieces;
}

uint64_t ParseUnsigned(WideView value) {
  size_t at = 0;
  while (at < value.size() && (value[at] == L' ' || value[at] == L'\t')) ++at;
  uint64_t result = 0;
  for (; at < value.size() && value[at] >= L'0' && value[at] <= L'9'; ++at) {
    result = result * 10 + static_cast<uint64_t>(value[at] - L'0');
  }
  return result;
}

std::optional<uint64_t> ParseBoundedDecimal(WideView value, uint64_t minimum, uint64_t maximum) {
  WideView digits = Trim(value);
  // Twenty digits may already wrap 64 bits; no setting comes near.
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return std::nullopt;
  }
  uint64_t number = ParseUnsigned(digits);
  if (number < minimum || number > maximum) return std::nullopt;
  return number;
}

int64_t ParseDecimal(WideView value) {
  size_t at = 0;
  while (at < value.size() && (value[at] == L' ' || value[at] == L'\t')) ++at;
  bool negative = false;
  if (at < value.size() && (value[at] == L'-' || value[at] == L'+')) negative = value[at++] == L'-';
  uint64_t magnitude = 0;
  for (; at < value.size() && value[at] >= L'0' && value[at] <= L'9'; ++at) {
    magnitude = magnitude * 10 + static_cast<uint64_t>(value[at] - L'0');
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

bool ParseHex(WideView value, uint64_t& result) {
  if (StartsWith(value, L"0x", false)) value.remove_prefix(2);
  if (value.empty() || value.size() > 16) return false;
  uint64_t parsed = 0;
  for (wchar_t c : value) {
    int digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return false;
    parsed = (parsed << 4) | static_cast<uint64_t>(digit);
  }
  result = parsed;
  return true;
}

}  // namespace text
