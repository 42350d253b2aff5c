#include "run/ProgressWindow.h"

#include "res/ResourceIds.h"
#include "ui/Controls.h"
#include "ui/Drawing.h"
#include "ui/Images.h"

#include <commctrl.h>

namespace {

constexpr int kWidth = 450;
constexpr int kHeight = 300;
constexpr wchar_t kCompletionEntries[] = L"Do nothing\nClose application\nLog off\nSleep\nHibernate\nShut down\nRestart";

}  // namespace

void ProgressWindow::Open(WideView caption) {
  HWND owner = owner_ && IsWindowVisible(owner_) ? owner_ : nullptr;
  if (!window_.Create(L"Brimlark_MsgBox", L"Brimlark Backup", kWidth, kHeight, kCentred, kCentred,
                      WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, owner)) {
    return;
  }
  window_.SetBackgroundBitmap(DialogFace(kWidth, kHeight, 256, 0), BackgroundMode::kPattern);
  window_.SetDefaultColours(0, kTransparent);

  busyId_ = AddLabel(window_, L"", 10, 10, 48, 48);
  titleId_ = AddLabel(window_, caption, 58, 20, 382, 22, SS_CENTER);
  (void)SetControlFont(window_, titleId_, 12, 800, 1);
  // Long locations are cut at the edge: the window keeps its size whatever the paths.
  sourceId_ = AddLabel(window_, L"", 10, 90, 430, 18, SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS);
  destinationId_ = AddLabel(window_, L"", 10, 115, 430, 18, SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS);
  barId_ = AddProgressBar(window_, 10, 145, 430, 18);
  if (HWND bar = window_.ControlHandle(barId_)) {
    SetWindowLongW(bar, GWL_STYLE, GetWindowLongW(bar, GWL_STYLE) | PBS_SMOOTH);
    SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
  }
  // Two lines: what is being done and for how long, then how much of it is done and left.
  statusId_ = AddLabel(window_, L"", 10, 168, 430, 34, SS_LEFTNOWORDWRAP);
  (void)AddLabel(window_, L"When the operation completes, ", 40, 216, 200, 18);
  completionId_ = AddDropDownList(window_, kCompletionEntries, 250, 212, 160, 200);
  SendMessageW(window_.ControlHandle(completionId_), CB_SETCURSEL, 0, 0);

  pausePicture_ = LoadImageResourceBitmap(nullptr, IDIMG_PAUSE, 16, 16, 0xFFF0F0FF);
  resumePicture_ = LoadImageResourceBitmap(nullptr, IDIMG_START, 16, 16, 0xFFF0F0FF);
  pauseId_ = AddPushButton(window_, L"  Pause", 190, 265, 100, 26);
  cancelId_ = AddImageButton(window_, L"  Cancel", LoadImageResourceBitmap(nullptr, IDIMG_CANCEL, 16, 16, 0xFFF0F0FF),
                             320, 265, 100, 26);
  ShowPaused(false);

  window_.Show(SW_SHOW, UiWindow::kShowUpdate);
  // The heartbeat keeps the controller's wait turning; the arc shows that something goes on.
  (void)heartbeat_.Start(window_.handle());
  (void)busy_.Start(window_.ControlHandle(busyId_), 48, 0xFF000000, 80, kCopyWindowBackground);
}

void ProgressWindow::Close() {
  question_.Close();
  // The threads end by themselves with the window; stopping them first spares them the wait.
  busy_.Stop();
  heartbeat_.Stop();
  window_.Destroy();
}

void ProgressWindow::ShowLocations(WideView source, WideView destination) {
  (void)SetControlText(window_, sourceId_, source);
  (void)SetControlText(window_, destinationId_, destination);
}

void ProgressWindow::ShowStatus(WideView text) { (void)SetControlText(window_, statusId_, text); }

void ProgressWindow::ShowMarquee(bool on) {
  HWND bar = window_.ControlHandle(barId_);
  if (!bar) return;
  LONG style = GetWindowLongW(bar, GWL_STYLE);
  SetWindowLongW(bar, GWL_STYLE, on ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
  SendMessageW(bar, PBM_SETMARQUEE, on ? TRUE : FALSE, 30);
  RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void ProgressWindow::ShowProgress(uint32_t permille) {
  if (HWND bar = window_.ControlHandle(barId_)) SendMessageW(bar, PBM_SETPOS, permille, 0);
}

void ProgressWindow::ShowPaused(bool paused) {
  HWND button = window_.ControlHandle(pauseId_);
  if (!button) return;
  SetWindowTextW(button, paused ? L"  Resume" : L"  Pause");
  HBITMAP picture = paused ? resumePicture_.get() : pausePicture_.get();
  if (picture) SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

ProgressEvent ProgressWindow::NextEvent() {
  for (const UiEvent* event = &window_.NextEvent(); event->code != kEventNone; event = &window_.NextEvent()) {
    // Only what this window reports counts; a close request for it is a Cancel.
    if (event->source != &window_ && event->code != kEventClose) continue;
    if (event->code == cancelId_ || (event->code == kEventClose && event->window == window_.handle())) {
      return ProgressEvent::kCancel;
    }
    if (event->code == pauseId_) return ProgressEvent::kPauseToggle;
  }
  return ProgressEvent::kNone;
}

bool ProgressWindow::AskYesNo(WideView question, bool answerWithoutWindow, bool stepAside) {
  if (!window_.handle()) return answerWithoutWindow;
  if (stepAside) ShowWindow(window_.handle(), SW_HIDE);
  if (question_.Ask(&window_, question, MessageKind::kYesNo, 150, 360) == 1) return true;
  if (stepAside) window_.Show(SW_SHOW, UiWindow::kShowUpdate);
  return false;
}

int ProgressWindow::CompletionChoice() {
  HWND list = window_.ControlHandle(completionId_);
  if (!list) return -1;
  // The choice counts once the list is closed up again.
  while (SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0)) {
    if (window_.NextEvent().code == kEventNone) Sleep(3);
  }
  return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}
