#include "mainwnd/StrictWarning.h"

#include "ui/Controls.h"
#include "ui/Drawing.h"

namespace {

constexpr int kWidth = 450;
constexpr int kHeight = 250;
constexpr wchar_t kSettings[] = L"Settings";
constexpr wchar_t kSkipStrictWarning[] = L"SkipStrictWarning";
constexpr wchar_t kText[] =
    L"You are about to perform a backup in STRICT mode. In this mode, Brimlark backup will ensure the backup folder "
    L"has exactly the same files as the source.\r\n\r\nThis means it will delete files in the destination folder, if "
    L"they do not exist in the source folder. Thus, you should use care when selecting the source and destination "
    L"folders, in order to prevent deleting files you may need, which could happen, for instance, if you initially "
    L"choose an empty source folder, and a non-empty destination folder.\r\n\r\nAre you sure you want to start a "
    L"STRICT backup?";

bool WarningSwitchedOff(const IniFile& appIni) {
  const wchar_t* value = appIni.GetString(kSettings, kSkipStrictWarning, nullptr);
  return value && text::ParseDecimal(text::View(value)) != 0;
}

}  // namespace

bool ConfirmStrictBackup(const StrictWarningOwner& owner, IniFile& appIni, UiMode uiMode) {
  if (uiMode != UiMode::kNormal) return true;
  UiWindow& main = owner.mainWindow;
  UiLock lock(main, owner.firstLocked, owner.lastLocked);
  if (WarningSwitchedOff(appIni)) return true;

  HWND mainHandle = main.handle();
  bool mainShown = mainHandle && IsWindowVisible(mainHandle);
  UiEvent before = main.event();
  UiWindow warning;
  warning.ShareEvents(&main.event());
  if (!warning.Create(L"Brimlark_MsgBox", L"", kWidth, kHeight, kCentred, kCentred, WS_POPUP, 0,
                      mainShown ? mainHandle : nullptr)) {
    return false;
  }
  warning.SetBackgroundBitmap(DialogFace(kWidth, kHeight, 206, 4), BackgroundMode::kPattern);
  (void)SetRoundedWindowRegion(warning.handle(), kWidth, kHeight, 12);
  UiWindow::Centre(warning.handle(), mainShown ? mainHandle : nullptr);
  if (mainShown) main.AddAttachedWindow(warning.handle());
  warning.SetDefaultColours(0, kTransparent);

  (void)AddLabel(warning, kText, 20, 20, 410, 180);
  int dontAsk = AddCheckBox(warning, L" Dont ask again", CheckBoxPicture(14, kCheckRounded, 0xFF005F00),
                            CheckBoxPicture(14, kCheckRounded | kCheckTick, 0xFF005F00), 120, 220, 100, kStateUnchecked);
  int yes = AddPushButton(warning, L"Yes", 250, 215, 80, 26);
  int no = AddPushButton(warning, L"No", 350, 215, 80, 26);
  warning.SetCancelButton(no);
  warning.Show(SW_SHOWNORMAL, UiWindow::kShowUpdate);

  bool answer = false;
  for (bool waiting = true; waiting;) {
    const UiEvent& event = main.WaitEvent();
    if (event.code == kEventQuit) break;
    if (event.source == &main && event.code == owner.minimiseButton && owner.minimiseButton != 0) {
      ShowWindow(mainHandle, SW_MINIMIZE);
    } else if (event.source == &main && event.code == owner.closeButton && owner.closeButton != 0) {
      waiting = false;
    } else if (event.source == &warning && (event.code == yes || event.code == no)) {
      // The box counts for either answer: a "No" with it ticked still ends the warnings.
      if (warning.GetState(dontAsk) & kStateChecked) appIni.SetString(kSettings, kSkipStrictWarning, L"1");
      answer = event.code == yes;
      waiting = false;
    }
  }
  warning.CloseModal(before);
  return answer;
}
