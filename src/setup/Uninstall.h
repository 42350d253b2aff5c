#pragma once
// Removing the installation. A running executable cannot delete itself, so the work is handed to a copy
// in the temporary folder; that copy removes the installation and, after it has ended, is deleted by a
// hidden command shell that retries a few times.

#include "base/AppPaths.h"
#include "ini/IniFile.h"
#include "setup/InstallPaths.h"

#include <windows.h>

// The uninstaller of the "/Uninstall" argument. Returns 1 when it handed the work to the temporary copy
// (the caller ends the program), 0 when the question was answered no or the copy could not be started;
// otherwise it removes the installation and ends the process itself. quiet: nothing is asked or shown
// (the Quiet mode given before "/Uninstall").
int RunUninstaller(const AppPaths& paths, IniFile& appIni, bool quiet);
// The same with the installation's paths given.
int RunUninstaller(const InstallPaths& installPaths, const AppPaths& paths, bool quiet);

// Copies the running executable to the uninstaller copy and starts it with "/Uninstall" (after "/Quiet"
// when quiet, so that the copy asks nothing either). True when the copy started.
[[nodiscard]] bool HandOverUninstall(const InstallPaths& paths, WideView runningExecutable, bool quiet);

// What the removal could not do; all false when everything is gone.
struct RemovalResult {
  bool programRunning = false;  // another instance did not close: nothing was removed
  bool folderLeft = false;
  bool shortcutLeft = false;
  bool registryLeft = false;
  [[nodiscard]] bool complete() const { return !programRunning && !folderLeft && !shortcutLeft && !registryLeft; }
};

// Asks running instances of the installed executable to close (waiting up to closeWaitMs), then deletes
// the install folder, both shortcuts, the uninstall entry and the file association. An instance that
// stays running leaves everything in place.
[[nodiscard]] RemovalResult RemoveInstallation(const InstallPaths& paths, DWORD closeWaitMs);

// Deletes the association with our files, wherever the merged classes view finds one, whoever made it.
[[nodiscard]] bool DeleteAssociation();

// Starts the hidden shell that deletes executable once it is no longer running: five tries about a
// second apart. Its failures are invisible; the file then stays. Returns the shell's process id, 0 when
// it did not start.
DWORD StartSelfDelete(WideView executable);
