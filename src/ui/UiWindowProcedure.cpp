// The framework's window procedure: it turns messages into events for the owner's loop, and answers at
// once what cannot wait (colours, cursors, sizes, hit tests) from the window's own state.

#include "ui/ControlData.h"
#include "ui/Drawing.h"
#include "ui/Menus.h"
#include "ui/Subclassing.h"
#include "ui/UiWindow.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace {

constexpr UINT_PTR kSubclassId = 0xB41;

bool IsPairType(ControlType type) { return type == ControlType::kCheckBoxPair || type == ControlType::kRadioPair; }

}  // namespace

class UiWindowProcedure {
 public:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR reference) {
    auto* self = reinterpret_cast<UiWindow*>(reference);
    bool handled = false;
    LRESULT result = self->HandleMessage(window, message, wParam, lParam, handled);
    if (handled) return result;
    if (message == WM_NCDESTROY) RemoveSubclass(window, Procedure, kSubclassId);
    return CallNextProcedure(window, message, wParam, lParam);
  }
};

void UiWindow::Subclass() { InstallSubclass(window_, UiWindowProcedure::Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this)); }

void UiWindow::Unsubclass() {
  if (window_) RemoveSubclass(window_, UiWindowProcedure::Procedure, kSubclassId);
}

ControlBox RelaidOut(uint32_t flags, ControlBox created, ControlBox current, int parentWidth0, int parentHeight0,
                     int parentWidth, int parentHeight) {
  // One axis at a time, with the bits of that axis: proportional position, proportional centre, centre
  // offset, far edge, both edges, near edge, proportional size.
  struct Axis {
    uint32_t proportional, proportionalCentre, centre, farEdge, nearEdge, proportionalSize;
  };
  auto place = [flags](const Axis& bits, int position0, int size0, int currentPosition, int currentSize, int parent0,
                       int parent, int& position, int& size) {
    size = (flags & bits.proportionalSize) && parent0 ? parent * size0 / parent0 : size0;
    bool nearEdge = (flags & bits.nearEdge) != 0;
    bool farEdge = (flags & bits.farEdge) != 0;
    if ((flags & bits.proportional) && parent0) {
      position = position0 * parent / parent0;
    } else if ((flags & bits.proportionalCentre) && parent0 && (size0 / 2 + position0) != 0 &&
               parent0 * 1000 / (size0 / 2 + position0) != 0) {
      position = parent * 1000 / (parent0 * 1000 / (size0 / 2 + position0)) - size / 2;
    } else if (flags & bits.centre) {
      position = parent / 2 + position0 + size0 / 2 - parent0 / 2 - size / 2;
    } else if (farEdge && !nearEdge) {
      position = position0 + (parent - parent0) + (size0 - size);
    } else if (farEdge && nearEdge) {
      position = position0;
      size = size0 + (parent - parent0);
    } else if (nearEdge) {
      position = position0;
    } else {
      position = currentPosition;
      if (!(flags & bits.proportionalSize)) size = currentSize;
    }
  };
  ControlBox box{};
  place(Axis{kProportionalX, kProportionalHorizontalCentre, kKeepHorizontalCentre, kKeepRight, kKeepLeft,
             kProportionalWidth},
        created.x, created.width, current.x, current.width, parentWidth0, parentWidth, box.x, box.width);
  place(Axis{kProportionalY, kProportionalVerticalCentre, kKeepVerticalCentre, kKeepBottom, kKeepTop,
             kProportionalHeight},
        created.y, created.height, current.y, current.height, parentHeight0, parentHeight, box.y, box.height);
  return box;
}

