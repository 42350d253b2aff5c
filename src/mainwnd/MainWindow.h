#pragma once

#include "base/AppPaths.h"
#include "run/RunEnvironment.h"

// What the command line asked of the main window.
struct MainWindowStart {
  UiMode uiMode = UiMode::kNormal;
  WideString settingsFileToLoad;   // empty: the user's own
  WideString missingSettingsFile;  // a named settings file that was not there
  int showCommand = 0;
};

// Loads the settings file named on the command line (or the user's default one), shows the job list
// unless the run mode is Quiet, and outside Normal mode runs the backup at once and ends.
// Returns the process exit code.
int RunMainWindow(const AppPaths& paths, const RunEnvironment& environment, const MainWindowStart& start);
