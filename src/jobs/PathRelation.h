#pragma once
// How two locations of a folder pair relate: the same place, one inside the other, or apart. One text
// lies inside another when the other, with a separator at its end, is a prefix of it, without regard to
// case: "D:\Data" holds "D:\Data\Backup" but not "D:\Database".

#include "base/WideString.h"

enum class PathRelation {
  kUnrelated,
  kSame,
  kSecondInsideFirst,  // the second lies inside the first
  kFirstInsideSecond,  // the first lies inside the second
};

// separator: L'\\' for local paths, L'/' for FTP directories. An empty text relates to nothing.
[[nodiscard]] PathRelation RelationOf(WideView first, WideView second, wchar_t separator);
