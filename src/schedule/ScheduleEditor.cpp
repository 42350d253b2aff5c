#include "schedule/ScheduleEditor.h"

#include "base/FileSystem.h"
#include "base/Process.h"
#include "base/TimeStamp.h"
#include "jobs/SecretText.h"
#include "jobs/SettingsFile.h"
#include "schedule/Schedule.h"
#include "ui/CommonDialogs.h"
#include "ui/ControlMaking.h"
#include "ui/Controls.h"
#include "ui/DialogWindow.h"
#include "ui/Drawing.h"
#include "ui/MessageBox.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

namespace {

constexpr int kWidth = 645;
constexpr int kHeight = 465;
constexpr uint64_t kMinDays = 1;
constexpr uint64_t kMaxDays = 365;
constexpr int32_t kErrorColour = static_cast<int32_t>(RGB(220, 0, 0));
constexpr wchar_t kNewTitle[] = L"Add scheduled backup ";
constexpr wchar_t kEditTitle[] = L"Edit scheduled backup";
constexpr wchar_t kNormalMode[] = L"0";
constexpr wchar_t kPassiveMode[] = L"1";
constexpr wchar_t kQuietMode[] = L"2";

UniqueBitmap Box(bool ticked) {
  return CheckBoxPicture(14, ticked ? kCheckRounded | kCheckTick : kCheckRounded, 0xFF005F00);
}

// A small dark triangle pointing up or down, the face of the days box's two buttons.
UniqueBitmap ArrowPicture(bool up) {
  constexpr int kSize = 12;
  Gdiplus::Bitmap picture(kSize, kSize, PixelFormat32bppPARGB);
  {
    Gdiplus::Graphics graphics(&picture);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::SolidBrush brush(Gdiplus::Color(0xFF303840));
    Gdiplus::Point upward[] = {{1, 9}, {11, 9}, {6, 3}};
    Gdiplus::Point downward[] = {{1, 3}, {11, 3}, {6, 9}};
    graphics.FillPolygon(&brush, up ? upward : downward, 3);
  }
  return ToBitmap(picture);
}

// A locale whose time format names the 24-hour field ("H") shows a 24-hour clock; all others have AM/PM.
bool LocaleUses24HourClock() {
  wchar_t format[96] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIMEFORMAT, format, 96) == 0) return true;
  return WideView(format).find(L'H') != WideView::npos;
}

WideString LaunchArguments(WideView settingsFile, WideView switchText) {
  return text::Concat(L" \"", settingsFile, L"\"", switchText);
}

class ScheduleEditor {
 public:
  ScheduleEditor(UiWindow& parent, WideView name, IniFile& appIni, const AppPaths& paths)
      : parent_(parent), originalName_(name), appIni_(appIni), paths_(paths) {}

  int Run(std::array<WideString, 5>& row);

 private:
  bool Create();
  void CreateControls();
  void ShowSchedule(const Schedule& schedule);
  void FollowRepeatBox();
  void StepDays(int step);
  void CommitDays();
  void Browse();
  void RunNow();
  // The result for the caller, or kScheduleNotSaved while the editor must stay open.
  int Save(std::array<WideString, 5>& row);
  [[nodiscard]] SYSTEMTIME PickedTime() const;
  [[nodiscard]] WideView PickedMode() const;
  [[nodiscard]] bool Checked(int id) const { return (editor_.GetState(id) & kStateChecked) != 0; }
  void SetEnabled(int id, bool enabled) { (void)editor_.SetState(id, enabled ? kStateEnable : kStateDisable); }
  void ShowError(WideView message) { (void)SetControlText(editor_, status_, message); }
  bool Launch(WideView arguments) {
    return LaunchProcess(paths_.modulePath, arguments, paths_.appDirectory, SW_SHOWNORMAL) != 0;
  }

  UiWindow& parent_;
  WideString originalName_;
  IniFile& appIni_;
  const AppPaths& paths_;
  UiWindow editor_;
  MessageBoxWindow box_;
  int name_ = 0, path_ = 0, browse_ = 0, picker_ = 0;
  int repeat_ = 0, days_ = 0, increase_ = 0, decrease_ = 0;
  int normal_ = 0, passive_ = 0, quiet_ = 0;
  int status_ = 0, run_ = 0, save_ = 0, cancel_ = 0;
};

