#include "setup/SettingsWindow.h"

#include "base/FileSystem.h"
#include "base/Process.h"
#include "engine/ForceDelete.h"
#include "schedule/LogonTask.h"
#include "schedule/Monitor.h"
#include "schedule/Schedule.h"
#include "schedule/ScheduleEditor.h"
#include "ui/Controls.h"
#include "ui/DialogWindow.h"
#include "ui/ListView.h"
#include "ui/Drawing.h"
#include "ui/MessageBox.h"
#include "update/UpdateCheck.h"

namespace {

constexpr int kWidth = 745;
constexpr int kHeight = 494;
constexpr wchar_t kTitle[] = L"Brimlark Backup settings";
constexpr wchar_t kSettingsSection[] = L"Settings";
constexpr wchar_t kAutoUpdate[] = L"AutoUpdate";

UniqueBitmap Box(bool ticked) {
  return CheckBoxPicture(14, ticked ? kCheckRounded | kCheckTick : kCheckRounded, 0xFF005F00);
}

class SettingsWindow {
 public:
  SettingsWindow(UiWindow* owner, SettingsContext& context) : owner_(owner), context_(context) {}

  SettingsOutcome Run(SettingsPage page);

 private:
  bool Create();
  void BuildInstallationPage();
  void BuildUpdatesPage();
  void BuildSchedulesPage();
  void ShowInstallation();
  void FollowInstallBox();
  // True when the program must end: the uninstaller goes on in another process.
  bool Apply();
  void ClearErrorLog();
  void AutoUpdateChanged();
  bool UpdateNow();
  void FillSchedules();
  void EditSelectedSchedule(bool adding);
  void DeleteSelectedSchedule();
  void SchedulesBoxChanged();
  void StartMonitorNow();
  // Keeps the window painted while it waits for the monitor; what the user does meanwhile waits.
  void PumpWhileWaiting() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
  }
  [[nodiscard]] bool Checked(int id) const { return (window_.GetState(id) & kStateChecked) != 0; }
  void SetChecked(int id, bool checked) { (void)window_.SetState(id, checked ? kStateChecked : kStateUnchecked); }
  void SetEnabled(int id, bool enabled) { (void)window_.SetState(id, enabled ? kStateEnable : kStateDisable); }
  int Ask(WideView text, MessageKind kind, int height = 150) { return box_.Ask(&window_, text, kind, height, 380); }
  [[nodiscard]] UiEvent& events() { return owner_ ? owner_->event() : window_.event(); }
  const UiEvent& WaitEvent() { return owner_ ? owner_->WaitEvent() : window_.WaitEvent(); }

  UiWindow* owner_;
  SettingsContext& context_;
  UiWindow window_;
  MessageBoxWindow box_;
  int close_ = 0;
  int tabs_ = 0;
  int install_ = 0, unattendedShortcut_ = 0, normalShortcut_ = 0, uninstallEntry_ = 0, associate_ = 0;
  int clearLog_ = 0, apply_ = 0;
  int autoUpdate_ = 0, updateNow_ = 0, updateStatus_ = 0;
  int schedules_ = 0, schedulesEnabled_ = 0, startMonitor_ = 0, addSchedule_ = 0, editSchedule_ = 0,
      deleteSchedule_ = 0;
};

bool SettingsWindow::Create() {
  if (!OpenDialogWindow(window_, owner_, kTitle, kWidth, kHeight, kDefaultExtendedStyle,
                        DialogFace(kWidth, kHeight, kHeight, 4))) {
    return false;
  }

  // The caption on a band of the main window's colours, with its close button.
  (void)AddSubWindow(window_, 2, 2, kWidth - 4, 38, UniqueBrush(CreatePatternBrush(GradientBand().get())));
  window_.SetDefaultColours(static_cast<int32_t>(RGB(255, 255, 255)), kHollow);
  window_.SetDefaultResize(kClipFromParent | kDragsWindow);
  (void)AddLabel(window_, kTitle, 50, 5, 656, 35);
  (void)SetControlFont(window_, -1, 13, 700, 1);
  close_ = AddCloseButton(window_, kWidth - 32, 5);
  window_.CloseContainer();
  window_.SetDefaultColours(0, kTransparent);
  window_.SetDefaultResize(kClipFromParent);

  tabs_ = AddTabControl(window_, 6, 46, kWidth - 12, kHeight - 50);
  BuildInstallationPage();
  BuildUpdatesPage();
  BuildSchedulesPage();
  return true;
}