void UiWindow::MoveControl(ControlRecord& record, int, int, HDWP& batch) {
  HWND control = record.window;
  HWND parent = GetParent(control);
  RECT parentClient{};
  GetClientRect(parent, &parentClient);
  RECT now{};
  GetWindowRect(control, &now);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&now), 2);
  ControlBox box = RelaidOut(record.resize, {record.x, record.y, record.width, record.height},
                             {now.left, now.top, now.right - now.left, now.bottom - now.top}, record.parentWidth,
                             record.parentHeight, parentClient.right, parentClient.bottom);
  auto move = [&](HWND which, int x, int y, int width, int height) {
    if (parent == window_ && batch) {
      batch = DeferWindowPos(batch, which, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOOWNERZORDER);
    } else {
      SetWindowPos(which, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOOWNERZORDER);
    }
  };
  move(control, box.x, box.y, box.width, box.height);
  // A check box's label keeps its offset from its image.
  if (IsPairType(record.type)) {
    if (auto* half = dynamic_cast<PairHalf*>(record.data.get())) {
      if (ControlRecord* label = Record(half->labelId)) {
        move(label->window, box.x + (label->x - record.x) + 1, box.y + (label->y - record.y) - 1, label->width,
             label->height);
      }
    }
  }
  if (record.type == ControlType::kGroupBox) {
    // The frame only, so that the controls inside it paint through.
    HRGN frame = CreateRectRgn(0, 0, box.width, box.height);
    HRGN inside = CreateRectRgn(6, 18, box.width - 6, box.height - 6);
    CombineRgn(frame, frame, inside, RGN_DIFF);
    DeleteObject(inside);
    if (!SetWindowRgn(control, frame, TRUE)) DeleteObject(frame);
  }
  if (record.type == ControlType::kShapedButton) {
    (void)SetRoundedWindowRegion(control, box.width, box.height,
                                 static_cast<int>(reinterpret_cast<INT_PTR>(record.companion)));
  }
  if (record.type == ControlType::kInputField && record.companion && IsWindow(record.companion)) {
    // The field's up-down control sits again at its right end.
    SendMessageW(record.companion, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control), 0);
  }
  if (record.resize & kInvalidateAfterMove) InvalidateRect(control, nullptr, TRUE);
}

