#include "ui/UiWindow.h"

#include "ui/ControlData.h"
#include "ui/Drawing.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <algorithm>

namespace {

constexpr int kClassExtraBytes = 512;
constexpr int kWindowExtraBytes = 512;

bool IsWindowHandle(HWND window) { return window != nullptr && IsWindow(window); }

// A key press or a mouse button pressed: what ends a transient tip.
bool IsInputStart(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      return true;
    default:
      return false;
  }
}

WideString ModulePath() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  return length == 0 || length >= std::size(buffer) ? WideString() : WideString(buffer, length);
}

}  // namespace

UiWindow::UiWindow() : records_(kInitialControls) {}

UiWindow::~UiWindow() { Destroy(); }

HWND UiWindow::Create(WideView className, WideView title, int clientWidth, int clientHeight, int x, int y,
                      DWORD style, DWORD extendedStyle, HWND parent) {
  if (window_) Destroy();
  instance_ = GetModuleHandleW(nullptr);
  className_ = WideString(className);
  WideString titleText(title);

  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance_, className_.c_str(), &existing)) {
    options_ |= kOptionClassExisted;
    classAtom_ = 0;
  } else {
    options_ &= ~static_cast<uint32_t>(kOptionClassExisted);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.cbClsExtra = kClassExtraBytes;
    windowClass.cbWndExtra = kWindowExtraBytes;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(RGB(254, 254, 254));
    windowClass.lpszClassName = className_.c_str();
    classAtom_ = RegisterClassExW(&windowClass);
    if (!classAtom_) {
      DeleteObject(windowClass.hbrBackground);
      return nullptr;
    }
  }

  if (style == kDefaultWindowStyle) style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (extendedStyle == kDefaultExtendedStyle) extendedStyle = WS_EX_ACCEPTFILES;
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, style, FALSE, extendedStyle);
  int width = outer.right - outer.left + ((style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0);
  int height = outer.bottom - outer.top + ((style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0);

  CLIENTCREATESTRUCT mdiCreate{};
  void* creationData = className_ == L"MDIClient" ? &mdiCreate : nullptr;
  window_ = CreateWindowExW(extendedStyle, className_.c_str(), titleText.c_str(), style, x == kCentred ? 0 : x,
                            y == kCentred ? 0 : y, width, height, parent, nullptr, instance_, creationData);
  if (!window_) {
    if (classAtom_) UnregisterClassW(className_.c_str(), instance_);
    classAtom_ = 0;
    return nullptr;
  }
  *event_ = UiEvent{};
  currentParent_ = window_;
  Subclass();
  if (x == kCentred && y == kCentred) Centre(window_, parent);
  defaultFont_ = FontSpec{};
  TakeIcons(parent);

  backgroundBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
  backgroundMode_ = BackgroundMode::kSolid;
  WindowDc windowDc(window_);
  memoryDc_.reset(CreateCompatibleDC(windowDc.get()));
  RECT client{};
  GetClientRect(window_, &client);
  clientSize_ = {client.right, client.bottom};
  return window_;
}

bool UiWindow::Attach(HWND window) {
  if (window_ || !IsWindowHandle(window)) return false;
  window_ = window;
  currentParent_ = window;
  instance_ = GetModuleHandleW(nullptr);
  options_ |= kOptionForeign | kOptionClassExisted;
  Subclass();
  RECT client{};
  GetClientRect(window_, &client);
  clientSize_ = {client.right, client.bottom};
  return true;
}

void UiWindow::TakeIcons(HWND parent) {
  HICON big = nullptr, small = nullptr;
  if (parent) {
    auto iconOf = [parent](WPARAM kind, int classIndex) {
      HICON icon = reinterpret_cast<HICON>(SendMessageW(parent, WM_GETICON, kind, 0));
      if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(parent, classIndex));
      return icon ? CopyIcon(icon) : nullptr;
    };
    big = iconOf(ICON_BIG, GCLP_HICON);
    small = iconOf(ICON_SMALL, GCLP_HICONSM);
  } else {
    WideString path = ModulePath();
    if (!path.empty() &&
        SHDefExtractIconW(path.c_str(), 0, 0, &big, &small,
                          MAKELONG(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CXSMICON))) != S_OK) {
      big = small = nullptr;
    }
  }
  if (big) SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  // The window holds on to the icons it shows; the ones it showed before go now.
  bigIcon_.reset(big);
  smallIcon_.reset(small);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void UiWindow::Destroy() {
  if (tipOwner_ && tipOwner_->transientTip_ == this) tipOwner_->transientTip_ = nullptr;
  tipOwner_ = nullptr;
  if (!window_) {
    records_.clear();
    records_.resize(kInitialControls);
    count_ = 0;
    return;
  }
  bool foreign = (options_ & kOptionForeign) != 0;
  if (!foreign) ShowWindow(window_, SW_HIDE);
  for (int id = static_cast<int>(count_); id >= 1; --id) (void)DeleteControl(id);
  tooltip_.reset();
  CloseTransientTip();
  FreeBackground();
  backgroundBrush_.reset();
  foreignBrush_ = nullptr;
  cachedPattern_.reset();
  memoryDc_.reset();
  menu_.reset();
  accelerators_.reset();
  // The object lets go of the window before the window goes, so that nothing it sends while dying comes
  // back to an object half taken apart.
  Unsubclass();
  if (!foreign) DestroyWindow(window_);
  bigIcon_.reset();
  smallIcon_.reset();
  window_ = nullptr;
  currentParent_ = nullptr;
  openContainer_ = 0;
  if (!(options_ & kOptionClassExisted) && classAtom_) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    HBRUSH classBrush = nullptr;
    if (GetClassInfoExW(instance_, className_.c_str(), &windowClass)) classBrush = windowClass.hbrBackground;
    if (UnregisterClassW(className_.c_str(), instance_) && classBrush) DeleteObject(classBrush);
  }
  classAtom_ = 0;
  options_ = 0;
  defaultButton_ = 0;
  cancelButton_ = 0;
  hovered_ = 0;
  attached_.fill(nullptr);
  attachedHighest_ = -1;
  records_.clear();
    records_.resize(kInitialControls);
  count_ = 0;
}