bool ScheduleEditor::Create() {
  if (!OpenDialogWindow(editor_, &parent_, originalName_.empty() ? kNewTitle : kEditTitle, kWidth, kHeight,
                        kDefaultExtendedStyle, DialogFace(kWidth, kHeight, 415, 4))) {
    return false;
  }
  CreateControls();
  return picker_ != 0;
}

void ScheduleEditor::CreateControls() {
  // The caption on the band of the program's title areas; the band drags the window, which has no frame.
  (void)AddSubWindow(editor_, 2, 2, kWidth - 4, 38, UniqueBrush(CreatePatternBrush(GradientBand().get())));
  editor_.SetDefaultColours(static_cast<int32_t>(RGB(255, 255, 255)), kHollow);
  editor_.SetDefaultResize(kClipFromParent | kDragsWindow);
  (void)AddLabel(editor_, originalName_.empty() ? kNewTitle : kEditTitle, 50, 5, 340, 35);
  (void)SetControlFont(editor_, -1, 13, 700, 1);
  editor_.CloseContainer();
  editor_.SetDefaultColours(0, kTransparent);
  editor_.SetDefaultResize(kClipFromParent);

  (void)AddLabel(editor_, L"Scheduled backup's unique name:", 20, 72, 230, 18);
  name_ = AddInputField(editor_, originalName_, 255, 70, 300, 20);
  (void)AddLabel(editor_, L"Path of the Brimlark Backup configuration file (.brlk) to execute:", 20, 120, 500, 18);
  path_ = AddInputField(editor_, L"", 20, 140, 535, 20);
  browse_ = AddPushButton(editor_, L"Browse...", 560, 139, 65, 22);

  (void)AddLabel(editor_, L"Start the scheduled backup at:", 20, 213, 230, 18);
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_DATE_CLASSES};
  (void)InitCommonControlsEx(&classes);
  HWND picker = MakeChild(editor_, DATETIMEPICK_CLASSW, L"", WS_TABSTOP, 0, 255, 210, 300, 22);
  picker_ = FinishControl(editor_, ControlType::kNone, picker, 255, 210, 300, 22);
  if (picker_) {
    const wchar_t* format = LocaleUses24HourClock() ? L"' 'yyyy'/'MM'/'dd'  'HH':'mm':'ss"
                                                    : L"' 'yyyy'/'MM'/'dd'  'hh':'mm':'ss' 'tt";
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format));
  }

  editor_.StartGroup();
  repeat_ = AddCheckBox(editor_, L" Repeat every", Box(false), Box(true), 255, 248, 100, kStateUnchecked);
  editor_.StartGroup();
  days_ = AddInputField(editor_, L"3", 355, 245, 60, 22, ES_CENTER | ES_NUMBER | ES_AUTOHSCROLL);
  increase_ = AddImageButton(editor_, L"", ArrowPicture(true), 420, 244, 24, 24);
  decrease_ = AddImageButton(editor_, L"", ArrowPicture(false), 450, 244, 24, 24);
  (void)AddLabel(editor_, L"days", 495, 248, 60, 18);

  (void)AddLabel(editor_, L"User interface (UI) mode:", 20, 316, 180, 18);
  editor_.StartGroup();
  auto radio = [&](WideView text, int x, WideView tip) {
    int id = AddRadioButton(editor_, text, RadioButtonPicture(false), RadioButtonPicture(true), x, 315, 70,
                            kStateUnchecked);
    (void)SetTooltip(editor_, id, tip);
    return id;
  };
  normal_ = radio(L" Normal", 255,
                  L"The UI IS displayed\r\nThe backup operation does NOT start automatically\r\n"
                  L"The window is NOT automatically closed once the operation completes");
  passive_ = radio(L" Passive", 355,
                   L"The UI IS displayed\r\nThe backup operation starts automatically\r\n"
                   L"The window is automatically closed once the operation completes");
  quiet_ = radio(L" Quiet", 455,
                 L"The UI is NOT displayed\r\nThe backup operation starts automatically\r\n"
                 L"The window is automatically closed once the operation completes");
  editor_.StartGroup();

  status_ = AddLabel(editor_, L"", 30, 385, 585, 18);
  (void)SetControlColours(editor_, status_, kErrorColour, kTransparent);
  run_ = AddPushButton(editor_, L"   Run", 171, 430, 130, 26);
  save_ = AddPushButton(editor_, L"   Save", 323, 428, 150, 28, WS_TABSTOP | BS_DEFPUSHBUTTON);
  cancel_ = AddPushButton(editor_, L"   Cancel", 495, 430, 130, 26);
}

