#pragma once
// The main window: the folder pairs of the loaded settings file as a check-box list, the backup mode and
// options, and the commands to load, save and start a backup. The owner builds it and runs its loop.

#include "base/AppPaths.h"
#include "jobs/JobModel.h"
#include "mainwnd/MainWindowStart.h"
#include "run/RunController.h"
#include "run/RunEnvironment.h"
#include "ui/MessageBox.h"
#include "ui/UiWindow.h"

class MainWindowFrame {
 public:
  MainWindowFrame(const AppPaths& paths, const RunEnvironment& environment, const MainWindowStart& start);
  MainWindowFrame(const MainWindowFrame&) = delete;
  MainWindowFrame& operator=(const MainWindowFrame&) = delete;

  // Builds the window, loads the settings file and shows the window. False when the window could not be made.
  [[nodiscard]] bool Open();
  // Handles events until the window is to close; returns the process exit code.
  int RunLoop();
  // One event; false when the loop ends with it.
  bool Handle(const UiEvent& event);

  // For tests.
  [[nodiscard]] UiWindow& window() { return window_; }
  [[nodiscard]] int listId() const { return list_; }
  [[nodiscard]] bool clean() const { return clean_; }
  [[nodiscard]] const WideString& currentFile() const { return currentFile_; }
  [[nodiscard]] int commandId(int index) const;  // see Command
  enum Command : int {
    kMoveUp, kMoveDown, kAdd, kEdit, kRemove, kCommon, kStrict, kRestore, kSync, kUpdateMethod, kSkipSystem,
    kSkipHidden, kErrorLog, kSettings, kOpen, kSave, kSaveAs, kStart, kClose, kMinimise, kMenuButton, kKeepVersions,
    kVersionDays, kPreview, kCommandCount
  };
  [[nodiscard]] JobList CollectJobs() const;
  [[nodiscard]] BackupOptions CollectOptions() const;

 private:
  void BuildTitleBand();
  void BuildList();
  void BuildOptions();
  void BuildCommands();
  void BuildMenus();
  void BuildAccelerators();
  void Load(const WideString& path);
  [[nodiscard]] bool SaveTo(const WideString& path);
  void ShowJobs(const JobList& jobs);
  void ShowOptions(const BackupOptions& options);
  void SetMode(int radio);
  // The days field as a number from 1 to 3650; what it last showed when it holds anything else.
  [[nodiscard]] uint32_t VersionDays() const;
  void UpdateCommands(bool force);
  // Asks whether to save unsaved changes; false when the user cancelled.
  [[nodiscard]] bool SaveChangesFirst();
  void ReportSaveFailure();
  // Says so when no pair is checked.
  [[nodiscard]] bool AnyPairChecked(const JobList& jobs);
  void StartBackup();
  // Runs the preview of the checked pairs, shows its plan, and runs the backup when the user starts it there.
  void Preview();
  // The run of jobs with the window's settings; with a preview, only its plan.
  RunSummary Run(const JobList& jobs, const BackupOptions& options, RunPreview* preview);
  // The backup after the strict warning, then its summary.
  void RunBackup(const JobList& jobs, const BackupOptions& options);
  void EditPairAt(int index, WideView dropped);
  void OpenLocation(int column);
  void ShowErrorLog();
  [[nodiscard]] bool Is(const UiEvent& event, Command command) const { return event.code == ids_[command]; }
  [[nodiscard]] int Ask(WideView text, MessageKind kind, int height);

  AppPaths paths_;
  RunEnvironment environment_;
  MainWindowStart start_;
  UiWindow window_;
  MessageBoxWindow box_;
  WideString currentFile_;
  bool clean_ = true;
  int lastSelection_ = -2;
  ULONGLONG menuClosedAt_ = 0;
  int ids_[kCommandCount] = {};
  int list_ = 0, status_ = 0, titleBand_ = 0, appMenu_ = 0, listMenu_ = 0;
  int versionLink_ = 0, helpLink_ = 0, donateLink_ = 0;
  int menuLoad_ = 0, menuSave_ = 0, menuSaveAs_ = 0, menuStart_ = 0, menuPreview_ = 0, menuViewLog_ = 0, menuClearLog_ = 0;
  int menuInstallation_ = 0, menuAutoUpdate_ = 0, menuSchedules_ = 0;
  int menuOpenSource_ = 0, menuOpenDestination_ = 0, menuAdd_ = 0, menuEdit_ = 0, menuRemove_ = 0;
  int menuRemoveAll_ = 0, menuCheckAll_ = 0, menuCheckNone_ = 0;
  int firstLocked_ = 0, lastLocked_ = 0;
  WideString daysShown_;  // what the days field showed last, typed or loaded
};