void SettingsWindow::BuildInstallationPage() {
  (void)AddTabPage(window_, tabs_, L"Installation");
  auto box = [&](WideView text, int x, int y, int width) { return AddCheckBox(window_, text, Box(false), Box(true), x, y, width, kStateUnchecked); };
  install_ = box(L" Install Brimlark Backup in this PC (recommended)", 30, 70, 330);
  unattendedShortcut_ = box(L" Create desktop shortcut for unattended backup", 40, 100, 330);
  normalShortcut_ = box(L" Create normal desktop shortcut to launch Brimlark Backup", 40, 130, 370);
  uninstallEntry_ = box(L" Create uninstall entry, to completely remove Brimlark Backup", 40, 160, 380);
  associate_ = box(L" Associate Brimlark Backup with .brlk files", 30, 220, 380);
  clearLog_ = AddPushButton(window_, L"Clear error log", 450, 385, 110, 30);
  apply_ = AddPushButton(window_, L"Apply", 590, 383, 110, 32, BS_DEFPUSHBUTTON | WS_TABSTOP);
  window_.CloseContainer();
}

void SettingsWindow::BuildUpdatesPage() {
  (void)AddTabPage(window_, tabs_, L"Auto update");
  (void)AddLabel(window_, L"Auto update:", 20, 255, 200, 20);
  autoUpdate_ = AddCheckBox(window_, L" Enable automatic updates at application startup", Box(false), Box(true), 10, 285,
                            310, kStateUnchecked);
  updateNow_ = AddPushButton(window_, L"Update now", 330, 280, 100, 26);
  (void)SetTooltip(window_, updateNow_,
                   L"Update Brimlark Backup now if a new version is available (internet connection needed)");
  updateStatus_ = AddLabel(window_, L"", 20, 330, 680, 40);
  window_.CloseContainer();
  bool enabled = text::EqualsNoCase(text::View(context_.appIni.GetString(kSettingsSection, kAutoUpdate, L"1")), L"1");
  SetChecked(autoUpdate_, enabled);
}

void SettingsWindow::BuildSchedulesPage() {
  (void)AddTabPage(window_, tabs_, L"Scheduled backups");
  schedules_ = AddListView(window_, L"Schedule's name\nStart date/time\nRepeat\nUI mode\nBackup configuration file", 10,
                           10, kWidth - 40, 300);
  schedulesEnabled_ = AddCheckBox(window_, L" Enable scheduled backups", Box(false), Box(true), 12, 330, 180,
                                  kStateUnchecked);
  (void)SetTooltip(window_, schedulesEnabled_, L"This will create a scheduled task that runs Brimlark Backup automatically");
  startMonitor_ = AddPushButton(window_, L"Start", 200, 327, 60, 22);
  (void)SetTooltip(window_, startMonitor_, L"Start monitoring the scheduled backups now");
  addSchedule_ = AddPushButton(window_, L"   Add", kWidth - 370, 370, 100, 28);
  (void)SetTooltip(window_, addSchedule_, L"Add a new scheduled backup to the list");
  editSchedule_ = AddPushButton(window_, L"   Edit", kWidth - 260, 370, 100, 28);
  (void)SetTooltip(window_, editSchedule_, L"Edit the selected scheduled backup");
  deleteSchedule_ = AddPushButton(window_, L"   Delete", kWidth - 150, 370, 100, 28);
  (void)SetTooltip(window_, deleteSchedule_, L"Delete the selected scheduled backup");
  window_.CloseContainer();
  FillSchedules();
  std::optional<WideString> program = RegisteredMonitorProgram();
  text::FindOptions anyCase;
  anyCase.caseSensitive = false;
  bool enabled = program && text::Find(*program, context_.paths.modulePath, anyCase) != 0;
  SetChecked(schedulesEnabled_, enabled);
  SetEnabled(startMonitor_, enabled);
}

