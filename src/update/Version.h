#pragma once
// Version numbers as the update site gives them: "2.8.0.1", "2.8", or the first line of a longer answer.

#include "base/WideString.h"

// 1 when a is newer than b, -1 when older, 0 when equal. Each text is split at every "." and ","; the first
// four parts are compared from the left as numbers (their leading digits; anything else reads as 0, and a
// missing part is 0), so "2.8" equals "2.8.0.0" and "2.10" is newer than "2.9".
[[nodiscard]] int CompareVersions(WideView a, WideView b);
