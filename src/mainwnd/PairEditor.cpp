#include "mainwnd/PairEditor.h"

#include "jobs/FtpLocation.h"
#include "jobs/PathRelation.h"
#include "mainwnd/FtpLocationDialog.h"
#include "ui/ShellLink.h"
#include "ui/CommonDialogs.h"
#include "ui/Controls.h"
#include "ui/DialogWindow.h"
#include "ui/Drawing.h"
#include "ui/ListView.h"
#include "ui/MessageBox.h"

namespace {

constexpr wchar_t kHistory[] = L"History";
constexpr wchar_t kLastSource[] = L"LastSrcFolder";
constexpr wchar_t kLastDestination[] = L"LastDstFolder";
constexpr int kSourceColumn = 0;
constexpr int kDestinationColumn = 1;
constexpr int kSourceLocationColumn = 3;
constexpr int kDestinationLocationColumn = 4;
constexpr COLORREF kMessageColour = RGB(160, 0, 0);

bool IsFtp(WideView location) { return KindOfLocation(location) == LocationKind::kFtp; }

WideString WithoutTrailingBackslashes(WideView path) {
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  return WideString(path);
}

// The text after the last separator; none when there is no separator.
WideString LastComponent(WideView location) {
  size_t separator = location.rfind(IsFtp(location) ? L'/' : L'\\');
  return separator == WideView::npos ? WideString() : WideString(location.substr(separator + 1));
}

bool IsFolder(WideView path) {
  DWORD attributes = GetFileAttributesW(WideString(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(WideView path) {
  DWORD attributes = GetFileAttributesW(WideString(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

WideString History(const IniFile& appIni, const wchar_t* key) {
  return WideString(text::View(appIni.GetString(kHistory, key, L"")));
}

// The message for a pair whose sides cannot go together, or null. FTP and local sides never overlap; two
// sides of one kind are compared as whole folders, so D:\Data holds D:\Data\Backup but not D:\Database.
const wchar_t* RelationRefusal(WideView source, WideView destination) {
  if (source.empty()) return L"The \"Source location\" field is empty!";
  if (destination.empty()) return L"The \"Destination location\" field is empty!";
  if (IsFtp(source) != IsFtp(destination)) return nullptr;
  switch (RelationOf(source, destination, IsFtp(source) ? L'/' : L'\\')) {
    case PathRelation::kSame:
      return L"The Source and destination locations are the same!";
    case PathRelation::kSecondInsideFirst:
      return L"The destination location can not be a sub-folder of the source!";
    case PathRelation::kFirstInsideSecond:
      return L"The source location can not be a sub-folder of the destination!";
    case PathRelation::kUnrelated:
      break;
  }
  return nullptr;
}

// One place as the program compares folders: in any case, with or without a separator at the end.
bool SameLocation(WideView a, WideView b) {
  return IsFtp(a) == IsFtp(b) && RelationOf(a, b, IsFtp(a) ? L'/' : L'\\') == PathRelation::kSame;
}

struct Side {
  explicit Side(const wchar_t* title) : browseTitle(title) {}
  int field = 0;
  int browse = 0;
  int ftp = 0;
  WideString storedForm;  // the "FTP:" form while the side is on a server
  const wchar_t* browseTitle;
  // Typing an FTP address opens the dialog once each time the field is entered, not at every key.
  bool ftpOffered = false;
  bool focusGivenBack = false;  // the field has the focus again after the dialog: the same visit
};

// An address alone carries no account, and a stored form left from another address would connect
// somewhere else: an FTP side needs the stored location the field shows.
bool HasConnectionDetails(const Side& side, WideView text) {
  std::optional<WideString> stored = DisplayForm(side.storedForm, true);
  return stored && SameLocation(*stored, text);
}

class PairEditor {
 public:
  PairEditor(UiWindow& mainWindow, int listId, int index, IniFile& appIni)
      : main_(mainWindow), listId_(listId), index_(index), appIni_(appIni) {}

  bool Run(WideView droppedText);

 private:
  void CreateControls(WideView sourceText, WideView destinationText, bool checked);
  void Choose(Side& side, WideView folder);
  void Browse(Side& side);
  void TakeDrop(Side& side, WideView dropped);
  void SetUpFtp(Side& side, bool typed);
  [[nodiscard]] const wchar_t* Refusal(WideView source, WideView destination) const;
  [[nodiscard]] bool InListAlready(WideView source, WideView destination) const;
  bool Store();
  void ShowMessage(WideView message) { (void)SetControlText(editor_, message_, message); }

  UiWindow& main_;
  int listId_;
  int index_;
  IniFile& appIni_;
  UiWindow editor_;
  Side source_{L"Select the source folder for this backup job"};
  Side destination_{L"Select the destination folder for this backup job"};
  int message_ = 0;
  int checkedBox_ = 0;
  int ok_ = 0;
  int cancel_ = 0;
};

void PairEditor::CreateControls(WideView sourceText, WideView destinationText, bool checked) {
  bool adding = index_ < 0;
  editor_.SetBackgroundBitmap(LocationWindowBackground(), BackgroundMode::kPattern);
  editor_.SetDefaultColours(0, kTransparent);
  (void)AddLabel(editor_, adding ? L"Add backup location pair" : L"Edit backup location pair", 175, 10, 165, 20,
                 SS_CENTER);
  (void)SetControlFont(editor_, -1, 10, 400, 1);

  auto addSide = [&](Side& side, WideView label, int labelWidth, int y, WideView text) {
    (void)AddLabel(editor_, label, 10, y, labelWidth, 18);
    side.field = AddInputField(editor_, text, 10, y + 18, 365, 20);
    side.browse = AddPushButton(editor_, L"Browse...", 380, y + 17, 60, 21);
    (void)SetTooltip(editor_, side.browse, L"Locate the desired folder using the Windows File Explorer");
    side.ftp = AddPushButton(editor_, L"FTP ...", 445, y + 17, 60, 21);
    (void)SetTooltip(editor_, side.ftp, L"Setup a remote FTP location for this field");
  };
  addSide(source_, L"Source location (supports drag && drop):", 300, 60, sourceText);
  addSide(destination_, L"Destination location (supports drag && drop):", 350, 120, destinationText);
  message_ = AddLabel(editor_, L"", 10, 180, 430, 18, SS_CENTER);
  (void)SetControlColours(editor_, message_, static_cast<int32_t>(kMessageColour), kTransparent);
  checkedBox_ = AddCheckBox(editor_, L" Item checked", CheckBoxPicture(14, kCheckRounded, 0xFF005F00),
                            CheckBoxPicture(14, kCheckRounded | kCheckTick, 0xFF005F00), 30, 220, 120,
                            checked ? kStateChecked : kStateUnchecked);
  ok_ = AddPushButton(editor_, L"OK", 295, 215, 80, 26, WS_TABSTOP | BS_DEFPUSHBUTTON);
  cancel_ = AddPushButton(editor_, L"Cancel", 405, 215, 80, 26);
  editor_.SetCancelButton(cancel_);
}

// A folder taken for a side as if chosen with its Browse button. A destination may get the source's folder
// name appended, so that several sources can share one backup folder.
void PairEditor::Choose(Side& side, WideView folder) {
  WideString chosen = WithoutTrailingBackslashes(folder);
  if (&side == &destination_) {
    WideString sourceName = LastComponent(WithoutTrailingBackslashes(ControlText(editor_, source_.field)));
    if (chosen.size() >= 2 && !sourceName.empty() && !text::EqualsNoCase(LastComponent(chosen), sourceName)) {
      ShowWindow(editor_.handle(), SW_HIDE);
      MessageBoxWindow box;
      if (box.Ask(&editor_, L"Do you want to append a sub-folder with the same name as the source?",
                  MessageKind::kYesNo) == 1) {
        text::Append(chosen, L"\\", sourceName);
      }
      editor_.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
    }
  }
  (void)SetControlText(editor_, side.field, chosen);
  ShowMessage(L"");
}

void PairEditor::Browse(Side& side) {
  WideString folder = ChooseFolder(editor_.handle(), side.browseTitle, ControlText(editor_, side.field));
  if (!folder.empty()) Choose(side, folder);
}

void PairEditor::TakeDrop(Side& side, WideView dropped) {
  WideView first = dropped.substr(0, dropped.find_first_of(L"\r\n"));
  WideString path(first);
  if (text::EndsWith(path, L".lnk", false)) path = ShortcutTarget(path);
  if (!path.empty() && IsFolder(path)) Choose(side, path);
}

// The dialog starts from what the field shows, so that a typed address is completed, not typed again.
// typed: the dialog opened for what was typed in the field, which gets the focus back afterwards.
void PairEditor::SetUpFtp(Side& side, bool typed) {
  WideString stored = side.storedForm;
  WideString display = ControlText(editor_, side.field);
  HWND field = editor_.ControlHandle(side.field);
  bool confirmed = EditFtpLocation(editor_, stored, display);
  if (confirmed) {
    side.storedForm = std::move(stored);
    (void)SetControlText(editor_, side.field, display);
    // Our own text is no typing: its change must not open the dialog again.
    SendMessageW(field, EM_SETMODIFY, FALSE, 0);
    ShowMessage(L"");
  }
  if (typed && GetFocus() != field) {
    SetFocus(field);
    side.focusGivenBack = GetFocus() == field;
  }
}

const wchar_t* PairEditor::Refusal(WideView source, WideView destination) const {
  if (const wchar_t* refusal = RelationRefusal(source, destination)) return refusal;
  if ((IsFtp(source) && !HasConnectionDetails(source_, source)) ||
      (IsFtp(destination) && !HasConnectionDetails(destination_, destination))) {
    return L"The FTP location has no login details! Press the FTP button to enter them.";
  }
  if (InListAlready(source, destination)) return L"This folder pair is already in the list!";
  return nullptr;
}

// The row being edited may keep its own pair.
bool PairEditor::InListAlready(WideView source, WideView destination) const {
  int rows = ListRowCount(main_, listId_);
  for (int row = 0; row < rows; ++row) {
    if (row != index_ && SameLocation(ListCell(main_, listId_, row, kSourceColumn), source) &&
        SameLocation(ListCell(main_, listId_, row, kDestinationColumn), destination)) {
      return true;
    }
  }
  return false;
}

bool PairEditor::Store() {
  WideString source = WithoutTrailingBackslashes(ControlText(editor_, source_.field));
  WideString destination = WithoutTrailingBackslashes(ControlText(editor_, destination_.field));
  if (!IsFtp(source)) appIni_.SetString(kHistory, kLastSource, source);
  int row = index_;
  if (index_ < 0) {
    row = AddListRow(main_, listId_, source);
    if (row < 0) return false;
  } else {
    (void)SetListCell(main_, listId_, row, kSourceColumn, source);
  }
  // A stored form left over from an FTP location the field no longer shows belongs to no side.
  (void)SetListCell(main_, listId_, row, kSourceLocationColumn, IsFtp(source) ? source_.storedForm : WideString());
  if (!IsFtp(destination)) appIni_.SetString(kHistory, kLastDestination, destination);
  (void)SetListCell(main_, listId_, row, kDestinationColumn, destination);
  (void)SetListCell(main_, listId_, row, kDestinationLocationColumn,
                    IsFtp(destination) ? destination_.storedForm : WideString());
  (void)SetListRowChecked(main_, listId_, row, (editor_.GetState(checkedBox_) & kStateChecked) != 0);
  (void)appIni_.Save();
  return true;
}

bool PairEditor::Run(WideView droppedText) {
  WideString sourceText, destinationText;
  bool checked = true;
  if (index_ >= 0) {
    sourceText = ListCell(main_, listId_, index_, kSourceColumn);
    destinationText = ListCell(main_, listId_, index_, kDestinationColumn);
    source_.storedForm = ListCell(main_, listId_, index_, kSourceLocationColumn);
    destination_.storedForm = ListCell(main_, listId_, index_, kDestinationLocationColumn);
    checked = IsListRowChecked(main_, listId_, index_);
  } else if (index_ == kAddPair) {
    sourceText = History(appIni_, kLastSource);
    destinationText = History(appIni_, kLastDestination);
  } else {
    sourceText = WithoutTrailingBackslashes(droppedText);
    if (IsFile(sourceText)) {
      size_t cut = sourceText.rfind(L'\\');
      if (cut != WideString::npos && cut >= 2) sourceText.resize(cut);
    }
    WideString lastDestination = History(appIni_, kLastDestination);
    if (IsFolder(sourceText) && lastDestination.size() > 1) {
      destinationText = text::Concat(WithoutTrailingBackslashes(lastDestination), L"\\", LastComponent(sourceText));
    }
  }

  UiEvent before = main_.event();
  if (!OpenDialogWindow(editor_, &main_, index_ < 0 ? L"Add folder pair" : L"Edit folder pair", kLocationWindowWidth,
                        kLocationWindowHeight, kDefaultExtendedStyle, {})) {
    return false;
  }
  CreateControls(sourceText, destinationText, checked);
  OwnerDisabled mainDisabled(&main_);
  editor_.Show(SW_SHOWNORMAL, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
  SetFocus(editor_.ControlHandle(source_.field));

  bool changed = false;
  bool ownCloseRequest = false;
  for (bool waiting = true; waiting;) {
    const UiEvent& event = main_.WaitEvent();
    if (event.code == kEventQuit) break;
    if (event.code == kEventClose) {
      ownCloseRequest = event.window == editor_.handle();
      break;
    }
    if (event.source != &editor_) continue;
    Side* side = event.param == source_.field ? &source_ : event.param == destination_.field ? &destination_ : nullptr;
    if (event.code == kEventDrop) {
      if (side) TakeDrop(*side, text::View(reinterpret_cast<const wchar_t*>(event.extra)));
    } else if (event.code == kEventEditFocus) {
      if (side) {
        if (!side->focusGivenBack) side->ftpOffered = false;
        side->focusGivenBack = false;
      }
    } else if (event.code == kEventEditChange) {
      // Someone typing an FTP address is offered the dialog at once, for the credentials the address lacks;
      // one who cancels it and types on is left to type.
      if (side && !side->ftpOffered && SendMessageW(editor_.ControlHandle(side->field), EM_GETMODIFY, 0, 0) &&
          IsFtp(ControlText(editor_, side->field))) {
        side->ftpOffered = true;
        SetUpFtp(*side, true);
      }
    } else if (event.code == source_.browse || event.code == destination_.browse) {
      Browse(event.code == source_.browse ? source_ : destination_);
    } else if (event.code == source_.ftp || event.code == destination_.ftp) {
      SetUpFtp(event.code == source_.ftp ? source_ : destination_, false);
    } else if (event.code == cancel_) {
      waiting = false;
    } else if (event.code == ok_) {
      WideString source = ControlText(editor_, source_.field);
      if (const wchar_t* refusal = Refusal(source, ControlText(editor_, destination_.field))) {
        ShowMessage(refusal);
      } else {
        changed = Store();
        waiting = false;
      }
    }
  }
  mainDisabled.Restore();
  editor_.CloseModal(before, !ownCloseRequest);
  return changed;
}

}  // namespace

bool EditPair(UiWindow& mainWindow, int listId, int index, WideView droppedText, IniFile& appIni) {
  PairEditor editor(mainWindow, listId, index, appIni);
  return editor.Run(droppedText);
}
