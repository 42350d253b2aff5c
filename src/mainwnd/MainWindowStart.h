#pragma once

#include "base/WideString.h"
#include "run/RunEnvironment.h"
#include "ui/UiWindow.h"

#include <functional>

// What the settings window asks of the main window when it closes.
enum class SettingsAnswer { kCarryOn, kEndProgram, kRestart };

// What the command line asked of the main window.
struct MainWindowStart {
  UiMode uiMode = UiMode::kNormal;
  WideString settingsFileToLoad;   // empty: the user's own
  WideString missingSettingsFile;  // a named settings file that was not there
  int showCommand = 0;
  // Opens the settings window over the main window on a page (0 installation, 1 auto update,
  // 2 scheduled backups). Without one the entry points say the settings are not available.
  std::function<SettingsAnswer(UiWindow& owner, int page)> openSettings;
  // Starts the updated executable; false when it could not be started (the program then carries on).
  std::function<bool()> restartAfterUpdate;
};
