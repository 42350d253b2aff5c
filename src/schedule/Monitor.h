#pragma once

class Application;

// The tray-icon instance that launches due scheduled backups. Returns the process exit code.
int RunScheduledBackupsMonitor(Application& app);
