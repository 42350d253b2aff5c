#include "jobs/PathRelation.h"

namespace {

WideString WithSeparator(WideView path, wchar_t separator) {
  WideString text = text::ToLower(path);
  if (text.empty() || text.back() != separator) text.push_back(separator);
  return text;
}

}  // namespace

PathRelation RelationOf(WideView first, WideView second, wchar_t separator) {
  if (first.empty() || second.empty()) return PathRelation::kUnrelated;
  WideString a = WithSeparator(first, separator);
  WideString b = WithSeparator(second, separator);
  if (a == b) return PathRelation::kSame;
  if (b.size() > a.size() && text::StartsWith(b, a)) return PathRelation::kSecondInsideFirst;
  if (a.size() > b.size() && text::StartsWith(a, b)) return PathRelation::kFirstInsideSecond;
  return PathRelation::kUnrelated;
}
