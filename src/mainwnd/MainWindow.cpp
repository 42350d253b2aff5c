#include "mainwnd/MainWindow.h"

#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "jobs/SettingsFile.h"
#include "mainwnd/MainWindowFrame.h"
#include "run/UnattendedRun.h"

int RunMainWindow(const AppPaths& paths, const RunEnvironment& environment, const MainWindowStart& start) {
  // A finished update leaves its download behind until the new version has started up.
  if (IsExistingFile(paths.updateTempPath)) (void)ForceDelete(paths.updateTempPath, 0);

  const WideString& settingsFile =
      start.settingsFileToLoad.empty() ? paths.defaultSettingsPath : start.settingsFileToLoad;
  if (start.uiMode != UiMode::kNormal) {
    return RunUnattended(environment, UnattendedRequest{start.uiMode, settingsFile, start.missingSettingsFile});
  }
  MainWindowFrame frame(paths, environment, start);
  if (!frame.Open()) return 1;
  return frame.RunLoop();
}
