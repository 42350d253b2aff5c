#include "mainwnd/MainWindowFrame.h"

#include "base/FileSystem.h"
#include "base/ProgramVersion.h"
#include "engine/ForceDelete.h"
#include "jobs/SettingsFile.h"
#include "mainwnd/JobStatus.h"
#include "mainwnd/PairEditor.h"
#include "mainwnd/PreviewWindow.h"
#include "ui/ShellLink.h"
#include "mainwnd/StrictWarning.h"
#include "res/ResourceIds.h"
#include "run/IniCertificatePins.h"
#include "run/ProgressWindow.h"
#include "run/RunController.h"
#include "run/SystemPower.h"
#include "ui/CommonDialogs.h"
#include "ui/Controls.h"
#include "ui/Drawing.h"
#include "ui/Images.h"
#include "ui/ListView.h"
#include "ui/Menus.h"

#include <algorithm>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 550;
// Where the program's links lead; only the paths below are fixed.
constexpr WideView kWebSite = L"https://brimlark.example";

constexpr wchar_t kFileFilter[] = L"Brimlark Backup files (*.brlk)|*.brlk";
constexpr int kListColumns = 5;  // source, destination, item id, and the two stored FTP forms
constexpr uint32_t kMaxVersionDays = 3650;

UniqueBitmap Picture(int id, int size) { return LoadImageResourceBitmap(nullptr, id, size, size, 0xFFFEFEFE); }

// Three light panels on a dark ground.
UniqueBitmap Background() {
  Gdiplus::Bitmap canvas(kWidth, kHeight, PixelFormat32bppPARGB);
  {
    Gdiplus::Graphics graphics(&canvas);
    graphics.Clear(Gdiplus::Color(0xFF001818));
  }
  (void)FillRoundedRectangle(canvas, 7, 60, 736, 215, 0xFFFEFEFE, 8);
  (void)FillRoundedRectangle(canvas, 7, 280, 570, 262, 0xFFFEFEFE, 8);
  (void)FillRoundedRectangle(canvas, 582, 280, 161, 262, 0xFFFEFEFE, 8);
  return ToBitmap(canvas, 0xFF001818);
}

void OpenWithShell(WideView target) {
  WideString text(target);
  if (!text.empty()) ShellExecuteW(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Lets drops from windows of a lower integrity level through, where the system has such a filter.
void AcceptDropsFromUnelevatedWindows() {
  using Filter = BOOL(WINAPI*)(UINT, DWORD);
  auto filter = reinterpret_cast<Filter>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"User32.dll"), "ChangeWindowMessageFilter")));
  if (!filter) return;
  for (UINT message : {0x233u, 0x49u, 0x84u}) filter(message, 1 /* MSGFLT_ADD */);
}

}  // namespace

MainWindowFrame::MainWindowFrame(const AppPaths& paths, const RunEnvironment& environment, const MainWindowStart& start)
    : paths_(paths), environment_(environment), start_(start) {
  currentFile_ = start.settingsFileToLoad.empty() ? paths.defaultSettingsPath : start.settingsFileToLoad;
}

int MainWindowFrame::commandId(int index) const { return index >= 0 && index < kCommandCount ? ids_[index] : 0; }

bool MainWindowFrame::Open() {
  if (!window_.Create(L"BRIMLARK_CLASS", L"Brimlark Backup", kWidth, kHeight, kCentred, kCentred, kDefaultWindowStyle,
                      kDefaultExtendedStyle, nullptr)) {
    return false;
  }
  window_.SetShape(8);
  window_.SetBackgroundBitmap(Background(), BackgroundMode::kPattern);
  BuildTitleBand();
  firstLocked_ = window_.ControlCount() + 1;
  BuildList();
  BuildOptions();
  BuildCommands();
  lastLocked_ = window_.ControlCount();
  BuildMenus();
  BuildAccelerators();
  AcceptDropsFromUnelevatedWindows();
  Load(currentFile_);
  if (start_.uiMode != UiMode::kQuiet) window_.Show(SW_SHOW, UiWindow::kShowActivate | UiWindow::kShowAsync);
  window_.Flush();
  // A finished update leaves its download behind until the new version has started.
  if (IsExistingFile(paths_.updateTempPath)) (void)ForceDelete(paths_.updateTempPath, 0);
  return true;
}

