#pragma once

class Application;

// Removes the installation (files, shortcuts, uninstall entry, file association, logon task).
void RunUninstaller(Application& app);
