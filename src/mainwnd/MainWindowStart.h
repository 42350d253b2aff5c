#pragma once

#include "base/WideString.h"
#include "run/RunEnvironment.h"

// What the command line asked of the main window.
struct MainWindowStart {
  UiMode uiMode = UiMode::kNormal;
  WideString settingsFileToLoad;   // empty: the user's own
  WideString missingSettingsFile;  // a named settings file that was not there
  int showCommand = 0;
};
