#pragma once

#include "base/AppPaths.h"
#include "ini/IniFile.h"

// Removes the installation (files, shortcuts, uninstall entry, file association, logon task).
void RunUninstaller(const AppPaths& paths, IniFile& appIni);