void ScheduleEditor::ShowSchedule(const Schedule& schedule) {
  SYSTEMTIME start = TimeFromSecondsSince1601(schedule.start);
  SendMessageW(editor_.ControlHandle(picker_), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&start));
  bool repeats = schedule.interval != 0;
  (void)editor_.SetState(repeat_, repeats ? kStateChecked : kStateUnchecked);
  if (repeats) (void)SetControlText(editor_, days_, text::DecimalUnsigned(schedule.interval / kSecondsPerDay));
  WideView mode = ModeText(schedule.mode);
  (void)editor_.SetState(mode == L"Passive" ? passive_ : mode == L"Quiet" ? quiet_ : normal_, kStateChecked);
  (void)SetControlText(editor_, path_, schedule.settingsFile);
}

void ScheduleEditor::FollowRepeatBox() {
  bool repeats = Checked(repeat_);
  for (int id : {days_, increase_, decrease_}) SetEnabled(id, repeats);
}

void ScheduleEditor::StepDays(int step) {
  uint64_t days = DaysInBox(ControlText(editor_, days_)).value_or(0);
  days = step > 0 ? days + 1 : days > 0 ? days - 1 : 0;
  (void)SetControlText(editor_, days_, text::DecimalUnsigned(std::clamp(days, kMinDays, kMaxDays)));
}

void ScheduleEditor::CommitDays() {
  WideString shown = ControlText(editor_, days_);
  WideString committed = text::DecimalUnsigned(ClampedDays(shown));
  if (committed != shown) (void)SetControlText(editor_, days_, committed);
}

void ScheduleEditor::Browse() {
  WideString chosen = ChooseFileToOpen(editor_.handle(), L"Select Brimlark Backup file to load",
                                       L"Brimlark Backup files (*.brlk)|*.brlk",
                                       OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                                       ControlText(editor_, path_), L"brlk");
  if (!chosen.empty()) (void)SetControlText(editor_, path_, chosen);
}

WideView ScheduleEditor::PickedMode() const {
  if (Checked(quiet_)) return kQuietMode;
  if (Checked(passive_)) return kPassiveMode;
  return kNormalMode;
}

SYSTEMTIME ScheduleEditor::PickedTime() const {
  SYSTEMTIME picked{};
  if (SendMessageW(editor_.ControlHandle(picker_), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) !=
      GDT_VALID) {
    GetLocalTime(&picked);
  }
  return picked;
}

// Tries the schedule as the monitor would start it, without saving anything.
void ScheduleEditor::RunNow() {
  WideString path = ControlText(editor_, path_);
  if (path.empty()) return;
  WideView mode = PickedMode();
  WideView switchText = mode == kPassiveMode ? L" /Passive" : mode == kQuietMode ? L" /Quiet" : L"";
  bool started = Launch(LaunchArguments(path, switchText));
  (void)box_.Ask(&editor_,
                 started ? L"The selected schedule was successfully executed."
                         : L"Sorry, this schedule could not be executed.",
                 MessageKind::kOk);
}

