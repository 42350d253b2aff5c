#pragma once
// The settings window: installation into the system, automatic updates and scheduled backups, each on a
// page of its own, and the error log's clearing.

#include "base/AppPaths.h"
#include "ini/IniFile.h"
#include "setup/Installer.h"
#include "ui/UiWindow.h"

enum class SettingsPage { kInstallation = 0, kUpdates = 1, kScheduledBackups = 2 };

// What the window reports when it closes.
enum class SettingsOutcome {
  kClosed,             // nothing for the caller to do
  kEndProgram,         // the uninstaller took over in another process: this one ends
  kRestartAfterUpdate  // a new executable is in place: the caller starts it and ends
};

struct SettingsContext {
  const AppPaths& paths;
  IniFile& appIni;
  InstallPaths installPaths = InstallPaths::ForThisMachine();
};

// Modal over owner (which may be null: the window then stands alone), opened on the given page.
[[nodiscard]] SettingsOutcome OpenSettingsWindow(UiWindow* owner, SettingsPage page, SettingsContext& context);
