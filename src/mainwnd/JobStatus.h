#pragma once
// What the main window's status line says about the settings file in hand.

#include "base/WideString.h"

struct JobStatus {
  WideString text;     // "Loaded: " + file name
  WideString tooltip;  // the full path
};

[[nodiscard]] JobStatus LoadedStatus(WideView path);

// The name the status line shows for a path: its last component.
[[nodiscard]] WideString StatusFileName(WideView path);