int ScheduleEditor::Save(std::array<WideString, 5>& row) {
  ShowError(L"");
  WideString name = ControlText(editor_, name_);
  if (name.empty()) {
    ShowError(L"You must name your scheduled backup.");
    return kScheduleNotSaved;
  }
  bool renamed = name != originalName_;
  if (renamed && ScheduleExists(appIni_, name)) {
    ShowError(L"Sorry, there is already a scheduled backup with the name you specified.");
    return kScheduleNotSaved;
  }
  WideString path = ControlText(editor_, path_);
  if (path.empty()) {
    ShowError(L"You did not specify the Brimlark Backup (.brlk) file to execute.");
    return kScheduleNotSaved;
  }
  if (!IsExistingFile(path)) {
    ShowError(L"The Brimlark Backup (.brlk) file you specified noes not exist.");
    return kScheduleNotSaved;
  }
  // A file without an enabled pair would run and do nothing; the user may fix it in another instance,
  // and the schedule is kept either way.
  if (InspectSettingsFile(path) < 1 &&
      box_.Ask(&editor_,
               L"The Brimlark Backup file you selected does not have any enabled jobs.\r\n\r\n"
               L"Do you want to edit this file in a separate application instance?",
               MessageKind::kYesNo, 170, 420) == 1) {
    (void)Launch(LaunchArguments(path, L" /NoUpdate"));
  }

  Schedule schedule;
  schedule.name = name;
  schedule.start = SecondsSince1601(PickedTime());
  schedule.interval = Checked(repeat_) ? ClampedDays(ControlText(editor_, days_)) * kSecondsPerDay : 0;
  schedule.mode = WideString(PickedMode());
  schedule.settingsFile = path;
  // The store writes the same cipher texts; trying them first keeps a missing cipher apart from a store
  // that could not be written.
  if (!secret_text::Encipher(schedule.name) || !secret_text::Encipher(schedule.Text(false))) {
    ShowError(L"Sorry, un unexpected error occurred. Please try again.");
    return kScheduleNotSaved;
  }
  // The four-field text written here drops the last launch time: the edited schedule is due again.
  bool written = renamed && !originalName_.empty() ? RenameSchedule(appIni_, originalName_, schedule)
                                                   : WriteSchedule(appIni_, schedule, false);
  if (!written) {
    ShowError(L"Sorry, the scheduled backup could not be saved to the settings INI file.");
    return kScheduleNotSaved;
  }
  auto cells = RenderScheduleRow(schedule.Text(false));
  row[0] = name;
  if (cells) std::copy(cells->begin(), cells->end(), row.begin() + 1);
  return renamed ? kScheduleSavedNewName : kScheduleSavedSameName;
}

int ScheduleEditor::Run(std::array<WideString, 5>& row) {
  HWND parentHandle = parent_.handle();
  UiEvent before = parent_.event();
  if (!Create()) {
    if (editor_.handle()) editor_.CloseModal(before);
    editor_.ShareEvents(nullptr);
    return kScheduleNotSaved;
  }
  Schedule shown;
  shown.interval = 3 * kSecondsPerDay;
  shown.mode = kPassiveMode;
  shown.start = LocalNowInSeconds();
  if (!originalName_.empty()) {
    if (auto stored = FindSchedule(appIni_, originalName_)) shown = std::move(*stored);
  }
  ShowSchedule(shown);
  // A new schedule offers three days but does not repeat until asked to.
  if (originalName_.empty()) (void)editor_.SetState(repeat_, kStateUnchecked);
  FollowRepeatBox();

  OwnerDisabled parentDisabled(&parent_);
  editor_.Show(SW_SHOWNORMAL, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
  SetFocus(editor_.ControlHandle(name_));

  int result = kScheduleNotSaved;
  bool ownCloseRequest = false;
  for (bool waiting = true; waiting;) {
    const UiEvent& event = parent_.WaitEvent();
    if (event.code == kEventQuit) break;
    if (event.code == kEventClose) {
      ownCloseRequest = event.window == editor_.handle();
      break;
    }
    if (event.source != &editor_) continue;
    if (event.code == kEventEditFocusLost) {
      if (event.param == days_) CommitDays();
    } else if (event.code == repeat_) {
      FollowRepeatBox();
    } else if (event.code == increase_ || event.code == decrease_) {
      StepDays(event.code == increase_ ? 1 : -1);
    } else if (event.code == browse_) {
      Browse();
    } else if (event.code == run_) {
      RunNow();
    } else if (event.code == cancel_) {
      waiting = false;
    } else if (event.code == save_) {
      result = Save(row);
      waiting = result == kScheduleNotSaved;
    }
  }
  parentDisabled.Restore();
  editor_.CloseModal(before, !ownCloseRequest);
  if (parentHandle && IsWindowVisible(parentHandle)) {
    SetWindowPos(parentHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(parentHandle);
  }
  return result;
}

}  // namespace

std::optional<uint64_t> DaysInBox(WideView text) {
  if (text.empty()) return std::nullopt;
  uint64_t days = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    // Anything this large is clamped to a year anyway; stopping here keeps it from wrapping.
    days = std::min<uint64_t>(days * 10 + static_cast<uint64_t>(c - L'0'), 1000000);
  }
  return days;
}

uint64_t ClampedDays(WideView text) { return std::clamp(DaysInBox(text).value_or(kMinDays), kMinDays, kMaxDays); }

int EditSchedule(UiWindow& parent, WideView name, IniFile& appIni, const AppPaths& paths,
                 std::array<WideString, 5>& row) {
  ScheduleEditor editor(parent, name, appIni, paths);
  return editor.Run(row);
}