void UiWindow::Relayout() {
  if (!window_ || IsIconic(window_)) return;
  RECT client{};
  GetClientRect(window_, &client);
  if (client.right == clientSize_.cx && client.bottom == clientSize_.cy) return;
  clientSize_ = {client.right, client.bottom};
  HDWP batch = BeginDeferWindowPos(static_cast<int>(count_) + 1);
  for (size_t id = 1; id <= count_; ++id) {
    ControlRecord& record = records_[id];
    if (!record.inUse || !record.window || !(record.resize & kResizeMoveMask)) continue;
    // A pair's label moves with its image.
    if (IsPairType(record.type) && dynamic_cast<PairData*>(record.data.get())) continue;
    MoveControl(record, client.right, client.bottom, batch);
  }
  if (batch) EndDeferWindowPos(batch);
  // Tab pages fill their tab control's display area.
  for (size_t id = 1; id <= count_; ++id) {
    ControlRecord& record = records_[id];
    if (!record.inUse || record.type != ControlType::kTabPage || !record.companion) continue;
    RECT area{};
    GetClientRect(record.companion, &area);
    TabCtrl_AdjustRect(record.companion, FALSE, &area);
    MapWindowPoints(record.companion, GetParent(record.window), reinterpret_cast<POINT*>(&area), 2);
    SetWindowPos(record.window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (cornerDiameter_ > 1) SetShape(cornerDiameter_);
}

LRESULT UiWindow::EraseBackground(HDC dc) {
  if (backgroundMode_ == BackgroundMode::kNone) return 1;
  RECT client{};
  GetClientRect(window_, &client);
  int saved = SaveDC(dc);
  // Controls that paint their own background are cut out, so that nothing flickers under them; a hollow one
  // paints none and lies on this background.
  for (size_t id = 1; id <= count_; ++id) {
    const ControlRecord& record = records_[id];
    if (!record.inUse || !record.window || !(record.resize & kClipFromParent) || record.backgroundColour == kHollow ||
        !IsWindowVisible(record.window) || GetParent(record.window) != window_) {
      continue;
    }
    RECT box{};
    GetWindowRect(record.window, &box);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    if ((record.type == ControlType::kGroupBox || record.type == ControlType::kShapedButton) &&
        GetWindowRgn(record.window, shape) != ERROR) {
      OffsetRgn(shape, box.left, box.top);
      ExtSelectClipRgn(dc, shape, RGN_DIFF);
    } else {
      ExcludeClipRect(dc, box.left, box.top, box.right, box.bottom);
    }
    DeleteObject(shape);
  }
  if (backgroundMode_ == BackgroundMode::kStretched && backgroundBitmap_ && memoryDc_) {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, 0, 0, client.right, client.bottom, memoryDc_.get(), 0, 0, backgroundSize_.cx, backgroundSize_.cy,
               SRCCOPY);
  } else {
    HBRUSH brush = backgroundMode_ == BackgroundMode::kForeignBrush ? foreignBrush_ : backgroundBrush_.get();
    if (brush) FillRect(dc, &client, brush);
  }
  RestoreDC(dc, saved);
  return 1;
}

HBRUSH UiWindow::PatternUnder(HWND control) {
  RECT box{};
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
  int width = std::max(1L, box.right - box.left);
  int height = std::max(1L, box.bottom - box.top);
  WindowDc windowDc(window_);
  UniqueMemoryDc dc(CreateCompatibleDC(windowDc.get()));
  UniqueBitmap picture(CreateCompatibleBitmap(windowDc.get(), width, height));
  if (!dc || !picture) return nullptr;
  {
    SelectedObject selected(dc.get(), picture.get());
    if (backgroundMode_ == BackgroundMode::kStretched && backgroundBitmap_ && memoryDc_) {
      RECT client{};
      GetClientRect(window_, &client);
      SetStretchBltMode(dc.get(), HALFTONE);
      // The part of the stretched bitmap that lies under the control.
      double scaleX = client.right ? static_cast<double>(backgroundSize_.cx) / client.right : 1;
      double scaleY = client.bottom ? static_cast<double>(backgroundSize_.cy) / client.bottom : 1;
      StretchBlt(dc.get(), 0, 0, width, height, memoryDc_.get(), static_cast<int>(box.left * scaleX),
                 static_cast<int>(box.top * scaleY), static_cast<int>(width * scaleX), static_cast<int>(height * scaleY),
                 SRCCOPY);
    } else {
      HBRUSH brush = backgroundMode_ == BackgroundMode::kForeignBrush ? foreignBrush_ : backgroundBrush_.get();
      RECT area{0, 0, width, height};
      SetBrushOrgEx(dc.get(), -box.left, -box.top, nullptr);
      if (brush) FillRect(dc.get(), &area, brush);
    }
  }
  cachedPattern_.reset(CreatePatternBrush(picture.get()));
  return cachedPattern_.get();
}

LRESULT UiWindow::ControlColour(UINT message, HDC dc, HWND control) {
  ControlRecord* record = Record(IdOf(control));
  if (!record) return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  if (record->textColour != kColourUnset) SetTextColor(dc, static_cast<COLORREF>(record->textColour));
  if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX) {
    if (record->backgroundColour >= 0) SetBkColor(dc, static_cast<COLORREF>(record->backgroundColour));
    return record->brush ? reinterpret_cast<LRESULT>(record->brush.get())
                         : reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  if (record->backgroundColour == kHollow) {
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  }
  if (record->backgroundColour == kTransparent) {
    SetBkMode(dc, TRANSPARENT);
  } else {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, static_cast<COLORREF>(record->backgroundColour));
  }
  if (record->brush) return reinterpret_cast<LRESULT>(record->brush.get());
  if (auto* image = DataOf<ImageData>(record); image && image->pattern) return reinterpret_cast<LRESULT>(image->pattern.get());
  // Transparent text on a tab page lies on the page's own colour.
  if (HWND parent = GetParent(control); parent && parent != window_) {
    if (auto pageBrush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(parent, GCLP_HBRBACKGROUND))) {
      return reinterpret_cast<LRESULT>(pageBrush);
    }
  }
  // Transparent text over the window's background: a brush cut from the background under the control.
  HBRUSH pattern = PatternUnder(control);
  if (pattern && record->type == ControlType::kGroupBox) {
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    if (GetWindowRgn(control, shape) != ERROR) FillRgn(dc, shape, pattern);
    DeleteObject(shape);
  }
  return reinterpret_cast<LRESULT>(pattern ? pattern : GetSysColorBrush(COLOR_BTNFACE));
}