void MainWindowFrame::BuildTitleBand() {
  UniqueBitmap band = GradientBand();
  titleBand_ = AddSubWindow(window_, 2, 0, 746, 55, UniqueBrush(CreatePatternBrush(band.get())));
  window_.SetDefaultColours(static_cast<int32_t>(RGB(255, 255, 255)), kHollow);
  window_.SetDefaultResize(kClipFromParent | kDragsWindow);
  (void)AddIcon(window_, LoadIconResource(nullptr, IDI_PROGRAM, 48).get(), 4, 6, 48, 48);
  (void)AddLabel(window_, L"Brimlark Backup", 68, 16, 280, 30);
  (void)SetControlFont(window_, -1, 14, 800, 1);
  status_ = AddLabel(window_, L"", 348, 12, 325, 18, SS_RIGHT | SS_NOTIFY);
  ids_[kMinimise] = AddMinimiseButton(window_);
  ids_[kClose] = AddCloseButton(window_, 718, 3);
  versionLink_ = AddLink(window_, text::Concat(L"v", kProgramVersion), text::Concat(kWebSite, L"/brimlark_backup/about.php?ver=", kProgramVersion), 498, 65);
  (void)SetTooltip(window_, versionLink_, L"Check if there's a new version available");
  helpLink_ = AddLink(window_, L"Help", text::Concat(kWebSite, L"/brimlark_backup/"), 578, 40);
  (void)SetTooltip(window_, helpLink_, L"Go to Brimlark Backup's online help page");
  donateLink_ = AddLink(window_, L"Donate", text::Concat(kWebSite, L"/donate/?p=Brimlark_Backup"), 638, 50);
  (void)SetTooltip(window_, donateLink_, L"Help improve this application by donating");
  UniqueBitmap menuPicture = Picture(IDIMG_APP_MENU, 22);
  ids_[kMenuButton] = AddPicture(window_, menuPicture.get(), 718, 30, 22, 22);
  SetControlCursor(window_, ids_[kMenuButton], LoadCursorW(nullptr, IDC_HAND));
  (void)SetTooltip(window_, ids_[kMenuButton], L"Show the application menu");
  window_.CloseContainer();
  window_.SetDefaultResize(0);
  window_.SetDefaultColours(0, static_cast<int32_t>(RGB(254, 254, 254)));
}

