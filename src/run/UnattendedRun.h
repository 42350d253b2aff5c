#pragma once

#include "run/RunController.h"
#include "run/RunEnvironment.h"

namespace messages {

// Why an unattended run ended before running anything; the settings file's path follows.
inline constexpr WideView kSettingsFileNotFound = L"Settings file not found: ";
inline constexpr WideView kSettingsFileCannotBeRead = L"Settings file cannot be read: ";

}  // namespace messages

struct UnattendedRequest {
  UiMode uiMode = UiMode::kQuiet;  // Passive shows the progress window; Quiet shows nothing
  WideString settingsFile;  // the last one named on the command line, or the user's own when none is named
  // The last one named when it named no existing file: the run ends on it rather than run another file.
  WideString missingSettingsFile;
};

// Backs up every checked pair of the settings file without asking anything (Passive and Quiet run modes).
// A settings file that is missing, cannot be read or has no "Folders" section ends the run with
// kExitFailures and a log entry, before anything is run and without the file being created or rewritten.
// Returns the process exit code.
int RunUnattended(const RunEnvironment& environment, const UnattendedRequest& request);
