#include "run/UnattendedRun.h"

#include "base/FileSystem.h"
#include "jobs/SettingsFile.h"
#include "run/IniCertificatePins.h"
#include "run/PreviewReport.h"
#include "run/ProgressWindow.h"

#include <windows.h>

namespace {

constexpr WideView kFolders = L"Folders";

enum class SettingsFileState { kUsable, kNotFound, kCannotBeRead };

// Only a definite "nothing is there" (or a name no file can have) is "not found"; a lookup that fails
// otherwise (access denied, a share that does not answer) could not tell, and the file may well be there.
SettingsFileState LookUpSettingsFile(WideView path) {
  DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
    return gone ? SettingsFileState::kNotFound : SettingsFileState::kCannotBeRead;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? SettingsFileState::kNotFound : SettingsFileState::kUsable;
}

bool IsUsableStore(const IniFile& store) {
  return !store.loadFailedOnExistingFile() && store.SectionRange(kFolders).has_value();
}

// The file is read into a store of its own first: the job store saves itself at exit and upgrades an old
// layout as it loads, so a file that is no settings file must never reach it, or it would be rewritten
// (or, when missing, created).
SettingsFileState CheckSettingsFile(WideView path) {
  SettingsFileState state = LookUpSettingsFile(path);
  if (state != SettingsFileState::kUsable) return state;
  IniFile probe(path);
  return IsUsableStore(probe) ? SettingsFileState::kUsable : SettingsFileState::kCannotBeRead;
}

int EndOnSettingsFile(ErrorLog& log, SettingsFileState state, WideView path) {
  log.Log(state == SettingsFileState::kNotFound ? messages::kSettingsFileNotFound
                                                           : messages::kSettingsFileCannotBeRead,
                     path);
  return kExitFailures;
}

int RunChecked(const RunEnvironment& environment, const UnattendedRequest& request, RunPreview* preview) {
  ErrorLog& log = environment.errorLog;
  // A named file that was missing when the command line was read stays the error even if something has
  // appeared under its name since; only the reason logged follows what a lookup says now.
  if (!request.missingSettingsFile.empty()) {
    const WideString& missing = request.missingSettingsFile;
    SettingsFileState state = LookUpSettingsFile(missing);
    return EndOnSettingsFile(log, state == SettingsFileState::kUsable ? SettingsFileState::kNotFound : state, missing);
  }
  const WideString& settingsFile = request.settingsFile;
  SettingsFileState state = CheckSettingsFile(settingsFile);
  if (state != SettingsFileState::kUsable) return EndOnSettingsFile(log, state, settingsFile);

  JobList jobs;
  BackupOptions options;
  LoadJob(environment.jobIni, settingsFile, jobs, options);
  // The file may have changed since it was checked; the job store then must not save what it holds over it.
  if (!IsUsableStore(environment.jobIni)) {
    environment.jobIni.SetAutoSave(false);
    return EndOnSettingsFile(log, SettingsFileState::kCannotBeRead, settingsFile);
  }

  // Passive shows the progress window, asking nothing unless the user presses Cancel; Quiet shows nothing.
  HiddenProgressView hidden;
  ProgressWindow window;
  ProgressView& view = request.uiMode == UiMode::kPassive && !preview ? static_cast<ProgressView&>(window) : hidden;
  WindowsPower power;
  RunController controller(environment.progress, log, view, power, environment.osVersion);
  IniCertificatePins pins(environment.appIni);
  controller.SetCertificatePins(&pins);
  controller.SetFtpTransfers(FtpTransfersSetting(environment.appIni));
  controller.SetDeleteLimit(DeleteLimitSetting(environment.jobIni));
  controller.SetKeepVersions(KeepVersionsSetting(environment.jobIni));
  controller.SetUnattended(true);
  if (preview) {
    controller.SetPreview(preview);
  } else {
    controller.SetHistory(environment.history, settingsFile);
  }
  controller.Prepare(options);
  return ExitCodeOf(controller.Run(jobs));
}

}  // namespace

int RunUnattended(const RunEnvironment& environment, const UnattendedRequest& request) {
  if (!request.preview) return RunChecked(environment, request, nullptr);
  PreviewPlan plan;
  environment.errorLog.SendTo([&plan](WideView message) { plan.Problem(message); });
  int exitCode = RunChecked(environment, request, &plan);
  environment.errorLog.SendTo(nullptr);
  return WritePreviewReport(request.previewReport, PreviewReportText(plan)) ? exitCode : kExitFailures;
}
