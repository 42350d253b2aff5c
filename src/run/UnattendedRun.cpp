#include "run/UnattendedRun.h"

#include "app/Application.h"
#include "jobs/SettingsFile.h"
#include "run/IniCertificatePins.h"

int ExitCodeOf(const RunSummary& summary) {
  if (summary.result == RunResult::kCancelled) return kExitCancelled;
  if (summary.failures != 0 || summary.jobsSkipped != 0) return kExitFailures;
  return kExitSuccess;
}

int RunUnattended(Application& app) {
  const WideString& settingsFile =
      app.settingsFileToLoad().empty() ? app.paths().defaultSettingsPath : app.settingsFileToLoad();
  JobList jobs;
  BackupOptions options;
  JobStatus status;
  LoadJob(app.jobIni(), settingsFile, jobs, options, status);

  // Until the progress window exists, Passive runs show nothing either.
  HiddenProgressView view;
  WindowsPower power;
  RunController controller(app.runState(), app.errorLog(), view, power, app.osVersion());
  IniCertificatePins pins(app.appIni());
  controller.SetCertificatePins(&pins);
  controller.Prepare(options);
  return ExitCodeOf(controller.Run(jobs));
}
