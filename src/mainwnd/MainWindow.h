#pragma once

#include "base/AppPaths.h"
#include "mainwnd/MainWindowStart.h"
#include "run/RunEnvironment.h"


// Loads the settings file named on the command line (or the user's default one), shows the job list
// unless the run mode is Quiet, and outside Normal mode runs the backup at once and ends.
// Returns the process exit code.
int RunMainWindow(const AppPaths& paths, const RunEnvironment& environment, const MainWindowStart& start);
