#include "mainwnd/MainWindow.h"

#include "app/Application.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "jobs/SettingsFile.h"
#include "run/UnattendedRun.h"

int RunMainWindow(Application& app, int) {
  // A finished update leaves its download behind until the new version has started up.
  if (IsExistingFile(app.paths().updateTempPath)) (void)ForceDelete(app.paths().updateTempPath, 0);

  if (app.uiMode() != UiMode::kNormal) return RunUnattended(app);
  // The window itself is not built yet; the job is only loaded.
  JobList jobs;
  BackupOptions options;
  JobStatus status;
  LoadJob(app.jobIni(), app.settingsFileToLoad().empty() ? app.paths().defaultSettingsPath : app.settingsFileToLoad(),
          jobs, options, status);
  return 0;
}
