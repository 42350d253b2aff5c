#pragma once

#include "base/AppPaths.h"
#include "run/RunEnvironment.h"

// The tray-icon instance that launches due scheduled backups. Returns the process exit code.
int RunScheduledBackupsMonitor(const AppPaths& paths, const RunEnvironment& environment);
