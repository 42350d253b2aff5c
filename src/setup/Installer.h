#pragma once
// Installing the program into the system and taking each part out again: the copy in Program Files, the
// two desktop shortcuts, the uninstall entry and the association with settings files. Each part follows
// one box of the settings window's "Installation" page.

#include "base/AppPaths.h"
#include "base/WideString.h"
#include "setup/InstallPaths.h"
#include "setup/RunningInstances.h"

#include <windows.h>

#include <array>

struct InstallChoices {
  bool install = false;
  bool unattendedShortcut = false;
  bool normalShortcut = false;
  bool uninstallEntry = false;
  bool associate = false;
};

// The installation as it stands: installed when the installed executable exists; the shortcuts when
// their files exist, and only for an installed program; the uninstall entry when its key exists; the
// association when ".brlk" names our file type.
[[nodiscard]] InstallChoices CurrentInstallation(const InstallPaths& paths);
// The shortcut boxes mean something only for an installed program.
[[nodiscard]] inline bool ShortcutBoxesEnabled(const InstallChoices& current) { return current.install; }

// The steps of an Apply, in the order they run.
enum class InstallStep : int { kInstall, kUnattendedShortcut, kNormalShortcut, kUninstallEntry, kAssociate };
inline constexpr int kInstallStepCount = 5;

// Why the install step failed.
enum class InstallProblem : int {
  kNone,
  kFolderNotCreated,     // the install folder could not be made (a file stands there, say)
  kProgramRunning,       // an instance of the installed executable did not close: it was left alone
  kCopyFailed,           // the executable could not be copied; the installed one is as it was
  kSettingsNotCopied,    // the program went in, its INI file did not
  kFolderNotDeleted,
  kUninstallNotStarted,  // the uninstaller copy could not be started
};

struct ApplyResult {
  bool succeeded = true;   // every step did what its box asked
  bool endProgram = false; // the uninstall was handed to the temporary copy: the caller ends now
  std::array<bool, kInstallStepCount> failed{};
  InstallProblem installProblem = InstallProblem::kNone;

  [[nodiscard]] bool Failed(InstallStep step) const { return failed[static_cast<size_t>(step)]; }
};

// Runs the five steps in order, each as its box asks. A step that fails does not stop the ones after it
// and nothing is rolled back; clearing "install" while running from the installed executable hands the
// uninstall to the temporary copy and stops there. Running instances of the installed executable are
// asked to close and waited for up to closeWaitMs; one that stays (a backup in progress) is never ended,
// and the step then fails without touching the installed program.
[[nodiscard]] ApplyResult ApplyInstallation(const InstallPaths& paths, const AppPaths& appPaths,
                                            const InstallChoices& choices, DWORD closeWaitMs = kCloseWaitMs);

// What to tell the user about a failed Apply: one line per failed step.
[[nodiscard]] WideString ApplyFailureText(const ApplyResult& result);