void SettingsWindow::FillSchedules() {
  for (const Schedule& schedule : EnumerateSchedules(context_.appIni)) {
    std::optional<std::array<WideString, 4>> cells = RenderScheduleRow(schedule.Text(false));
    if (!cells) continue;
    (void)AddListRow(window_, schedules_,
                     text::Concat(schedule.name, L"\n", (*cells)[0], L"\n", (*cells)[1], L"\n", (*cells)[2], L"\n", (*cells)[3]));
  }
}

void SettingsWindow::EditSelectedSchedule(bool adding) {
  int selected = adding ? -1 : SelectedListRow(window_, schedules_);
  if (!adding && selected < 0) return;
  std::array<WideString, 5> row;
  if (!adding) {
    for (int column = 0; column < 5; ++column) row[static_cast<size_t>(column)] = ListCell(window_, schedules_, selected, column);
  }
  int result = EditSchedule(window_, adding ? WideView() : WideView(row[0]), context_.appIni, context_.paths, row);
  if (result == 0) return;
  if (adding) {
    selected = AddListRow(window_, schedules_, row[0]);
    if (selected < 0) return;
  }
  for (int column = adding ? 1 : 0; column < 5; ++column) {
    (void)SetListCell(window_, schedules_, selected, column, row[static_cast<size_t>(column)]);
  }
}

void SettingsWindow::DeleteSelectedSchedule() {
  int selected = SelectedListRow(window_, schedules_);
  if (selected < 0) return;
  if (Ask(L"Are you sure you want to delete the selected schedule?", MessageKind::kYesNo) != 1) return;
  if (DeleteSchedule(context_.appIni, ListCell(window_, schedules_, selected, 0))) {
    (void)DeleteListRow(window_, schedules_, selected);
  } else {
    (void)Ask(L"Sorry, the schedule could not be deleted from the settings INI file.", MessageKind::kOk);
  }
}

void SettingsWindow::SchedulesBoxChanged() {
  if (Checked(schedulesEnabled_)) {
    if (ListRowCount(window_, schedules_) == 0) {
      SetChecked(schedulesEnabled_, false);
      (void)Ask(L"It is useless to enable this feature with no scheduled backups created.\r\nPlease add one or more "
                L"scheduled backups to the list before enabling them.",
                MessageKind::kOk, 160);
    } else if (StartScheduledBackupsMonitor(context_.paths, [this] { PumpWhileWaiting(); })) {
      SetEnabled(startMonitor_, true);
      (void)Ask(L"The Scheduled Backups Monitor task was successfully enabled and started.\r\nClick the tray icon for "
                L"additional options.",
                MessageKind::kOk, 160);
    } else {
      SetChecked(schedulesEnabled_, false);
      (void)Ask(L"Sorry, an unexpected error occurred while trying to enable the scheduled backups.\r\nPlease try again "
                L"later or report this bug to us.",
                MessageKind::kOk, 160);
    }
    return;
  }
  SetEnabled(startMonitor_, false);
  if (!StopScheduledBackupsMonitor()) {
    SetChecked(schedulesEnabled_, true);
    SetEnabled(startMonitor_, true);
  }
}

void SettingsWindow::StartMonitorNow() {
  if (!FindScheduledBackupsMonitor()) {
    if (!LaunchProcess(context_.paths.modulePath, L" /ScheduledBackups", context_.paths.appDirectory, SW_SHOWNORMAL)) {
      (void)Ask(L"Sorry, the Scheduled Backups Monitor task could not be started.", MessageKind::kOk);
      return;
    }
    // The monitor's window shows that it is up; about two seconds at most.
    for (int round = 0; round < 100 && !FindScheduledBackupsMonitor(); ++round) {
      Sleep(20);
      PumpWhileWaiting();
    }
  }
  (void)Ask(L"The Scheduled Backups Monitor task was successfully started.\r\nClick the tray icon for additional options.",
            MessageKind::kOk, 160);
}

// The boxes as the installation stands: the shortcuts belong to an installed program.
void SettingsWindow::ShowInstallation() {
  InstallChoices now = CurrentInstallation(context_.installPaths);
  SetChecked(install_, now.install);
  SetChecked(unattendedShortcut_, now.install && now.unattendedShortcut);
  SetChecked(normalShortcut_, now.install && now.normalShortcut);
  SetChecked(uninstallEntry_, now.uninstallEntry);
  SetChecked(associate_, now.associate);
  FollowInstallBox();
}

