#pragma once
// The confirmation a Strict backup started from the main window needs first: files missing from the
// source will be deleted from the destination. A " Dont ask again" box stores "SkipStrictWarning" in the
// application's INI file.

#include "ini/IniFile.h"
#include "run/RunEnvironment.h"
#include "ui/UiWindow.h"

// What of the main window the warning needs: the controls to lock while it is open (those below the
// title band) and the title band's minimise and close buttons, which stay usable.
struct StrictWarningOwner {
  UiWindow& mainWindow;
  int firstLocked = 0;
  int lastLocked = 0;
  int minimiseButton = 0;
  int closeButton = 0;
};

// True to go on with the Strict backup. Outside the Normal run mode nothing is asked.
[[nodiscard]] bool ConfirmStrictBackup(const StrictWarningOwner& owner, IniFile& appIni, UiMode uiMode);
