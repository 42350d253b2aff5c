#include "update/Version.h"

#include <array>
#include <cstdint>

namespace {

constexpr size_t kComparedParts = 4;

// The number the leading digits of a part give (0 when it does not start with one). Reading stops once
// the value passes 32 bits, which no version reaches, so that a runaway answer cannot overflow.
uint64_t LeadingNumber(WideView part) {
  uint64_t value = 0;
  for (wchar_t c : part) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
    if (value > 0xFFFFFFFFu) break;
  }
  return value;
}

std::array<uint64_t, kComparedParts> Parts(WideView version) {
  std::array<uint64_t, kComparedParts> parts{};
  size_t index = 0;
  size_t start = 0;
  while (index < kComparedParts) {
    size_t end = version.find_first_of(L".,", start);
    parts[index++] = LeadingNumber(version.substr(start, end == WideView::npos ? WideView::npos : end - start));
    if (end == WideView::npos) break;
    start = end + 1;
  }
  return parts;
}

}  // namespace

int CompareVersions(WideView a, WideView b) {
  std::array<uint64_t, kComparedParts> left = Parts(a);
  std::array<uint64_t, kComparedParts> right = Parts(b);
  for (size_t i = 0; i < kComparedParts; ++i) {
    if (left[i] != right[i]) return left[i] > right[i] ? 1 : -1;
  }
  return 0;
}