void MainWindowFrame::BuildList() {
  list_ = AddListView(window_, L"  Source location\n  Backup location\n  Item ID\n  Encrypted0\n  Encrypted1", 12, 65, 726,
                      170, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  const int widths[kListColumns] = {352, 352, 0, 0, 0};
  for (int column = 0; column < kListColumns; ++column) (void)SetListColumnWidth(window_, list_, column, widths[column]);
  UniqueIcon pairIcon = LoadIconResource(nullptr, IDI_FOLDER_PAIR, 16);
  (void)SetListSmallIcon(window_, list_, pairIcon.get(), 16);
  UniqueBitmap unchecked = CheckBoxPicture(16, 0, 0xFF203000);
  UniqueBitmap checked = CheckBoxPicture(16, kCheckTick, 0xFF203000);
  (void)SetListCheckPictures(window_, list_, unchecked.get(), checked.get(), 16);
  (void)SetTooltip(window_, list_, L"To quickly add a folder pair, drop the source folder over this list\r\n"
                                   L"You can use environment variables such as %UserProfile%");
  SetListSortable(window_, list_, true);

  struct ButtonSpec {
    Command command;
    const wchar_t* text;
    int picture, x, width;
    const wchar_t* tip;
  };
  const ButtonSpec buttons[] = {
      {kMoveUp, L"", IDIMG_MOVE_UP, 137, 28, L"Move the selected item up\tCtrl+U"},
      {kMoveDown, L"", IDIMG_MOVE_DOWN, 175, 28, L"Move the selected item down\tCtrl+D"},
      {kAdd, L"   Add folder pair", IDIMG_ADD_PAIR, 235, 150, L"Add a source / destination pair to the list"},
      {kEdit, L"   Edit selected", IDIMG_EDIT_PAIR, 405, 150, L"Edit the selected folder pair"},
      {kRemove, L"   Remove selected", IDIMG_REMOVE_PAIR, 575, 150, L"Remove the selected folder pair from the list"},
  };
  for (const ButtonSpec& spec : buttons) {
    ids_[spec.command] = AddImageButton(window_, spec.text, Picture(spec.picture, 18), spec.x, 241, spec.width, 28);
    (void)SetTooltip(window_, ids_[spec.command], spec.tip);
  }
  (void)window_.SetState(ids_[kEdit], kStateDisable);
  (void)window_.SetState(ids_[kRemove], kStateDisable);
}

void MainWindowFrame::BuildOptions() {
  for (auto [text, y] : {std::pair{L"Backup mode", 290}, std::pair{L"Backup options", 424}}) {
    int caption = AddLabel(window_, text, 107, y, 370, 18, SS_CENTER);
    (void)SetControlFont(window_, caption, 10, 400, 1);
    (void)SetControlColours(window_, caption, static_cast<int32_t>(RGB(0, 0, 0xA0)), kTransparent);
  }
  window_.SetDefaultColours(0, kTransparent);
  struct RadioSpec {
    Command command;
    const wchar_t* text;
    int y, width;
    const wchar_t* tip;
  };
  const RadioSpec radios[] = {
      {kCommon, L" Common backup. Copy files from source to destination, overwriting existing files.", 314, 500,
       L"This mode makes a regular backup.\r\nCheck \"Use update method\" to copy only files modified since the last backup."},
      {kStrict, L" Strict backup. Additionally delete destination files, not existing on source.", 340, 500,
       L"This mode creates a backup containing exactly the same files as the source.\r\nIf files or folders were "
       L"deleted in the source, they are deleted in the destination as well.\r\nPlease use care when selecting the "
       L"folders in this mode."},
      {kRestore, L" Restore mode. Copy files from destination to source, overwriting source files.", 366, 500,
       L"This is your life saver mode.\r\nIf your files get lost or corrupted, switch to this mode to recover them."},
      {kSync, L" Sync mode. Copy newest files from source to destination, and from destination to source.", 392, 540,
       L"In synchronization mode, modified/created files are copied in both directions:\r\nFrom source to "
       L"destination, and from destination to source."},
  };
  window_.StartGroup();
  for (const RadioSpec& spec : radios) {
    ids_[spec.command] = AddRadioButton(window_, spec.text, RadioButtonPicture(false), RadioButtonPicture(true), 20,
                                        spec.y, spec.width, spec.command == kCommon ? kStateChecked : kStateUnchecked);
    (void)SetTooltip(window_, ids_[spec.command], spec.tip);
  }
  struct BoxSpec {
    Command command;
    const wchar_t* text;
    int x, y, width;
    const wchar_t* tip;
  };
  const BoxSpec boxes[] = {
      {kUpdateMethod, L" Use update method (faster). Overwrite only outdated files in the destination.", 20, 450, 460,
       L"When this option is selected, only files created/modified since the last backup are copied.\r\nUseful to "
       L"quickly update an existing backup."},
      {kKeepVersions, L" Keep deleted and replaced files for", 20, 504, 215,
       L"What a backup deletes or replaces is moved to the \"Brimlark versions\" folder of the backup and kept there "
       L"for this many days.\r\nUncheck to delete and replace files for good."},
      {kSkipSystem, L" Skip copying system files.", 20, 477, 180,
       L"Whether to skip copying files with SYSTEM attributes (recommended)."},
      {kSkipHidden, L" Skip copying hidden files.", 280, 477, 180,
       L"Whether to skip copying files with HIDDEN attributes (recommended)."},
  };
  window_.StartGroup();
  for (const BoxSpec& spec : boxes) {
    ids_[spec.command] = AddCheckBox(window_, spec.text, CheckBoxPicture(14, kCheckRounded, 0xFF005F00),
                                     CheckBoxPicture(14, kCheckRounded | kCheckTick, 0xFF005F00), spec.x, spec.y,
                                     spec.width, kStateUnchecked);
    (void)SetTooltip(window_, ids_[spec.command], spec.tip);
  }
  ids_[kVersionDays] = AddInputField(window_, text::DecimalUnsigned(kDefaultKeepVersions), 240, 503, 45, 20,
                                     ES_NUMBER | ES_AUTOHSCROLL | ES_CENTER);
  SendMessageW(window_.ControlHandle(ids_[kVersionDays]), EM_LIMITTEXT, 4, 0);
  (void)SetTooltip(window_, ids_[kVersionDays], L"From 1 to 3650 days");
  (void)AddLabel(window_, L"days", 292, 506, 40, 18);
}

void MainWindowFrame::BuildCommands() {
  window_.SetDefaultColours(-1, static_cast<int32_t>(RGB(254, 254, 254)));
  struct CommandSpec {
    Command command;
    const wchar_t* text;
    int picture, y;
    const wchar_t* tip;
  };
  const CommandSpec commands[] = {
      {kErrorLog, L"  Error log", IDIMG_ERROR_REPORT, 288, nullptr},
      {kSettings, L"  Settings", IDIMG_SETTINGS, 322, nullptr},
      {kOpen, L"  Open", IDIMG_OPEN, 356, L"Load a previously saved Brimlark Backup file."},
      {kSave, L"  Save", IDIMG_SAVE, 390, L"Save the backup settings in the currently loaded Brimlark Backup file."},
      {kSaveAs, L"  Save as...", IDIMG_SAVE_AS, 424,
       L"Save the backup settings to a custom Brimlark Backup file, so you can load them later."},
      {kPreview, L"  Preview", IDIMG_BROWSE_FOLDER, 458,
       L"See what the backup would do, without doing it (Ctrl+P)"},
  };
  for (const CommandSpec& spec : commands) {
    ids_[spec.command] = AddImageButton(window_, spec.text, Picture(spec.picture, 20), 605, spec.y, 110, 30);
    if (spec.tip) (void)SetTooltip(window_, ids_[spec.command], spec.tip);
  }
  ids_[kStart] = AddImageButton(window_, L"  Start backup", Picture(IDIMG_START, 32), 590, 495, 150, 40);
  (void)SetControlFont(window_, ids_[kStart], 12, 800, 1);
  (void)SetTooltip(window_, ids_[kStart], L"Start backing up / restoring the selected folders (Ctrl+Enter)");
}

void MainWindowFrame::BuildMenus() {
  int check = GetSystemMetrics(SM_CXMENUCHECK);
  appMenu_ = AddPopupMenu(window_);
  auto item = [&](int menu, const wchar_t* text, int picture) {
    return AddMenuItem(window_, menu, text, -1, 0, picture ? Picture(picture, check) : UniqueBitmap());
  };
  auto separator = [&](int menu) { (void)AddMenuItem(window_, menu, L"", -1, kMenuItemSeparator); };
  menuLoad_ = item(appMenu_, L"Load backup file\tCtrl+O", IDIMG_OPEN);
  menuSave_ = item(appMenu_, L"Save backup file\tCtrl+S", IDIMG_SAVE);
  menuSaveAs_ = item(appMenu_, L"Save backup as...\tAlt+S", IDIMG_SAVE_AS);
  separator(appMenu_);
  menuStart_ = item(appMenu_, L"Start backup\tCtrl+Enter", IDIMG_START);
  menuPreview_ = item(appMenu_, L"Preview\tCtrl+P", IDIMG_BROWSE_FOLDER);
  separator(appMenu_);
  menuViewLog_ = item(appMenu_, L"View error report\tCtrl+R", IDIMG_ERROR_REPORT);
  menuClearLog_ = item(appMenu_, L"Clear error report\tAlt+R", IDIMG_CANCEL);
  separator(appMenu_);
  menuInstallation_ = item(appMenu_, L"Installation\tCtrl+I", IDIMG_SETTINGS);
  menuAutoUpdate_ = item(appMenu_, L"Auto-update settings\tAlt+A", IDIMG_AUTO_UPDATE);
  menuSchedules_ = item(appMenu_, L"Scheduled backups\tCtrl+B", IDIMG_SCHEDULE);

  listMenu_ = AddPopupMenu(window_);
  menuOpenSource_ = item(listMenu_, L"Open source location\tCtrl+L", 0);
  menuOpenDestination_ = item(listMenu_, L"Open destination location\tAlt+L", 0);
  separator(listMenu_);
  menuAdd_ = item(listMenu_, L"Add folder pair\tAlt+A", IDIMG_ADD_PAIR);
  menuEdit_ = item(listMenu_, L"Edit selected\tCtrl+E", IDIMG_EDIT_PAIR);
  menuRemove_ = item(listMenu_, L"Remove selected\tDel", 0);
  menuRemoveAll_ = item(listMenu_, L"Remove all\tAlt+Del", IDIMG_CANCEL);
  separator(listMenu_);
  menuCheckAll_ = AddMenuItem(window_, listMenu_, L"Check all\tCtrl+A", -1, 0, CheckBoxPicture(check, kCheckTick, 0xFF005F00));
  menuCheckNone_ = AddMenuItem(window_, listMenu_, L"Check none\tCtrl+N", -1, 0, CheckBoxPicture(check, 0, 0xFF005F00));
}

void MainWindowFrame::BuildAccelerators() {
  auto key = [](BYTE modifiers, WORD virtualKey, int command) {
    return ACCEL{static_cast<BYTE>(modifiers | FVIRTKEY), virtualKey, static_cast<WORD>(command)};
  };
  const ACCEL table[] = {
      key(FCONTROL, 'U', ids_[kMoveUp]),       key(FCONTROL, 'D', ids_[kMoveDown]),
      key(FALT, 'F', ids_[kAdd]),              key(FCONTROL, 'E', ids_[kEdit]),
      key(0, VK_DELETE, ids_[kRemove]),        key(FCONTROL, 'L', menuOpenSource_),
      key(FALT, 'L', menuOpenDestination_),    key(FALT, VK_DELETE, menuRemoveAll_),
      key(FCONTROL, 'A', menuCheckAll_),       key(FCONTROL, 'N', menuCheckNone_),
      key(FCONTROL, 'O', menuLoad_),           key(FCONTROL, 'S', menuSave_),
      key(FALT, 'S', menuSaveAs_),             key(FCONTROL, VK_RETURN, ids_[kStart]),
      key(FCONTROL, 'R', menuViewLog_),        key(FALT, 'R', menuClearLog_),
      key(FCONTROL, 'I', menuInstallation_),   key(FALT, 'A', menuAutoUpdate_),
      key(FCONTROL, 'B', menuSchedules_),     key(FCONTROL, 'P', ids_[kPreview]),
  };
  window_.SetAccelerators(UniqueAccelerators(CreateAcceleratorTableW(const_cast<ACCEL*>(table), std::size(table))));
}

void MainWindowFrame::Load(const WideString& path) {
  JobList jobs;
  BackupOptions options;
  LoadJob(environment_.jobIni, path, jobs, options);
  currentFile_ = path;
  ShowJobs(jobs);
  ShowOptions(options);
  JobStatus status = LoadedStatus(path);
  (void)SetControlText(window_, status_, status.text);
  (void)SetTooltip(window_, status_, status.tooltip);
  clean_ = true;
  lastSelection_ = -2;
  UpdateCommands(true);
}

bool MainWindowFrame::SaveTo(const WideString& path) {
  JobList jobs = CollectJobs();
  bool saved = SaveJob(environment_.jobIni, path, jobs, CollectOptions()).has_value();
  if (saved) {
    currentFile_ = path;
    JobStatus status = LoadedStatus(path);
    (void)SetControlText(window_, status_, status.text);
    (void)SetTooltip(window_, status_, status.tooltip);
  }
  return saved;
}

void MainWindowFrame::ShowJobs(const JobList& jobs) {
  HWND list = window_.ControlHandle(list_);
  // One batch with drawing off: a file of thousands of pairs fills the list at once.
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (const FolderPair& pair : jobs.rows()) {
    int row = AddListRow(window_, list_, text::Concat(pair.source, L"\n", pair.destination, L"\n", pair.itemId, L"\n",
                                                      pair.sourceLocation, L"\n", pair.destinationLocation));
    (void)SetListRowChecked(window_, list_, row, pair.checked);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  // What the list reported while it was being filled is no change of the user's.
  UiEvent& event = window_.event();
  if (event.pending && event.code <= kEventListSelected && event.code >= kEventListColumnClick) event.pending = false;
}

JobList MainWindowFrame::CollectJobs() const {
  JobList jobs;
  for (int row = 0, count = ListRowCount(window_, list_); row < count; ++row) {
    jobs.Add({ListCell(window_, list_, row, 0), ListCell(window_, list_, row, 1), ListCell(window_, list_, row, 2),
              ListCell(window_, list_, row, 3), ListCell(window_, list_, row, 4), IsListRowChecked(window_, list_, row)});
  }
  return jobs;
}

void MainWindowFrame::ShowOptions(const BackupOptions& options) {
  Command radio = options.mode == BackupMode::kStrict    ? kStrict
                  : options.mode == BackupMode::kRestore ? kRestore
                  : options.mode == BackupMode::kSync    ? kSync
                                                         : kCommon;
  (void)window_.SetState(ids_[radio], kStateChecked);
  (void)window_.SetState(ids_[kUpdateMethod], options.useUpdateMethod ? kStateChecked : kStateUnchecked);
  (void)window_.SetState(ids_[kUpdateMethod], options.UpdateMethodEditable() ? kStateEnable : kStateDisable);
  (void)window_.SetState(ids_[kSkipSystem], (options.skipAttributes & ::kSkipSystem) ? kStateChecked : kStateUnchecked);
  (void)window_.SetState(ids_[kSkipHidden], (options.skipAttributes & ::kSkipHidden) ? kStateChecked : kStateUnchecked);
  bool keep = options.keepVersions > 0;
  (void)window_.SetState(ids_[kKeepVersions], keep ? kStateChecked : kStateUnchecked);
  // The field shows what the user may type; without versions it keeps its last number for the next check.
  if (keep) daysShown_ = text::DecimalUnsigned(std::min<uint32_t>(options.keepVersions, kMaxVersionDays));
  if (daysShown_.empty()) daysShown_ = text::DecimalUnsigned(kDefaultKeepVersions);
  (void)SetControlText(window_, ids_[kVersionDays], daysShown_);
  (void)window_.SetState(ids_[kVersionDays], keep ? kStateEnable : kStateDisable);
}

uint32_t MainWindowFrame::VersionDays() const {
  auto typed = text::ParseBoundedDecimal(ControlText(window_, ids_[kVersionDays]), 1, kMaxVersionDays);
  if (!typed) typed = text::ParseBoundedDecimal(daysShown_, 1, kMaxVersionDays);
  return typed ? static_cast<uint32_t>(*typed) : kDefaultKeepVersions;
}

BackupOptions MainWindowFrame::CollectOptions() const {
  auto checked = [this](Command command) { return (window_.GetState(ids_[command]) & kStateChecked) != 0; };
  BackupOptions options;
  options.mode = checked(kStrict)    ? BackupMode::kStrict
                 : checked(kRestore) ? BackupMode::kRestore
                 : checked(kSync)    ? BackupMode::kSync
                                     : BackupMode::kCommon;
  options.useUpdateMethod = checked(kUpdateMethod);
  options.skipAttributes = (checked(kSkipSystem) ? uint32_t{::kSkipSystem} : 0u) |
                           (checked(kSkipHidden) ? uint32_t{::kSkipHidden} : 0u);
  options.keepVersions = checked(kKeepVersions) ? VersionDays() : 0;
  return options;
}

// The update method is the user's to choose in Common and Strict; Restore goes without it, Sync always with it.
void MainWindowFrame::SetMode(int radio) {
  if (radio == ids_[kCommon] || radio == ids_[kStrict]) {
    (void)window_.SetState(ids_[kUpdateMethod], kStateChecked | kStateEnable);
  } else if (radio == ids_[kRestore]) {
    (void)window_.SetState(ids_[kUpdateMethod], kStateUnchecked | kStateDisable);
  } else if (radio == ids_[kSync]) {
    (void)window_.SetState(ids_[kUpdateMethod], kStateChecked | kStateDisable);
  }
  clean_ = false;
}

void MainWindowFrame::UpdateCommands(bool force) {
  int selected = SelectedListRow(window_, list_);
  if (!force && selected == lastSelection_) return;
  lastSelection_ = selected;
  int count = ListRowCount(window_, list_);
  uint32_t edit = selected >= 0 ? kStateEnable : kStateDisable;
  (void)window_.SetState(ids_[kEdit], edit);
  (void)window_.SetState(ids_[kRemove], edit);
  (void)window_.SetState(ids_[kMoveUp], count >= 2 && selected >= 1 ? kStateEnable : kStateDisable);
  (void)window_.SetState(ids_[kMoveDown], count >= 2 && selected >= 0 && selected <= count - 2 ? kStateEnable : kStateDisable);
}

int MainWindowFrame::Ask(WideView text, MessageKind kind, int height) {
  return box_.Ask(&window_, text, kind, height, 360, firstLocked_, lastLocked_);
}

bool MainWindowFrame::SaveChangesFirst() {
  if (clean_) return true;
  if (IsIconic(window_.handle())) ShowWindow(window_.handle(), SW_RESTORE);
  int answer = Ask(text::Concat(L"Save changes to ", StatusFileName(currentFile_), L"?"), MessageKind::kYesNoCancel, 150);
  if (answer == 1) {
    clean_ = SaveTo(currentFile_);
    // A failed save leaves the changes only in the window: it stays, and says so.
    if (!clean_) ReportSaveFailure();
    return clean_;
  }
  return answer == 0;
}

void MainWindowFrame::ReportSaveFailure() {
  (void)Ask(L"Sorry, the backup settings could not be saved this time.\r\n\r\nPlease select a different file or try later.",
            MessageKind::kOk, 150);
}

void MainWindowFrame::EditPairAt(int index, WideView dropped) {
  WideString text(dropped);
  if (text.size() >= 8 && text::EndsWith(text, L".lnk", false)) text = ShortcutTarget(text);
  if (EditPair(window_, list_, index, text, environment_.appIni)) clean_ = false;
  UpdateCommands(true);
}

void MainWindowFrame::OpenLocation(int column) {
  int row = SelectedListRow(window_, list_);
  if (row >= 0) OpenWithShell(ListCell(window_, list_, row, column));
}

void MainWindowFrame::ShowErrorLog() {
  if (IsExistingFile(environment_.errorLog.path())) {
    OpenWithShell(environment_.errorLog.path());
  } else {
    box_.ShowTip(window_, L"No errors detected so far. Congratulations!", 130);
  }
}

bool MainWindowFrame::AnyPairChecked(const JobList& jobs) {
  if (std::any_of(jobs.rows().begin(), jobs.rows().end(), [](const FolderPair& pair) { return pair.checked; })) return true;
  (void)Ask(L"No folder pair is checked. Check the pairs to back up, then start the backup again.", MessageKind::kOk, 130);
  return false;
}

void MainWindowFrame::StartBackup() {
  JobList jobs = CollectJobs();
  if (!AnyPairChecked(jobs)) return;
  BackupOptions options = CollectOptions();
  // Nothing in the window may change while it runs: an option or pair changed now would be neither in this
  // run nor saved.
  UiLock locked(window_, firstLocked_, lastLocked_);
  RunBackup(jobs, options);
}

void MainWindowFrame::Preview() {
  JobList jobs = CollectJobs();
  if (!AnyPairChecked(jobs)) return;
  BackupOptions options = CollectOptions();
  // Locked until the backup the preview may lead to has ended: it runs what the preview was of.
  UiLock locked(window_, firstLocked_, lastLocked_);
  PreviewPlan plan;
  // What the run would log is part of the plan: a preview leaves the error log as it is.
  environment_.errorLog.SendTo([&plan](WideView message) { plan.Problem(message); });
  RunSummary summary = Run(jobs, options, &plan);
  environment_.errorLog.SendTo(nullptr);
  if (summary.result == RunResult::kCancelled) return;
  if (ShowPreview(window_, plan, options.mode == BackupMode::kRestore)) RunBackup(jobs, options);
}

RunSummary MainWindowFrame::Run(const JobList& jobs, const BackupOptions& options, RunPreview* preview) {
  ProgressWindow view(window_.handle());
  WindowsPower power;
  RunController controller(environment_.progress, environment_.errorLog, view, power, environment_.osVersion);
  IniCertificatePins pins(environment_.appIni);
  controller.SetCertificatePins(&pins);
  controller.SetFtpTransfers(FtpTransfersSetting(environment_.appIni));
  controller.SetDeleteLimit(DeleteLimitSetting(environment_.jobIni));
  controller.SetKeepVersions(options.keepVersions);
  if (preview) {
    controller.SetPreview(preview);
  } else {
    controller.SetHistory(environment_.history, currentFile_);
  }
  controller.Prepare(options);
  return controller.Run(jobs);
}

void MainWindowFrame::RunBackup(const JobList& jobs, const BackupOptions& options) {
  if (options.mode == BackupMode::kStrict &&
      !ConfirmStrictBackup(StrictWarningOwner{window_, firstLocked_, lastLocked_, ids_[kMinimise], ids_[kClose]},
                           environment_.appIni, start_.uiMode)) {
    return;
  }
  RunSummary summary = Run(jobs, options, nullptr);
  if (summary.result == RunResult::kFinishedAndClose) {
    PostMessageW(window_.handle(), kCloseRequestMessage, 0, 0);
    clean_ = true;  // the application closes as the completion action asked, without a question
    return;
  }
  // Every run says how it went, also one that was cancelled: what it did until then stays done.
  WideString report = RunSummaryText(summary);
  int lines = 1 + static_cast<int>(std::count(report.begin(), report.end(), L'\n'));
  (void)Ask(report, MessageKind::kOk, 80 + 15 * lines);
}

bool MainWindowFrame::Handle(const UiEvent& event) {
  if (event.code == kEventMouseMove) return true;
  UpdateCommands(false);
  int code = event.code;
  if (code == kEventClose || code == kEventEndSession || Is(event, kClose)) {
    if (start_.uiMode != UiMode::kNormal) return false;
    return !SaveChangesFirst();
  }
  if (code == kEventQuit) return false;
  if (Is(event, kMinimise)) {
    ShowWindow(window_.handle(), SW_MINIMIZE);
  } else if (Is(event, kMenuButton)) {
    // A click that closed the menu must not open it again.
    if (GetTickCount64() - menuClosedAt_ >= 200) {
      RECT button{};
      GetWindowRect(window_.ControlHandle(ids_[kMenuButton]), &button);
      (void)ShowPopupMenu(window_, appMenu_, TPM_RIGHTALIGN, button.right, button.bottom);
    }
  } else if (code == kEventMenuLoopExit) {
    menuClosedAt_ = GetTickCount64();
  } else if (code == kEventContextMenu && event.param == list_) {
    int selected = SelectedListRow(window_, list_);
    bool any = ListRowCount(window_, list_) > 0;
    auto enable = [this](int id, bool on) { (void)window_.SetState(id, on ? kStateEnable : kStateDisable); };
    enable(menuEdit_, selected >= 0);
    enable(menuRemove_, selected >= 0);
    enable(menuOpenSource_, selected >= 0 && !ListCell(window_, list_, selected, 0).empty());
    enable(menuOpenDestination_, selected >= 0 && !ListCell(window_, list_, selected, 1).empty());
    for (int id : {menuRemoveAll_, menuCheckAll_, menuCheckNone_}) enable(id, any);
    (void)ShowPopupMenu(window_, listMenu_);
  } else if (code == menuOpenSource_ || (code == kEventDoubleClick && event.param == list_)) {
    OpenLocation(0);
  } else if (code == menuOpenDestination_) {
    OpenLocation(1);
  } else if (Is(event, kMoveUp) || Is(event, kMoveDown)) {
    int selected = SelectedListRow(window_, list_);
    int other = Is(event, kMoveUp) ? selected - 1 : selected + 1;
    if (selected >= 0 && other >= 0 && other < ListRowCount(window_, list_) && SwapListRows(window_, list_, selected, other)) {
      (void)SelectListRow(window_, list_, other);
      clean_ = false;
    }
  } else if (Is(event, kCommon) || Is(event, kStrict) || Is(event, kRestore) || Is(event, kSync)) {
    SetMode(code);
  } else if (code == menuCheckAll_ || code == menuCheckNone_) {
    CheckAllListRows(window_, list_, code == menuCheckAll_);
    clean_ = false;
  } else if (Is(event, kAdd) || code == menuAdd_) {
    EditPairAt(-1, {});
  } else if (Is(event, kEdit) || code == menuEdit_) {
    if (int selected = SelectedListRow(window_, list_); selected >= 0) EditPairAt(selected, {});
  } else if (code == kEventDrop && event.param == list_) {
    EditPairAt(-2, window_.scratchText());
  } else if (Is(event, kRemove) || code == menuRemove_) {
    if (int selected = SelectedListRow(window_, list_); selected >= 0 && DeleteListRow(window_, list_, selected)) clean_ = false;
  } else if (code == menuRemoveAll_) {
    for (int row = ListRowCount(window_, list_) - 1; row >= 0; --row) (void)DeleteListRow(window_, list_, row);
    clean_ = false;
  } else if (Is(event, kKeepVersions)) {
    bool keep = (window_.GetState(ids_[kKeepVersions]) & kStateChecked) != 0;
    (void)window_.SetState(ids_[kVersionDays], keep ? kStateEnable : kStateDisable);
    clean_ = false;
  } else if (code == kEventEditChange && event.param == ids_[kVersionDays]) {
    // Only what the user typed is a change: the field is also filled when a file is loaded.
    WideString typed = ControlText(window_, ids_[kVersionDays]);
    if (typed != daysShown_ && text::ParseBoundedDecimal(typed, 1, kMaxVersionDays)) {
      daysShown_ = typed;
      clean_ = false;
    }
  } else if (code == kEventEditFocusLost && event.param == ids_[kVersionDays]) {
    // A number the field cannot take gives way to the last one it could.
    WideString typed = ControlText(window_, ids_[kVersionDays]);
    if (!text::ParseBoundedDecimal(typed, 1, kMaxVersionDays)) {
      if (text::ParseUnsigned(typed) > kMaxVersionDays) {
        daysShown_ = text::DecimalUnsigned(kMaxVersionDays);
        clean_ = false;
      }
      (void)SetControlText(window_, ids_[kVersionDays], daysShown_);
    }
  } else if (code == kEventListChecked || code == kEventListUnchecked || Is(event, kUpdateMethod) ||
             Is(event, kSkipSystem) || Is(event, kSkipHidden)) {
    clean_ = false;
  } else if (code == kEventListSelected || code == kEventListDeselected) {
    UpdateCommands(true);
  } else if (Is(event, kErrorLog) || code == menuViewLog_) {
    ShowErrorLog();
  } else if (code == menuClearLog_) {
    if (Ask(L"Are you sure you want to clear the error log?", MessageKind::kYesNo, 130) == 1) {
      (void)environment_.errorLog.Clear();
    }
  } else if (Is(event, kSettings) || code == menuInstallation_ || code == menuAutoUpdate_ || code == menuSchedules_) {
    int page = code == menuAutoUpdate_ ? 1 : code == menuSchedules_ ? 2 : 0;
    if (!start_.openSettings) {
      (void)Ask(L"The settings window is not available.", MessageKind::kOk, 130);
      return true;
    }
    SettingsAnswer answer = start_.openSettings(window_, page);
    if (answer == SettingsAnswer::kCarryOn) return true;
    // The program ends (for the uninstaller, or for the new version): changes made here are saved or
    // dropped by the user first, never lost without a question.
    if (!SaveChangesFirst()) return true;
    if (answer == SettingsAnswer::kRestart && !(start_.restartAfterUpdate && start_.restartAfterUpdate())) return true;
    clean_ = true;
    return false;
  } else if (Is(event, kOpen) || code == menuLoad_) {
    if (SaveChangesFirst()) {
      WideString chosen = ChooseFileToOpen(window_.handle(), L"Load backup settings from file", kFileFilter,
                                           OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, {}, L"brlk");
      if (!chosen.empty()) Load(chosen);
    }
  } else if (Is(event, kSave) || code == menuSave_) {
    clean_ = SaveTo(currentFile_);
    if (clean_) {
      box_.ShowTip(window_, L"Successfully saved.", 130);
    } else {
      ReportSaveFailure();
    }
  } else if (Is(event, kSaveAs) || code == menuSaveAs_) {
    if (text::EqualsNoCase(currentFile_, paths_.defaultSettingsPath) &&
        Ask(L"Do you wish to make the selected backup options the default options, that will be automatically loaded "
            L"when Brimlark Backup starts up?\r\n\r\nNote: The previous default settings will be overwritten! If "
            L"you're not sure, just say No.",
            MessageKind::kYesNo, 170) == 1) {
      clean_ = SaveTo(paths_.defaultSettingsPath);
      if (!clean_) ReportSaveFailure();
    } else {
      WideString chosen = ChooseFileToSave(window_.handle(), L"Save backup settings to file", kFileFilter, L"brlk");
      if (!chosen.empty()) {
        if (SaveTo(chosen)) {
          clean_ = true;
          box_.ShowTip(window_, L"Successfully saved.", 130);
        } else {
          (void)Ask(L"Sorry, the backup settings could not be saved to this file.\r\n\r\nPlease select a file the "
                    L"application can write to.",
                    MessageKind::kOk, 150);
        }
      }
    }
  } else if (Is(event, kStart) || code == menuStart_) {
    StartBackup();
  } else if (Is(event, kPreview) || code == menuPreview_) {
    Preview();
  } else if (code == versionLink_ || code == helpLink_ || code == donateLink_) {
    OpenWithShell(window_.scratchText());
  }
  return true;
}

int MainWindowFrame::RunLoop() {
  while (true) {
    const UiEvent& event = window_.WaitEvent();
    if (!Handle(event)) break;
  }
  return 0;
}
