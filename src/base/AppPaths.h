#pragma once
// Where the program keeps its files: all of them beside the executable.

#include "base/WideString.h"

struct AppPaths {
  WideString modulePath;
  WideString appDirectory;
  WideString appIniPath;
  WideString defaultSettingsPath;  // the console user's own backup settings file
  WideString errorLogPath;
  WideString historyPath;          // the record of every run
  WideString updateTempPath;       // where a downloaded update is written
};

// consoleUserName must already be free of characters that cannot stand in a file name.
[[nodiscard]] AppPaths DeriveAppPaths(WideView modulePath, WideView consoleUserName);

// The full path of the running executable.
[[nodiscard]] WideString QueryModulePath();