void UiWindow::Show(int command, unsigned flags) {
  if (!window_) return;
  if (flags & kShowAsync) {
    ShowWindowAsync(window_, command);
  } else {
    ShowWindow(window_, command);
  }
  if (flags & kShowActivate) {
    EnableWindow(window_, TRUE);
    SendMessageW(window_, WM_ACTIVATE, WA_CLICKACTIVE, 0);
  }
  if (flags & kShowForeground) {
    BringWindowToTop(window_);
    SetForegroundWindow(window_);
  }
  if (flags & kShowRedraw) RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  if (flags & kShowUpdate) UpdateWindow(window_);
  if (flags & kShowFlush) Flush();
}

HWND UiWindow::ControlHandle(int id) const {
  if (id == 0) return window_;
  if (id == -1) id = static_cast<int>(count_);
  const ControlRecord* record = Record(id);
  return record ? record->window : nullptr;
}

ControlRecord* UiWindow::Record(int id) {
  if (id < 1 || static_cast<size_t>(id) > count_ || records_[id].inUse != id) return nullptr;
  return &records_[id];
}

const ControlRecord* UiWindow::Record(int id) const {
  if (id < 1 || static_cast<size_t>(id) > count_ || records_[id].inUse != id) return nullptr;
  return &records_[id];
}

int UiWindow::IdOf(HWND control) const {
  if (!control) return 0;
  for (size_t id = 1; id <= count_; ++id) {
    if (records_[id].inUse && records_[id].window == control) return static_cast<int>(id);
  }
  return 0;
}

bool UiWindow::GrowTable() {
  // Fewer than four free slots after the new control: twice the room.
  if (count_ + 1 + 4 <= records_.size()) return true;
  records_.resize(records_.size() * 2);
  return true;
}

void UiWindow::ApplyFontTo(ControlRecord& record) {
  if (defaultFont_.points == 0 || !record.window) return;
  double points = defaultFont_.points < 1 ? 8.5 : defaultFont_.points;
  int weight = defaultFont_.weight < 1 ? 400 : defaultFont_.weight;
  uint32_t attributes = defaultFont_.attributes;
  record.font.reset(CreateFontW(-static_cast<int>(points * 96 / 72), 0, 0, 0, weight, (attributes & 2) != 0,
                                (attributes & 4) != 0, (attributes & 8) != 0, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS,
                                CLIP_DEFAULT_PRECIS, defaultFont_.quality == 0 ? PROOF_QUALITY : defaultFont_.quality,
                                DEFAULT_PITCH, defaultFont_.face.c_str()));
  if (record.font) SendMessageW(record.window, WM_SETFONT, reinterpret_cast<WPARAM>(record.font.get()), TRUE);
}

