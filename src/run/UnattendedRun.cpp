#include "run/UnattendedRun.h"

#include "app/Application.h"

int RunUnattended(Application&) {
  // The backup engine is not built yet: the run has nothing to do.
  return 0;
}