namespace {

// The id of the registered control under a point of the window's client area, or of its registered parent.
int ControlAt(const UiWindow& window, HWND frame, POINT clientPoint) {
  HWND child = ChildWindowFromPointEx(frame, clientPoint, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
  for (HWND candidate = child; candidate && candidate != frame; candidate = GetParent(candidate)) {
    if (int id = window.IdOf(candidate)) return id;
  }
  return 0;
}

}  // namespace

LRESULT UiWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  UiEvent& event = *event_;
  auto raise = [&](int32_t code, int32_t param = 0, LPARAM extra = 0) {
    event.Raise(this, code, message, window, param, extra);
  };
  // Asking for the foreground window is a round trip to the wineserver under Wine; a list being filled
  // notifies its parent for every row.
  auto becomeActive = [&] {
    if (event.active != this && GetForegroundWindow() == window) event.active = this;
  };
  handled = false;
  switch (message) {
    case WM_COMMAND: {
      becomeActive();
      HWND control = reinterpret_cast<HWND>(lParam);
      int id = control ? IdOf(control) : LOWORD(wParam);
      ControlRecord* record = Record(id);
      if (!record) break;
      int notification = HIWORD(wParam);
      switch (record->type) {
        case ControlType::kCheckBoxPair:
        case ControlType::kRadioPair:
          if (notification == STN_CLICKED || notification == STN_DBLCLK) raise(ClickPair(*this, id), id, notification);
          break;
        case ControlType::kDropDownList: {
          static constexpr int32_t kComboCodes[] = {0, kEventComboSelectionChange, kEventComboDoubleClick,
                                                    kEventComboFocus, 0, kEventComboEditChange, 0,
                                                    kEventComboDropDown, kEventComboCloseUp};
          if (notification >= 1 && notification <= 8 && kComboCodes[notification]) raise(kComboCodes[notification], id);
          break;
        }
        case ControlType::kInputField:
          if (notification == EN_UPDATE) raise(kEventEditUpdate, id);
          if (notification == EN_CHANGE) raise(kEventEditChange, id);
          if (notification == EN_SETFOCUS) raise(kEventEditFocus, id);
          if (notification == EN_KILLFOCUS) raise(kEventEditFocusLost, id);
          break;
        case ControlType::kLabel:
        case ControlType::kIcon:
        case ControlType::kPicture:
          if (notification == STN_CLICKED || notification == STN_DBLCLK) raise(id, id, notification);
          break;
        default:
          if (notification == BN_CLICKED || notification == 1 /* accelerator */) raise(id, id, notification);
          break;
      }
      handled = true;
      return 0;
    }
    case WM_MENUCOMMAND: {
      UINT item = GetMenuItemID(reinterpret_cast<HMENU>(lParam), static_cast<int>(wParam));
      if (item != static_cast<UINT>(-1) && Record(static_cast<int>(item))) raise(static_cast<int32_t>(item), static_cast<int32_t>(item));
      handled = true;
      return 0;
    }
    case WM_NOTIFY:
      becomeActive();
      return HandleNotify(*this, reinterpret_cast<NMHDR*>(lParam), handled);
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wParam);
      POINT point{};
      DragQueryPoint(drop, &point);
      scratch_.clear();
      UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        WideString path(length, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        if (!scratch_.empty()) scratch_ += L"\r\n";
        scratch_ += path;
      }
      DragFinish(drop);
      raise(kEventDrop, ControlAt(*this, window, point), reinterpret_cast<LPARAM>(scratch_.c_str()));
      handled = true;
      return 0;
    }
    case WM_CLOSE:
      PostMessageW(window, kCloseRequestMessage, 0, 0);
      handled = true;
      return 0;
    case WM_SYSCOMMAND: {
      CloseTransientTip();
      UINT command = static_cast<UINT>(wParam & 0xFFF0);
      if (command == SC_CLOSE) {
        PostMessageW(window, kCloseRequestMessage, 0, 0);
        handled = true;
        return 0;
      }
      if (command == SC_MINIMIZE) raise(kEventMinimize);
      if (command == SC_RESTORE) raise(kEventRestore);
      if (command == SC_MAXIMIZE) raise(kEventMaximize);
      if (command == SC_MOVE) raise(kEventMoving);
      break;
    }
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) {
        raise(kEventSize);
      } else {
        Relayout();
      }
      break;
    case WM_SIZING:
      raise(kEventSize);
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
      if (!(position->flags & SWP_NOSIZE)) {
        RECT client{};
        GetClientRect(window, &client);
        if (client.right != clientSize_.cx || client.bottom != clientSize_.cy) {
          Relayout();
          raise(kEventSize);
        }
      }
      break;
    }
    case WM_EXITSIZEMOVE:
      Relayout();
      raise(kEventSize);
      break;
    case WM_WINDOWPOSCHANGING: {
      // Attached windows travel with this one.
      auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
      RECT now{};
      if (!(position->flags & SWP_NOMOVE) && GetWindowRect(window, &now)) {
        int dx = position->x - now.left;
        int dy = position->y - now.top;
        if (dx || dy) {
          for (int slot = 0; slot <= attachedHighest_; ++slot) {
            HWND other = attached_[slot];
            RECT box{};
            if (other && IsWindow(other) && GetWindowRect(other, &box)) {
              SetWindowPos(other, nullptr, box.left + dx, box.top + dy, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
          }
        }
      }
      break;
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (minTrack_.cx || minTrack_.cy) info->ptMinTrackSize = {minTrack_.cx, minTrack_.cy};
      if (maxTrack_.cx || maxTrack_.cy) info->ptMaxTrackSize = {maxTrack_.cx, maxTrack_.cy};
      handled = true;
      return 0;
    }
    case WM_LBUTTONDOWN: becomeActive(); raise(kEventLeftDown); break;
    case WM_LBUTTONUP: raise(kEventLeftUp); break;
    case WM_RBUTTONDOWN: becomeActive(); raise(kEventRightDown); break;
    case WM_RBUTTONUP: raise(kEventRightUp); break;
    case WM_LBUTTONDBLCLK: raise(kEventDoubleClick); break;
    case WM_RBUTTONDBLCLK: raise(kEventRightDoubleClick); break;
    case WM_MOUSEMOVE:
      lastMouse_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      lastKeys_ = wParam;
      raise(kEventMouseMove);
      break;
    case WM_MOUSEWHEEL: raise(kEventWheel, GET_WHEEL_DELTA_WPARAM(wParam)); break;
    case WM_MOUSEHWHEEL: raise(kEventHorizontalWheel, GET_WHEEL_DELTA_WPARAM(wParam)); break;
    case WM_NCLBUTTONDBLCLK: raise(kEventNcDoubleClick, static_cast<int32_t>(wParam)); break;
    case WM_NCLBUTTONDOWN: raise(kEventNcButtonDown, static_cast<int32_t>(wParam)); break;
    case WM_NCLBUTTONUP: raise(kEventNcButtonUp, static_cast<int32_t>(wParam)); break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) event.active = this;
      raise(LOWORD(wParam) != WA_INACTIVE ? kEventActivated : kEventDeactivated);
      if (LOWORD(wParam) != WA_INACTIVE) ResetPairColours(*this);
      break;
    case WM_ACTIVATEAPP: raise(wParam ? kEventActivated : kEventDeactivated); break;
    case WM_SETCURSOR: {
      HWND under = reinterpret_cast<HWND>(wParam);
      int id = under == window ? 0 : IdOf(under);
      UpdateHover(*this, id);
      // A press on a control that drags the window starts a caption drag.
      if (HIWORD(lParam) == WM_LBUTTONDOWN) {
        becomeActive();
        if (const ControlRecord* record = Record(id); record && (record->resize & kDragsWindow)) {
          if (frameless_) {
            RECT top{0, 0, clientSize_.cx, 50};
            InvalidateRect(window, &top, FALSE);
          }
          ReleaseCapture();
          PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        }
      }
      raise(kEventMouseOver, id);
      HCURSOR cursor = under == window ? windowCursor_ : (Record(id) ? Record(id)->cursor : nullptr);
      if (cursor && LOWORD(lParam) == HTCLIENT) {
        SetCursor(cursor);
        handled = true;
        return TRUE;
      }
      break;
    }
    case WM_CONTEXTMENU: raise(kEventContextMenu, IdOf(reinterpret_cast<HWND>(wParam))); break;
    case WM_NCMOUSELEAVE: raise(kEventNcMouseLeave); break;
    case WM_MOVING: raise(kEventMoving); break;
    case WM_MOVE: raise(kEventMoved); break;
    case WM_NCACTIVATE:
      if ((frameless_ || cornerDiameter_ > 1) && borderWidth_ > 0) {
        raise(wParam ? kEventNcActive : kEventNcInactive);
        handled = true;
        return TRUE;
      }
      break;
    case WM_NCCALCSIZE:
      if (frameless_ && wParam) {
        auto* sizes = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        InflateRect(&sizes->rgrc[0], -borderWidth_, -borderWidth_);
        handled = true;
        return 0;
      }
      break;
    case WM_NCPAINT:
      if ((frameless_ || cornerDiameter_ > 1) && borderWidth_ > 0) {
        HDC dc = GetWindowDC(window);
        RECT box{};
        GetWindowRect(window, &box);
        OffsetRect(&box, -box.left, -box.top);
        UniqueBrush border(CreateSolidBrush(borderColour_));
        FillRect(dc, &box, border.get());
        ReleaseDC(window, dc);
        handled = true;
        return 0;
      }
      break;
    case WM_QUERYENDSESSION:
      raise(kEventEndSession, static_cast<int32_t>(lParam));
      handled = true;
      return TRUE;
    case WM_ENDSESSION: raise(kEventEndSession, static_cast<int32_t>(lParam)); break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const ControlRecord* record = Record(IdOf(reinterpret_cast<HWND>(lParam)));
      if (record && record->type != ControlType::kSlider && LOWORD(wParam) != SB_ENDSCROLL) {
        raise(message == WM_HSCROLL ? kEventHorizontalScroll : kEventVerticalScroll, record->inUse, LOWORD(wParam));
      }
      break;
    }
    case WM_CHAR: raise(kEventChar, static_cast<int32_t>(wParam)); break;
    case WM_ENTERMENULOOP: raise(kEventMenuLoopEnter); break;
    case WM_EXITMENULOOP: raise(kEventMenuLoopExit); break;
    case WM_DEVICECHANGE: raise(kEventDeviceChange, static_cast<int32_t>(wParam)); break;
    case kTrayCallbackMessage:
      // Handled by the loop, where the event lands in the record in use.
      PostMessageW(window, kTrayEventMessage, wParam, lParam);
      handled = true;
      return 0;
    case kEscapeMessage: {
      handled = true;
      const ControlRecord* record = Record(cancelButton_);
      if (!record || !record->window || !IsWindowEnabled(record->window) || !IsWindowEnabled(window)) return 0;
      SendMessageW(GetParent(record->window), WM_COMMAND, MAKEWPARAM(cancelButton_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(record->window));
      return 1;
    }
    case WM_USER:  // DM_GETDEFID
      handled = true;
      return defaultButton_ ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
    case WM_NEXTDLGCTL:
    case WM_GETDLGCODE:
    case WM_INITDIALOG:
    case WM_ENTERIDLE:
    case WM_CTLCOLORDLG:
      handled = true;
      return DefDlgProcW(window, message, wParam, lParam);
    case WM_ERASEBKGND:
      handled = true;
      return EraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      handled = true;
      return ControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    default:
      // The shell restarted: its notification area has forgotten our icons.
      if (static const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated"); message == taskbarCreated) {
        RestoreTrayIcons(*this);
      }
      break;
  }
  return 0;
}
