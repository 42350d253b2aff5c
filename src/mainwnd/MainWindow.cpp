#include "mainwnd/MainWindow.h"

#include "app/Application.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "run/UnattendedRun.h"

int RunMainWindow(Application& app, int) {
  const WideString& settingsFile =
      app.settingsFileToLoad().empty() ? app.paths().defaultSettingsPath : app.settingsFileToLoad();
  app.jobIni().Load(settingsFile);

  // A finished update leaves its download behind until the new version has started up.
  if (IsExistingFile(app.paths().updateTempPath)) (void)ForceDelete(app.paths().updateTempPath, 0);

  if (app.uiMode() != UiMode::kNormal) return RunUnattended(app);
  // The window itself is not built yet.
  return 0;
}
