#include "mainwnd/MainWindow.h"

#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "jobs/SettingsFile.h"
#include "mainwnd/JobStatus.h"
#include "run/UnattendedRun.h"

int RunMainWindow(const AppPaths& paths, const RunEnvironment& environment, const MainWindowStart& start) {
  // A finished update leaves its download behind until the new version has started up.
  if (IsExistingFile(paths.updateTempPath)) (void)ForceDelete(paths.updateTempPath, 0);

  const WideString& settingsFile =
      start.settingsFileToLoad.empty() ? paths.defaultSettingsPath : start.settingsFileToLoad;
  if (start.uiMode != UiMode::kNormal) {
    return RunUnattended(environment, UnattendedRequest{start.uiMode, settingsFile, start.missingSettingsFile});
  }
  // The window itself is not built yet; the job is only loaded.
  JobList jobs;
  BackupOptions options;
  LoadJob(environment.jobIni, settingsFile, jobs, options);
  (void)LoadedStatus(settingsFile);
  return 0;
}
