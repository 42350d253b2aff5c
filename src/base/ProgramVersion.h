#pragma once
// The program's version: shown in the main window, written into the uninstall entry, compared with the
// update site's.

#include "base/WideString.h"

inline constexpr WideView kProgramVersion = L"2.8.0.0";
