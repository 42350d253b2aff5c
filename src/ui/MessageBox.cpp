#include "ui/MessageBox.h"

#include "ui/Controls.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;

Gdiplus::Color Opaque(COLORREF colour) {
  return Gdiplus::Color(255, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

UniqueBitmap BitmapOf(Gdiplus::Bitmap& canvas) {
  HBITMAP bitmap = nullptr;
  if (canvas.GetHBITMAP(Gdiplus::Color(255, 254, 254, 254), &bitmap) != Gdiplus::Ok) return {};
  return UniqueBitmap(bitmap);
}

UniqueBitmap GradientBackground(int width, int height, COLORREF top, COLORREF bottom) {
  Gdiplus::Bitmap canvas(width, height, PixelFormat32bppPARGB);
  Gdiplus::Graphics graphics(&canvas);
  Gdiplus::LinearGradientBrush brush(Gdiplus::Rect(0, 0, width, height + 1), Opaque(top), Opaque(bottom),
                                     Gdiplus::LinearGradientModeVertical);
  graphics.FillRectangle(&brush, 0, 0, width, height);
  return BitmapOf(canvas);
}

// Black with a white border and a blue corner.
UniqueBitmap TipBackground(int width, int height) {
  Gdiplus::Bitmap canvas(width, height, PixelFormat32bppPARGB);
  Gdiplus::Graphics graphics(&canvas);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  graphics.Clear(Gdiplus::Color(255, 0, 0, 0));
  Gdiplus::Pen border(Gdiplus::Color(255, 255, 255, 255), 2.0f);
  graphics.DrawRectangle(&border, 1, 1, width - 2, height - 2);
  Gdiplus::SolidBrush corner(Gdiplus::Color(0xFF6060FF));
  Gdiplus::Point triangle[] = {{0, 0}, {0, 32}, {32, 0}};
  graphics.FillPolygon(&corner, triangle, 3);
  return BitmapOf(canvas);
}

// The width of the widest line and the height of all lines of a text in a control's font.
SIZE MeasureLines(HWND control, WideView text) {
  WindowDc dc(control);
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  SelectedObject selected(dc.get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  SIZE total{0, 0};
  size_t start = 0;
  while (true) {
    size_t end = text.find(L"\r\n", start);
    WideString line(text.substr(start, end == WideView::npos ? WideView::npos : end - start));
    SIZE extent{};
    if (!line.empty() && GetTextExtentPoint32W(dc.get(), line.c_str(), static_cast<int>(line.size()), &extent)) {
      total.cx = std::max(total.cx, extent.cx);
      total.cy += extent.cy;
    } else {
      total.cy += 16;
    }
    if (end == WideView::npos) break;
    start = end + 2;
  }
  return total;
}

}  // namespace

void MessageBoxWindow::ShowBox(UiWindow* owner, WideView text, MessageKind kind, int height, int width) {
  if (box_.handle()) box_.Destroy();
  if (tip_.handle()) tip_.Destroy();
  kind_ = kind;
  if (width < 160) width = 360;
  HWND ownerWindow = owner ? owner->handle() : nullptr;
  if (ownerWindow && IsIconic(ownerWindow)) ShowWindow(ownerWindow, SW_RESTORE);
  if (ownerWindow && !IsWindowVisible(ownerWindow)) ownerWindow = nullptr;
  box_.ShareEvents(owner ? &owner->event() : nullptr);
  if (!box_.Create(L"_WINDOW_MsgBoxClass", L"", width, height, kCentred, kCentred, WS_POPUP, 0, ownerWindow)) return;
  box_.defaultFont() = FontSpec{};
  box_.SetDefaultColours(static_cast<int32_t>(textColour_), kTransparent);
  box_.SetBackgroundBitmap(GradientBackground(width, height, topColour_, bottomColour_), BackgroundMode::kPattern);
  UiWindow::Centre(box_.handle(), ownerWindow);
  if (owner && ownerWindow) owner->AddAttachedWindow(box_.handle());

  textId_ = AddLabel(box_, text, 20, 20, width - 40, height - 65, SS_NOTIFY);
  static constexpr const wchar_t* kLabels[4][3] = {
      {L"OK", nullptr, nullptr}, {L"Yes", L"No", nullptr}, {L"OK", L"Cancel", nullptr}, {L"Yes", L"No", L"Cancel"}};
  int kindIndex = std::clamp(static_cast<int>(kind), 0, 3);
  int count = kindIndex == 0 ? 1 : kindIndex == 3 ? 3 : 2;
  int gap = count == 1 ? 0 : (width - count * kButtonWidth) / (count + 1);
  int y = height - 35;
  for (int i = 0; i < 3; ++i) {
    buttons_[i] = 0;
    if (i >= count) continue;
    int x = count == 1 ? width - 135 : gap * (i + 1) + kButtonWidth * i;
    DWORD style = WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : 0);
    buttons_[i] = AddPushButton(box_, kLabels[kindIndex][i], x, y, kButtonWidth, kButtonHeight, style);
  }
  box_.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
  if (HWND first = box_.ControlHandle(buttons_[0])) SetFocus(first);
}

int MessageBoxWindow::AnswerFor(const UiEvent& event) const {
  if (event.code == kEventQuit) return kAnswerQuit;
  if (event.code == kEventClose) return kAnswerClosed;
  if (event.source != &box_ || event.code <= 0) return INT32_MIN;
  if (event.code == buttons_[0]) return 1;
  if (event.code == buttons_[1]) return kind_ == MessageKind::kOkCancel ? -1 : 0;
  if (event.code == buttons_[2]) return -1;
  return INT32_MIN;
}

int MessageBoxWindow::Ask(UiWindow* owner, WideView text, MessageKind kind, int height, int width, int lockFirst,
                          int lockLast) {
  if (!owner || !owner->handle()) return 1;
  if (kind == MessageKind::kTip) {
    ShowTip(*owner, text);
    return 1;
  }
  HWND ownerWindow = owner->handle();
  UiLock lock;
  bool wasEnabled = IsWindowEnabled(ownerWindow) != 0;
  if (lockFirst > 0) {
    lock.Acquire(*owner, lockFirst, lockLast);
  } else {
    EnableWindow(ownerWindow, FALSE);
  }
  if (IsIconic(ownerWindow)) ShowWindow(ownerWindow, SW_RESTORE);

  UiEvent before = owner->event();
  ShowBox(owner, text, kind, height, width);
  int answer = INT32_MIN;
  bool ownCloseRequest = false;
  while (box_.handle() && answer == INT32_MIN) {
    const UiEvent& event = owner->WaitEvent();
    answer = AnswerFor(event);
    ownCloseRequest = event.code == kEventClose && event.window == box_.handle();
  }
  if (answer == INT32_MIN) answer = kAnswerClosed;
  // The owner comes back before the box goes, so that the system gives it the activation.
  if (lockFirst > 0) {
    lock.Release();
  } else if (wasEnabled) {
    EnableWindow(ownerWindow, TRUE);
  }
  if (wasEnabled && lockFirst <= 0) SetWindowPos(ownerWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  box_.CloseModal(before, !ownCloseRequest);
  return answer;
}

void MessageBoxWindow::ShowTip(UiWindow& owner, WideView text, int height, int width) {
  HWND ownerWindow = owner.handle();
  if (tip_.handle()) tip_.Destroy();
  if (!ownerWindow || !IsWindowVisible(ownerWindow) || IsIconic(ownerWindow)) return;
  width = std::max(width, 200);
  height = std::max(height, 75);
  size_t separator = text.find(L"||");
  WideView message = text.substr(0, separator);
  WideString caption = separator == WideView::npos ? WideString(L"Information") : WideString(text.substr(separator + 2));

  RECT place{};
  GetWindowRect(ownerWindow, &place);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  RECT regionBox{};
  if (GetWindowRgn(ownerWindow, region) != ERROR && GetRgnBox(region, &regionBox) != ERROR) {
    OffsetRect(&place, regionBox.left, regionBox.top);
  }
  DeleteObject(region);
  bool topmost = (GetWindowLongW(ownerWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (!tip_.Create(L"_WndMsgTipClass", caption, width, height, place.left + 24, place.top + 20, WS_POPUP,
                   topmost ? WS_EX_TOPMOST : 0, ownerWindow)) {
    return;
  }
  owner.AddAttachedWindow(tip_.handle());
  tip_.SetDefaultColours(static_cast<int32_t>(RGB(255, 255, 255)), kTransparent);
  int messageId = AddLabel(tip_, message, 10, 35, width - 20, height - 45);
  // The tip is as high as its lines, so that it covers no more of the owner than it needs, and as wide as
  // asked or as its widest line.
  SIZE extent = MeasureLines(tip_.ControlHandle(messageId), message);
  width = std::max(width, static_cast<int>(extent.cx) + 30);
  height = static_cast<int>(extent.cy) + 45;
  SetWindowPos(tip_.handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(tip_.ControlHandle(messageId), nullptr, 10, 35, width - 20, height - 45, SWP_NOZORDER | SWP_NOACTIVATE);
  tip_.SetBackgroundBitmap(TipBackground(width, height), BackgroundMode::kPattern);
  (void)AddLabel(tip_, caption, 35, 6, width - 35, 20);
  tip_.Show(SW_SHOWNOACTIVATE, UiWindow::kShowUpdate);
  owner.SetTransientTip(&tip_);
}

void MessageBoxWindow::Close() {
  if (box_.handle()) box_.Destroy();
  if (tip_.handle()) tip_.Destroy();
}