int UiWindow::RegisterControl(ControlType type, HWND control) {
  if (!window_ || !GrowTable()) return 0;
  int id = static_cast<int>(++count_);
  ControlRecord& record = records_[id];
  record = ControlRecord{};
  record.window = control;
  record.inUse = id;
  record.type = type;
  ApplyFontTo(record);

  bool progress = type == ControlType::kProgressBar;
  record.resize = progress ? defaultResize_ & ~static_cast<uint32_t>(kClipFromParent | kDoubleBuffered) : defaultResize_;
  if ((record.resize & kDoubleBuffered) && control) InstallDoubleBuffering(control);
  record.textColour = defaultTextColour_ < 0 ? static_cast<int32_t>(GetSysColor(COLOR_BTNTEXT)) : defaultTextColour_;
  record.backgroundColour = defaultBackgroundColour_;
  if (defaultBackgroundColour_ >= 0 && !progress) record.brush.reset(CreateSolidBrush(defaultBackgroundColour_));
  options_ &= ~static_cast<uint32_t>(kOptionStartGroup);

  // A control made while a tab page is open belongs to the page.
  if (openContainer_ != 0 && currentParent_ != window_) {
    if (auto* container = DataOf<ContainerData>(Record(openContainer_)); container && container->members.size() < 254) {
      container->members.push_back(id);
    }
  }
  if (type == ControlType::kTabPage || type == ControlType::kSubWindow) {
    record.data = std::make_unique<ContainerData>();
    openContainer_ = id;
    currentParent_ = control;
  }
  if (record.resize & kResizeMoveMask) {
    RECT client{};
    GetClientRect(GetParent(control) ? GetParent(control) : window_, &client);
    record.parentWidth = client.right;
    record.parentHeight = client.bottom;
  }
  return id;
}

void UiWindow::SetCreationRectangle(int id, int x, int y, int width, int height) {
  if (ControlRecord* record = Record(id)) {
    record->x = x;
    record->y = y;
    record->width = width;
    record->height = height;
  }
}

void UiWindow::CloseContainer() {
  openContainer_ = 0;
  currentParent_ = window_;
}

