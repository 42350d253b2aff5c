#include "app/Application.h"

#include "app/ConsoleUser.h"
#include "app/OsVersion.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "engine/Permissions.h"
#include "mainwnd/MainWindow.h"
#include "run/UnattendedRun.h"
#include "schedule/Monitor.h"
#include "setup/SettingsWindow.h"
#include "setup/Uninstall.h"
#include "update/UpdateCheck.h"

void RunOneTimeImport(IniFile& appIni, WideView defaultSettingsPath) {
  if (text::ParseDecimal(text::View(appIni.GetString(L"Settings", L"Imported m_appini", L"0"))) != 0) return;
  IniFile oldSettings(defaultSettingsPath);
  int64_t skipStrictWarning = text::ParseDecimal(text::View(oldSettings.GetString(L"Settings", L"SkipStrictWarning", L"0")));
  if (skipStrictWarning != 0) appIni.SetString(L"Settings", L"SkipStrictWarning", text::Decimal(skipStrictWarning));
  appIni.SetString(L"Settings", L"Imported m_appini", L"1");
}

Application::Application(HINSTANCE moduleHandle) : moduleHandle_(moduleHandle) {
  osVersion_ = QueryOsVersion();
  // Missing removable media must never raise a system dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  EnableProcessPrivileges();

  paths_ = DeriveAppPaths(QueryModulePath(), RemoveForbiddenFileNameCharacters(QueryConsoleUserName()));
  errorLog_ = ErrorLog(paths_.errorLogPath);
  history_ = RunHistory(paths_.historyPath);
  appIni_.Load(paths_.appIniPath);
  RunOneTimeImport(appIni_, paths_.defaultSettingsPath);

  appIni_.SetAutoSave(true);
  jobIni_.SetAutoSave(true);
}

bool Application::ApplyCommandLine(const wchar_t* commandLine) {
  CommandLineRequest request = ParseCommandLine(commandLine);
  if (request.uninstall) {
    // The uninstaller asks nothing when /Quiet came before /Uninstall.
    (void)RunUninstaller(paths_, appIni_, request.uiMode == UiMode::kQuiet);
    return false;
  }
  uiMode_ = request.uiMode;
  startFlags_ = request.startFlags;
  settingsFileToLoad_ = std::move(request.settingsFileToLoad);
  missingSettingsFile_ = std::move(request.missingSettingsFile);
  preview_ = request.preview;
  previewReport_ = std::move(request.previewReport);
  if (request.removeUpdateTemp && !request.preview) (void)ForceDelete(paths_.updateTempPath, 0);
  return true;
}

bool Application::UpdateCheckWanted() const {
  if (startFlags_ & kStartNoUpdate) return false;
  return text::EqualsNoCase(text::View(appIni_.GetString(L"Settings", L"AutoUpdate", L"1")), L"1");
}

bool Application::RestartAfterUpdate(int showCommand) const {
  WideString arguments = text::Concat(L"\"", paths_.modulePath, L"\" ", commandLine_, L" /PostUpdate");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(paths_.modulePath.c_str(), arguments.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int Application::Run(const wchar_t* commandLine, int showCommand) {
  commandLine_ = WideString(text::View(commandLine));
  if (!ApplyCommandLine(commandLine)) return 0;
  if (preview_) {
    // A preview writes nothing but its report: no settings, no log, no update.
    appIni_.SetReadOnly();
    jobIni_.SetReadOnly();
    UnattendedRequest request{UiMode::kQuiet,
                              settingsFileToLoad_.empty() ? paths_.defaultSettingsPath : settingsFileToLoad_,
                              missingSettingsFile_, true, previewReport_};
    return RunUnattended(runEnvironment(), request);
  }
  if (startFlags_ & kStartScheduledBackups) uiMode_ = UiMode::kPassive;

  if (UpdateCheckWanted() && RunUpdateCheck(paths_, appIni_, uiMode_) == UpdateOutcome::kNewVersionInstalled &&
      RestartAfterUpdate(showCommand)) {
    return 0;
  }

  if (startFlags_ & kStartScheduledBackups) {
    MonitorHooks hooks;
    hooks.checkForUpdate = [this] {
      return RunUpdateCheck(paths_, appIni_, UiMode::kPassive) == UpdateOutcome::kNewVersionInstalled
                 ? MonitorAction::kRestartAfterUpdate
                 : MonitorAction::kCarryOn;
    };
    hooks.manageScheduledBackups = [this](HWND) {
      SettingsContext context{paths_, appIni_};
      switch (OpenSettingsWindow(nullptr, SettingsPage::kScheduledBackups, context)) {
        case SettingsOutcome::kEndProgram: return MonitorAction::kEnd;
        case SettingsOutcome::kRestartAfterUpdate: return MonitorAction::kRestartAfterUpdate;
        case SettingsOutcome::kClosed: break;
      }
      return MonitorAction::kCarryOn;
    };
    return RunScheduledBackupsMonitor(paths_, runEnvironment(), hooks);
  }
  MainWindowStart start;
  start.uiMode = uiMode_;
  start.settingsFileToLoad = settingsFileToLoad_;
  start.missingSettingsFile = missingSettingsFile_;
  start.showCommand = showCommand;
  start.openSettings = [this](UiWindow& owner, int page) {
    SettingsContext context{paths_, appIni_};
    switch (OpenSettingsWindow(&owner, static_cast<SettingsPage>(page), context)) {
      case SettingsOutcome::kEndProgram: return SettingsAnswer::kEndProgram;
      case SettingsOutcome::kRestartAfterUpdate: return SettingsAnswer::kRestart;
      case SettingsOutcome::kClosed: break;
    }
    return SettingsAnswer::kCarryOn;
  };
  start.restartAfterUpdate = [this, showCommand] { return RestartAfterUpdate(showCommand); };
  return RunMainWindow(paths_, runEnvironment(), start);
}
