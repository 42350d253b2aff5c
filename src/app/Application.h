#pragma once
// The one process object: paths, OS version, run mode, and the two INI stores every subsystem reaches.

#include "base/AppPaths.h"
#include "app/CommandLine.h"
#include "engine/ErrorLog.h"
#include "engine/RunProgress.h"
#include "ini/IniFile.h"
#include "run/RunEnvironment.h"

#include <windows.h>

class Application {
 public:
  // Reads the paths and the console user, enables the privileges, loads the application INI file and
  // carries out the one-time import. Cannot fail: a step that fails leaves its default.
  explicit Application(HINSTANCE moduleHandle);
  ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Parses the command line and hands control to the uninstaller, the monitor or the main window.
  // Returns the process exit code.
  int Run(const wchar_t* commandLine, int showCommand);

  // False means the work is done and the process ends now (after /Uninstall).
  [[nodiscard]] bool ApplyCommandLine(const wchar_t* commandLine);

  [[nodiscard]] HINSTANCE moduleHandle() const { return moduleHandle_; }
  [[nodiscard]] double osVersion() const { return osVersion_; }
  [[nodiscard]] UiMode uiMode() const { return uiMode_; }
  [[nodiscard]] uint32_t startFlags() const { return startFlags_; }
  [[nodiscard]] const AppPaths& paths() const { return paths_; }
  [[nodiscard]] const WideString& commandLine() const { return commandLine_; }
  [[nodiscard]] const WideString& settingsFileToLoad() const { return settingsFileToLoad_; }
  // The last settings file named on the command line when it names no existing file (see CommandLine.h).
  [[nodiscard]] const WideString& missingSettingsFile() const { return missingSettingsFile_; }
  [[nodiscard]] IniFile& appIni() { return appIni_; }
  [[nodiscard]] IniFile& jobIni() { return jobIni_; }
  [[nodiscard]] ErrorLog& errorLog() { return errorLog_; }
  // The progress of the one run a process may have at a time.
  [[nodiscard]] RunProgress& runProgress() { return runProgress_; }
  // What the windows and the unattended run are given of all this.
  [[nodiscard]] RunEnvironment runEnvironment() {
    return {appIni_, jobIni_, errorLog_, runProgress_, osVersion_, &history_};
  }

 private:
  [[nodiscard]] bool UpdateCheckWanted() const;
  [[nodiscard]] bool RestartAfterUpdate(int showCommand) const;

  HINSTANCE moduleHandle_;
  double osVersion_ = 0;
  UiMode uiMode_ = UiMode::kNormal;
  uint32_t startFlags_ = 0;
  AppPaths paths_;
  WideString commandLine_;
  WideString settingsFileToLoad_;
  WideString missingSettingsFile_;
  bool preview_ = false;
  WideString previewReport_;
  IniFile appIni_;
  IniFile jobIni_;
  ErrorLog errorLog_{L""};
  RunHistory history_{L""};
  RunProgress runProgress_;
};

// Carries "SkipStrictWarning" over from the user's settings file of older versions into the application
// INI file, once: afterwards "Imported m_appini" is "1" and the import never runs again.
void RunOneTimeImport(IniFile& appIni, WideView defaultSettingsPath);