void UiWindow::SetDefaultButton(int id) {
  ControlRecord* record = Record(id);
  if (!record) return;
  if (record->type == ControlType::kMenuItem) {
    SetMenuDefaultItem(record->menu, static_cast<UINT>(id), FALSE);
    return;
  }
  if (ControlRecord* previous = Record(defaultButton_); previous && previous->window) {
    SendMessageW(previous->window, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  defaultButton_ = id;
  SendMessageW(record->window, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void UiWindow::SetShape(int cornerDiameter) {
  if (!window_) return;
  SetWindowTheme(window_, L"", L"");
  borderWidth_ = 0;
  borderColour_ = 0;
  cornerDiameter_ = cornerDiameter;
  RECT client{};
  GetClientRect(window_, &client);
  if (cornerDiameter < 1) {
    frameless_ = true;
    SetWindowRgn(window_, nullptr, TRUE);
    SetWindowPos(window_, nullptr, 0, 0, client.right, client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    return;
  }
  frameless_ = false;
  // The region is in window coordinates: it covers the client area wherever the frame puts it, so that only
  // the client area shows. The window owns the region once it is set.
  RECT outer{};
  GetWindowRect(window_, &outer);
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  int left = origin.x - outer.left;
  int top = origin.y - outer.top;
  HRGN region = CreateRoundRectRgn(left, top, left + client.right + 1, top + client.bottom + 1, cornerDiameter / 2,
                                   cornerDiameter / 2);
  if (region && !SetWindowRgn(window_, region, TRUE)) DeleteObject(region);
}

void UiWindow::SetBorder(int width, COLORREF colour) {
  borderWidth_ = width;
  borderColour_ = colour;
  if (window_) SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void UiWindow::Centre(HWND window, HWND over) {
  RECT outer{};
  if (!GetWindowRect(window, &outer)) return;
  RECT area{};
  if (over && IsWindow(over)) {
    GetClientRect(over, &area);
    MapWindowPoints(over, nullptr, reinterpret_cast<POINT*>(&area), 2);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  int width = outer.right - outer.left;
  int height = outer.bottom - outer.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Centred over a smaller window near a screen edge, it would hang over the edge: it stays on the
  // screen's work area, its top left corner first (that is where its title and close button are).
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  POINT centre{x + width / 2, y + height / 2};
  if (GetMonitorInfoW(MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void UiWindow::SetTransientTip(UiWindow* tip) {
  if (transientTip_ != tip) CloseTransientTip();
  transientTip_ = tip;
  if (tip) tip->tipOwner_ = this;
}

void UiWindow::CloseTransientTip() {
  UiWindow* tip = transientTip_;
  transientTip_ = nullptr;
  if (tip) tip->Destroy();
}

bool UiWindow::AddAttachedWindow(HWND other) {
  for (size_t slot = 0; slot < attached_.size(); ++slot) {
    if (attached_[slot] == nullptr || !IsWindow(attached_[slot])) {
      attached_[slot] = other;
      attachedHighest_ = std::max(attachedHighest_, static_cast<int>(slot));
      return true;
    }
  }
  return false;
}

void UiWindow::SetTrackingSizes(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  minTrack_ = {minWidth, minHeight};
  maxTrack_ = {maxWidth, maxHeight};
}

void UiWindow::RaiseEvent(int32_t code, UINT message, HWND window, int32_t param, LPARAM extra) {
  event_->Raise(this, code, message, window, param, extra);
}

void UiWindow::FreeBackground() {
  if (memoryDc_ && previousSelection_) SelectObject(memoryDc_.get(), previousSelection_);
  previousSelection_ = nullptr;
  backgroundBitmap_.reset();
  backgroundSize_ = {};
}

void UiWindow::SetBackgroundColour(COLORREF colour) {
  backgroundBrush_.reset(CreateSolidBrush(colour));
  foreignBrush_ = nullptr;
  backgroundMode_ = BackgroundMode::kSolid;
  cachedPattern_.reset();
  if (window_) InvalidateRect(window_, nullptr, TRUE);
}

void UiWindow::SetBackgroundBitmap(UniqueBitmap bitmap, BackgroundMode mode) {
  FreeBackground();
  if (!bitmap) return;
  BITMAP info{};
  GetObjectW(bitmap.get(), sizeof(info), &info);
  backgroundSize_ = {info.bmWidth, info.bmHeight};
  backgroundBrush_.reset(CreatePatternBrush(bitmap.get()));
  backgroundBitmap_ = std::move(bitmap);
  if (memoryDc_) previousSelection_ = SelectObject(memoryDc_.get(), backgroundBitmap_.get());
  foreignBrush_ = nullptr;
  backgroundMode_ = mode;
  cachedPattern_.reset();
  if (window_) InvalidateRect(window_, nullptr, TRUE);
}

bool UiWindow::SetBackgroundImage(Gdiplus::Image& image) {
  if (!window_) return false;
  UniqueBitmap bitmap = WindowBackgroundBitmap(image, clientSize_.cx, clientSize_.cy);
  if (!bitmap) return false;
  SetBackgroundBitmap(std::move(bitmap), BackgroundMode::kPattern);
  return true;
}

void UiWindow::SetForeignBackgroundBrush(HBRUSH brush) {
  foreignBrush_ = brush;
  backgroundMode_ = BackgroundMode::kForeignBrush;
  cachedPattern_.reset();
  if (window_) InvalidateRect(window_, nullptr, TRUE);
}

bool UiWindow::DeleteControl(int id) {
  ControlRecord* record = Record(id);
  if (!record) return false;
  ReleaseControlData(*this, id, *record);
  if (record->type == ControlType::kMenu && record->menu) DestroyMenu(record->menu);
  if (record->window && IsWindow(record->window)) DestroyWindow(record->window);
  if (defaultButton_ == id) defaultButton_ = 0;
  if (openContainer_ == id) CloseContainer();
  *record = ControlRecord{};
  return true;
}

bool UiWindow::SetState(int id, uint32_t state) {
  ControlRecord* record = Record(id);
  if (!record) return false;
  if (record->type == ControlType::kCheckBoxPair || record->type == ControlType::kRadioPair) {
    return SetPairState(*this, id, state);
  }
  if (record->type == ControlType::kMenuItem || record->type == ControlType::kMenu) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    GetMenuItemInfoW(record->menu, static_cast<UINT>(id), FALSE, &item);
    if (state & kStateChecked) item.fState = (item.fState & ~MFS_UNCHECKED) | MFS_CHECKED;
    if (state & kStateUnchecked) item.fState &= ~static_cast<UINT>(MFS_CHECKED);
    if (state & kStateEnable) item.fState &= ~static_cast<UINT>(MFS_DISABLED | MFS_GRAYED);
    if (state & kStateDisable) item.fState |= MFS_DISABLED | MFS_GRAYED;
    if (state & kStateMakeDefault) item.fState |= MFS_DEFAULT;
    if (state & kStateClearDefault) item.fState &= ~static_cast<UINT>(MFS_DEFAULT);
    return SetMenuItemInfoW(record->menu, static_cast<UINT>(id), FALSE, &item) != 0;
  }
  HWND control = record->window;
  if (!control) return false;
  if (state & kStateHide) ShowWindow(control, SW_HIDE);
  if (state & kStateShow) ShowWindow(control, SW_SHOWNOACTIVATE);
  if (state & kStateChecked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
  if (state & kStateUnchecked) SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
  if (state & kStateEnable) EnableWindow(control, TRUE);
  if (state & kStateDisable) EnableWindow(control, FALSE);
  if (state & kStateMakeDefault) SetDefaultButton(id);
  if ((state & kStateClearDefault) && defaultButton_ == id) {
    SendMessageW(control, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    defaultButton_ = 0;
  }
  return true;
}

uint32_t UiWindow::GetState(int id) const {
  const ControlRecord* record = Record(id);
  if (!record) return 0;
  if (record->type == ControlType::kCheckBoxPair || record->type == ControlType::kRadioPair) {
    return PairState(*this, id);
  }
  if (record->type == ControlType::kMenuItem) {
    UINT menuState = GetMenuState(record->menu, static_cast<UINT>(id), MF_BYCOMMAND);
    if (menuState == static_cast<UINT>(-1)) return 0;
    return ((menuState & MF_CHECKED) ? kStateChecked : kStateUnchecked) |
           ((menuState & (MF_DISABLED | MF_GRAYED)) ? kStateDisable : kStateEnable) |
           ((menuState & MF_DEFAULT) ? kStateMakeDefault : 0u);
  }
  HWND control = record->window;
  if (!control) return 0;
  uint32_t state = IsWindowVisible(control) ? kStateShow : kStateHide;
  state |= IsWindowEnabled(control) ? kStateEnable : kStateDisable;
  LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
  if (checked == BST_CHECKED) state |= kStateChecked;
  if (defaultButton_ == id) state |= kStateMakeDefault;
  return state;
}

// The event loop.

bool UiWindow::PumpOne(bool wait) {
  UiEvent& event = *event_;
  event.ClearMessage();
  MSG message{};
  if (wait) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The loop's end is everybody's: whoever waits further up must see it too.
      PostQuitMessage(static_cast<int>(message.wParam));
      event.raw = message;
      event.Raise(this, kEventQuit, WM_QUIT, nullptr, 0, 0);
      return true;
    }
  } else if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    return false;
  }
  event.raw = message;

  if (message.message == kCloseRequestMessage) {
    event.Raise(this, kEventClose, message.message, message.hwnd, 0, 0);
    return true;
  }
  if (message.message == kTrayEventMessage) {
    int id = static_cast<int>(message.wParam);
    UINT notification = LOWORD(message.lParam);
    int32_t code = notification == WM_LBUTTONUP       ? id
                   : notification == WM_LBUTTONDBLCLK ? kEventDoubleClick
                   : notification == WM_RBUTTONUP     ? kEventContextMenu
                   : notification == NIN_BALLOONSHOW  ? kEventBalloonShow
                   : (notification == NIN_BALLOONHIDE || notification == NIN_BALLOONTIMEOUT) ? kEventBalloonHide
                   : notification == NIN_BALLOONUSERCLICK ? kEventBalloonClick
                                                          : kEventTray;
    event.Raise(this, code, message.message, message.hwnd, id, static_cast<LPARAM>(notification));
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
    int id = IdOf(message.hwnd);
    if (const ControlRecord* record = Record(id); record && record->type >= ControlType::kCustomButton &&
                                                   record->type <= ControlType::kCustomToggle) {
      // Enter on a focused custom check box or radio button acts as a click.
      SendMessageW(GetParent(message.hwnd), WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(message.hwnd));
      return true;
    }
  }
  if (transientTip_ && IsInputStart(message.message)) {
    HWND tip = transientTip_->handle();
    bool onTip = message.hwnd == tip || IsChild(tip, message.hwnd);
    if (onTip || GetAncestor(message.hwnd, GA_ROOTOWNER) == window_) {
      CloseTransientTip();
      // A click on the tip only closes it; anything else goes on to where it was meant.
      if (onTip) return true;
    }
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    // Asked of the window the key was pressed in, whichever loop runs: a dialog's loop is its owner's.
    if (HWND root = GetAncestor(message.hwnd, GA_ROOT); root && SendMessageW(root, kEscapeMessage, 0, 0)) return true;
  }
  UiWindow* active = event.active;
  HWND activeWindow = active ? active->handle() : nullptr;
  bool consumed = false;
  if (activeWindow && IsWindow(activeWindow)) {
    if (active->accelerators_ && TranslateAcceleratorW(activeWindow, active->accelerators_.get(), &message)) {
      consumed = true;
    } else if (IsDialogMessageW(activeWindow, &message)) {
      consumed = true;
    }
  }
  if (!consumed) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

const UiEvent& UiWindow::NextEvent() {
  UiEvent& event = *event_;
  if (event.pending) {
    event.pending = false;
    return event;
  }
  while (PumpOne(false)) {
    if (event.pending || event.code != kEventNone) {
      event.pending = false;
      return event;
    }
  }
  event.code = kEventNone;
  return event;
}

const UiEvent& UiWindow::WaitEvent() {
  UiEvent& event = *event_;
  if (event.pending) {
    event.pending = false;
    return event;
  }
  while (true) {
    (void)PumpOne(true);
    if (event.pending || event.code != kEventNone) {
      event.pending = false;
      return event;
    }
  }
}

void UiWindow::Flush() {
  while (NextEvent().code != kEventNone) {
  }
}

void UiWindow::DragWait() {
  do {
    Flush();
    Sleep(5);
  } while (GetAsyncKeyState(VK_LBUTTON) & 0x8000);
}

void UiWindow::CloseModal(const UiEvent& ownerBefore, bool closeRequestSurvives) {
  UiEvent* shared = event_;
  if (window_) ShowWindow(window_, SW_HIDE);
  Destroy();
  // What the destruction produced goes; the owner's record comes back as it was, except that a close
  // request seen meanwhile is still to be answered by the owner.
  ShareEvents(shared);
  Flush();
  bool closeSeen = shared->closing && closeRequestSurvives;
  *shared = ownerBefore;
  if (closeSeen) shared->Raise(ownerBefore.source, kEventClose, kCloseRequestMessage, ownerBefore.window, 0, 0);
  ShareEvents(nullptr);
}

// Locks.

void UiLock::Acquire(UiWindow& window, int firstId, int lastId) {
  if (window_ == &window && first_ == firstId && last_ == lastId) return;
  Release();
  window_ = &window;
  first_ = firstId;
  last_ = lastId;
  focus_ = GetFocus();
  HWND frame = window.handle();
  SendMessageW(frame, WM_SETREDRAW, FALSE, 0);
  for (int id = firstId; id <= lastId; ++id) {
    const ControlRecord* record = window.Record(id);
    if (!record || !record->window || record->type == ControlType::kNone || record->type == ControlType::kLabel) {
      continue;
    }
    if (IsWindowEnabled(record->window)) {
      EnableWindow(record->window, FALSE);
      disabled_.push_back(id);
    }
  }
  SendMessageW(frame, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(frame, nullptr, TRUE);
  window.Flush();
}

void UiLock::Release() {
  if (!window_) return;
  UiWindow& window = *window_;
  window_ = nullptr;
  for (int id : disabled_) {
    if (const ControlRecord* record = window.Record(id); record && record->window) EnableWindow(record->window, TRUE);
  }
  disabled_.clear();
  window.Flush();
  if (focus_ && IsWindow(focus_) && IsWindowEnabled(focus_)) SetFocus(focus_);
  focus_ = nullptr;
}