void SettingsWindow::FollowInstallBox() {
  bool install = Checked(install_);
  for (int id : {unattendedShortcut_, normalShortcut_}) {
    if (!install) SetChecked(id, false);
    SetEnabled(id, install);
  }
}

bool SettingsWindow::Apply() {
  InstallChoices wanted;
  wanted.install = Checked(install_);
  wanted.unattendedShortcut = Checked(unattendedShortcut_);
  wanted.normalShortcut = Checked(normalShortcut_);
  wanted.uninstallEntry = Checked(uninstallEntry_);
  wanted.associate = Checked(associate_);
  ApplyResult result = ApplyInstallation(context_.installPaths, context_.paths, wanted);
  if (result.endProgram) return true;
  ShowInstallation();
  if (result.succeeded) {
    box_.ShowTip(window_, L"The installation settings were applied.", 100, 220);
  } else {
    (void)Ask(ApplyFailureText(result), MessageKind::kOk, 170);
  }
  return false;
}

void SettingsWindow::ClearErrorLog() {
  if (Ask(L"Are you sure you want to clear the error log?", MessageKind::kYesNo) != 1) return;
  if (ForceDelete(context_.paths.errorLogPath, 0) == ForceDeleteResult::kFailed) {
    (void)Ask(L"Sorry, the error log could not be cleared.\r\n\r\nIt may be open in another program.", MessageKind::kOk);
  }
}

void SettingsWindow::AutoUpdateChanged() {
  bool enabled = Checked(autoUpdate_);
  context_.appIni.SetString(kSettingsSection, kAutoUpdate, enabled ? L"1" : L"0");
  (void)SetControlText(window_, updateStatus_,
                       enabled ? L"Brimlark Backup will look for a new version each time it starts."
                               : L"Automatic updates are off: use \"Update now\" to look for a new version.");
}

bool SettingsWindow::UpdateNow() {
  if (RunUpdateCheck(context_.paths, context_.appIni, UiMode::kNormal, &window_) == UpdateOutcome::kNewVersionInstalled) {
    return true;
  }
  (void)Ask(L"You have no update available at this moment.", MessageKind::kOk, 120);
  return false;
}

SettingsOutcome SettingsWindow::Run(SettingsPage page) {
  UiEvent before = events();
  if (!Create()) return SettingsOutcome::kClosed;
  ShowInstallation();
  (void)SelectTabPage(window_, tabs_, static_cast<int>(page));
  OwnerDisabled ownerDisabled(owner_);
  window_.Show(SW_SHOWNORMAL, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);

  SettingsOutcome outcome = SettingsOutcome::kClosed;
  bool ownCloseRequest = false;
  for (bool waiting = true; waiting;) {
    const UiEvent& event = WaitEvent();
    if (event.code == kEventQuit) break;
    if (event.code == kEventClose) {
      ownCloseRequest = event.window == window_.handle();
      break;
    }
    if (event.source != &window_) continue;
    if (event.code == close_) {
      waiting = false;
    } else if (event.code == install_) {
      FollowInstallBox();
    } else if (event.code == apply_) {
      if (Apply()) {
        outcome = SettingsOutcome::kEndProgram;
        waiting = false;
      }
    } else if (event.code == clearLog_) {
      ClearErrorLog();
    } else if (event.code == autoUpdate_) {
      AutoUpdateChanged();
    } else if (event.code == addSchedule_ || event.code == editSchedule_ ||
               (event.code == kEventDoubleClick && event.param == schedules_)) {
      EditSelectedSchedule(event.code == addSchedule_);
    } else if (event.code == deleteSchedule_) {
      DeleteSelectedSchedule();
    } else if (event.code == schedulesEnabled_) {
      SchedulesBoxChanged();
    } else if (event.code == startMonitor_) {
      StartMonitorNow();
    } else if (event.code == updateNow_) {
      if (UpdateNow()) {
        outcome = SettingsOutcome::kRestartAfterUpdate;
        waiting = false;
      }
    }
  }
  ownerDisabled.Restore();
  window_.CloseModal(before, !ownCloseRequest);
  return outcome;
}

}  // namespace

SettingsOutcome OpenSettingsWindow(UiWindow* owner, SettingsPage page, SettingsContext& context) {
  SettingsWindow window(owner, context);
  return window.Run(page);
}
