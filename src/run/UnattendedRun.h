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
  // A preview: the run changes nothing, and its report goes to previewReport (to the console when empty).
  bool preview = false;
  WideString previewReport = {};
};

// Backs up every checked pair of the settings file without asking anything (Passive and Quiet run modes).
// A settings file that is missing, cannot be read or has no "Folders" section ends the run with
// kExitFailures and a log entry, before anything is run and without the file being created or rewritten.
// A preview shows no window and writes nothing but its report; problems are reported there instead of in
// the log. Returns the process exit code.
int RunUnattended(const RunEnvironment& environment, const UnattendedRequest& request);
