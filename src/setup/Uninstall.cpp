#include "setup/Uninstall.h"

void RunUninstaller(const AppPaths&, IniFile&) {
  // Installation is not built yet, so there is nothing to remove.
}
