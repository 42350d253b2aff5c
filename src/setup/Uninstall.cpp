#include "setup/Uninstall.h"

#include "app/Application.h"

void RunUninstaller(Application&) {
  // Installation is not built yet, so there is nothing to remove.
}
