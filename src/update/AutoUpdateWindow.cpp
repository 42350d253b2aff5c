#include "update/AutoUpdateWindow.h"

#include "ui/Controls.h"
#include "ui/Drawing.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int kWidth = 380;
constexpr int kHeight = 150;
constexpr int kBandTop = 104;

}  // namespace

bool AutoUpdateWindow::Open() {
  if (window_.handle()) return true;
  cancelled_ = false;
  ownCloseRequest_ = false;
  HWND ownerWindow = owner_ ? owner_->handle() : nullptr;
  if (ownerWindow && !IsWindowVisible(ownerWindow)) ownerWindow = nullptr;
  if (ownerWindow) {
    ownerBefore_ = owner_->event();
    window_.ShareEvents(&owner_->event());
    sharing_ = true;
    ownerWasEnabled_ = IsWindowEnabled(ownerWindow) != 0;
    EnableWindow(ownerWindow, FALSE);
  }
  if (!window_.Create(L"Brimlark_AutoUpdate", L"Brimlark Backup", kWidth, kHeight, kCentred, kCentred,
                      WS_CAPTION | WS_SYSMENU, 0, ownerWindow)) {
    Close();
    return false;
  }
  UiWindow::Centre(window_.handle(), ownerWindow);
  window_.SetBackgroundBitmap(DialogFace(kWidth, kHeight, kBandTop, 0), BackgroundMode::kPattern);
  window_.SetDefaultColours(0, kTransparent);

  busyId_ = AddLabel(window_, L"", 10, 10, 48, 48);
  titleId_ = AddLabel(window_, L"Brimlark Backup", 68, 14, 300, 22);
  (void)SetControlFont(window_, titleId_, 12, 800, 1);
  statusId_ = AddLabel(window_, L"Checking for updates...", 68, 42, 300, 18, SS_LEFTNOWORDWRAP);
  barId_ = AddProgressBar(window_, 12, 72, kWidth - 24, 18);
  if (HWND bar = window_.ControlHandle(barId_)) {
    SetWindowLongW(bar, GWL_STYLE, GetWindowLongW(bar, GWL_STYLE) | PBS_MARQUEE);
    SendMessageW(bar, PBM_SETMARQUEE, TRUE, 30);
  }
  cancelId_ = AddPushButton(window_, L"Cancel", kWidth - 112, kBandTop + 12, 100, 26);

  window_.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
  (void)busy_.Start(window_.ControlHandle(busyId_), 48, 0xFF000000, 80, kCopyWindowBackground);
  return true;
}

void AutoUpdateWindow::ShowDownloading() {
  (void)SetControlText(window_, statusId_, L"Downloading update...");
  HWND bar = window_.ControlHandle(barId_);
  if (!bar) return;
  SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
  SetWindowLongW(bar, GWL_STYLE, GetWindowLongW(bar, GWL_STYLE) & ~PBS_MARQUEE);
  SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  SendMessageW(bar, PBM_SETPOS, 0, 0);
  RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void AutoUpdateWindow::ShowPercent(uint32_t percent) {
  if (HWND bar = window_.ControlHandle(barId_)) SendMessageW(bar, PBM_SETPOS, std::min<uint32_t>(percent, 100), 0);
}

bool AutoUpdateWindow::CancelRequested() {
  if (!window_.handle()) return cancelled_;
  for (const UiEvent* event = &window_.NextEvent(); event->code != kEventNone; event = &window_.NextEvent()) {
    if (event->code == kEventClose) {
      // Ours, or the owner's: either way the check stops; the owner's is answered by the owner afterwards.
      cancelled_ = true;
      if (event->window == window_.handle()) ownCloseRequest_ = true;
    } else if (event->source == &window_ && event->code == cancelId_) {
      cancelled_ = true;
    }
  }
  return cancelled_;
}

void AutoUpdateWindow::Close() {
  busy_.Stop();
  HWND ownerWindow = owner_ ? owner_->handle() : nullptr;
  if (!sharing_) {
    window_.Destroy();
    return;
  }
  sharing_ = false;
  // The owner comes back before this window goes, so that the system gives it the activation.
  if (ownerWindow && ownerWasEnabled_) {
    EnableWindow(ownerWindow, TRUE);
    SetWindowPos(ownerWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  window_.CloseModal(ownerBefore_, !ownCloseRequest_);
}
