#include "schedule/Monitor.h"

int RunScheduledBackupsMonitor(const AppPaths&, const RunEnvironment&) {
  // Schedules are not built yet: the monitor has nothing to watch and ends at once.
  return 0;
}
