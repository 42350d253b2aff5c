#include "ui/Controls.h"

#include "ui/ControlData.h"
#include "ui/Subclassing.h"
#include "ui/UiWindow.h"
#include "ui/ControlMaking.h"
#include "ui/Drawing.h"

#include <commctrl.h>
#include <windowsx.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <memory>

HWND MakeChild(UiWindow& window, const wchar_t* windowClass, WideView text, DWORD style, DWORD extendedStyle, int x,
               int y, int width, int height) {
  if (!window.handle() || !window.currentParent()) return nullptr;
  if (window.GroupPending()) style |= WS_GROUP;
  WideString caption(text);
  auto childId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(window.ControlCount() + 1));
  return CreateWindowExW(extendedStyle, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                         height, window.currentParent(), childId, window.instance(), nullptr);
}

int FinishControl(UiWindow& window, ControlType type, HWND control, int x, int y, int width, int height) {
  if (!control) return 0;
  int id = window.RegisterControl(type, control);
  if (!id) {
    DestroyWindow(control);
    return 0;
  }
  window.SetCreationRectangle(id, x, y, width, height);
  return id;
}

namespace {

constexpr UINT_PTR kDoubleBufferSubclass = 0xB42;

LRESULT CALLBACK DoubleBufferProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(control, &paint);
      RECT client{};
      GetClientRect(control, &client);
      UniqueMemoryDc memory(CreateCompatibleDC(dc));
      UniqueBitmap canvas(CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom)));
      if (memory && canvas) {
        SelectedObject selected(memory.get(), canvas.get());
        // The control's own background first, as the parent would give it, then the control on top.
        HWND parent = GetParent(control);
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(memory.get()), reinterpret_cast<LPARAM>(control)));
        FillRect(memory.get(), &client, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
        SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(memory.get()),
                     PRF_NONCLIENT | PRF_CLIENT | PRF_CHILDREN | PRF_OWNED);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
      }
      EndPaint(control, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveSubclass(control, DoubleBufferProcedure, kDoubleBufferSubclass);
      break;
    default:
      break;
  }
  return CallNextProcedure(control, message, wParam, lParam);
}

// A 24 x 24 picture of a white mark drawn on a large canvas and scaled down, for custom title bars.
UniqueBitmap TitleBarMark(bool cross) {
  Gdiplus::Bitmap canvas(300, 300, PixelFormat32bppPARGB);
  {
    Gdiplus::Graphics graphics(&canvas);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
    Gdiplus::Pen pen(Gdiplus::Color(255, 255, 255, 255), 40.0f);
    if (cross) {
      graphics.DrawLine(&pen, 30, 30, 270, 270);
      graphics.DrawLine(&pen, 270, 30, 30, 270);
    } else {
      graphics.DrawLine(&pen, 30, 240, 240, 240);
    }
  }
  Gdiplus::Bitmap small(24, 24, PixelFormat32bppPARGB);
  {
    Gdiplus::Graphics graphics(&small);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
    graphics.DrawImage(&canvas, Gdiplus::Rect(0, 0, 24, 24));
  }
  HBITMAP result = nullptr;
  if (small.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &result) != Gdiplus::Ok) return {};
  return UniqueBitmap(result);
}

int AddTitleBarButton(UiWindow& window, bool cross, int x, int y) {
  UniqueBitmap mark = TitleBarMark(cross);
  if (!mark) return 0;
  int id = AddPicture(window, mark.get(), x, y, 24, 24);
  if (!id) return 0;
  SetControlCursor(window, id, LoadCursorW(nullptr, IDC_HAND));
  (void)SetTooltip(window, id, cross ? L"Close this dialog box" : L"Minimize this dialog box");
  return id;
}

LRESULT CALLBACK ContainerProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    // What the page's controls report belongs to the window the page lies in.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_CONTEXTMENU:
      return SendMessageW(GetAncestor(page, GA_ROOT), message, wParam, lParam);
    case WM_ERASEBKGND:
      // A sub-window paints the brush it was given; a tab page its class brush.
      if (auto brush = reinterpret_cast<HBRUSH>(GetWindowLongPtrW(page, GWLP_USERDATA))) {
        RECT client{};
        GetClientRect(page, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
      }
      return DefWindowProcW(page, message, wParam, lParam);
    default:
      return DefWindowProcW(page, message, wParam, lParam);
  }
}

}  // namespace

void InstallDoubleBuffering(HWND control) {
  InstallSubclass(control, DoubleBufferProcedure, kDoubleBufferSubclass, 0);
}

int AddPushButton(UiWindow& window, WideView text, int x, int y, int width, int height, DWORD style) {
  DWORD buttonStyle = style == kButtonDefaultStyle ? WS_TABSTOP : style;
  HWND button = MakeChild(window, WC_BUTTONW, text, buttonStyle, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kPushButton, button, x, y, width, height);
  if (id && style != kButtonDefaultStyle && (style & BS_DEFPUSHBUTTON)) window.SetDefaultButton(id);
  return id;
}

int AddImageButton(UiWindow& window, WideView text, UniqueBitmap picture, int x, int y, int width, int height,
                   DWORD style) {
  DWORD buttonStyle = style == kButtonDefaultStyle ? WS_TABSTOP : style;
  if (text.empty()) buttonStyle |= BS_BITMAP;
  HWND button = MakeChild(window, WC_BUTTONW, text, buttonStyle, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kPushButton, button, x, y, width, height);
  if (!id) return 0;
  if (picture) {
    SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
    auto data = std::make_unique<ImageData>();
    // The button's own picture for a disabled state turns the transparent parts of a picture with alpha
    // into a grey block; it gets a faded picture of ours instead.
    SIZE size = BitmapSize(picture.get());
    UniqueBitmap faded = FadedBitmap(picture.get());
    UniqueImageList states(ImageList_Create(size.cx, size.cy, ILC_COLOR32, 6, 0));
    if (faded && states) {
      for (HBITMAP state : {picture.get(), picture.get(), picture.get(), faded.get(), picture.get(), picture.get()}) {
        (void)ImageList_Add(states.get(), state, nullptr);
      }
      BUTTON_IMAGELIST list{states.get(), {text.empty() ? 0 : 6, 0, 0, 0}, static_cast<UINT>(text.empty() ? BUTTON_IMAGELIST_ALIGN_CENTER : BUTTON_IMAGELIST_ALIGN_LEFT)};
      if (ImageList_GetImageCount(states.get()) == 6 && SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list))) {
        data->states = std::move(states);
      }
    }
    data->bitmap = std::move(picture);
    window.Record(id)->data = std::move(data);
  }
  if (style != kButtonDefaultStyle && (style & BS_DEFPUSHBUTTON)) window.SetDefaultButton(id);
  return id;
}

int AddShapedButton(UiWindow& window, WideView text, int x, int y, int width, int height, int cornerDiameter) {
  HWND button = MakeChild(window, WC_BUTTONW, text, WS_TABSTOP, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kShapedButton, button, x, y, width, height);
  if (!id) return 0;
  window.Record(id)->companion = reinterpret_cast<HWND>(static_cast<INT_PTR>(cornerDiameter));
  (void)SetRoundedWindowRegion(button, width, height, cornerDiameter);
  return id;
}

int AddCloseButton(UiWindow& window, int x, int y) { return AddTitleBarButton(window, true, x, y); }
int AddMinimiseButton(UiWindow& window) { return AddTitleBarButton(window, false, 688, 3); }

int AddDropDownList(UiWindow& window, WideView items, int x, int y, int width, int height) {
  HWND list = MakeChild(window, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kDropDownList, list, x, y, width, height);
  if (!id) return 0;
  size_t start = 0;
  while (start <= items.size() && !items.empty()) {
    size_t end = items.find(L'\n', start);
    WideString item(items.substr(start, end == WideView::npos ? WideView::npos : end - start));
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (end == WideView::npos) break;
    start = end + 1;
  }
  return id;
}

int AddLabel(UiWindow& window, WideView text, int x, int y, int width, int height, DWORD style) {
  HWND label = MakeChild(window, WC_STATICW, text, style, 0, x, y, width, height);
  return FinishControl(window, ControlType::kLabel, label, x, y, width, height);
}

int AddFittedLabel(UiWindow& window, WideView text, int x, int y, DWORD style) {
  int id = AddLabel(window, text, x, y, 10, 10, style);
  if (!id) return 0;
  HWND label = window.ControlHandle(id);
  WindowDc dc(label);
  auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
  SIZE extent{};
  {
    SelectedObject selected(dc.get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    WideString line(text);
    GetTextExtentPoint32W(dc.get(), line.c_str(), static_cast<int>(line.size()), &extent);
  }
  SetWindowPos(label, nullptr, 0, 0, extent.cx + 2, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window.SetCreationRectangle(id, x, y, extent.cx + 2, extent.cy);
  return id;
}

int AddGroupBox(UiWindow& window, WideView text, int x, int y, int width, int height) {
  HWND box = MakeChild(window, WC_BUTTONW, text, BS_GROUPBOX, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kGroupBox, box, x, y, width, height);
  if (!id) return 0;
  // Only the frame belongs to the box: the controls inside it paint through.
  HRGN frame = CreateRectRgn(0, 0, width, height);
  HRGN inside = CreateRectRgn(6, 18, width - 6, height - 6);
  CombineRgn(frame, frame, inside, RGN_DIFF);
  DeleteObject(inside);
  if (!SetWindowRgn(box, frame, TRUE)) DeleteObject(frame);
  return id;
}

int AddInputField(UiWindow& window, WideView text, int x, int y, int width, int height, DWORD style) {
  HWND field = MakeChild(window, WC_EDITW, text, style | WS_TABSTOP, WS_EX_CLIENTEDGE, x, y, width, height);
  return FinishControl(window, ControlType::kInputField, field, x, y, width, height);
}

bool AttachUpDown(UiWindow& window, int fieldId, int low, int high) {
  ControlRecord* field = window.Record(fieldId);
  if (!field || field->type != ControlType::kInputField) return false;
  HWND upDown = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT |
                                UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0, GetParent(field->window), nullptr,
                                window.instance(), nullptr);
  if (!upDown) return false;
  SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field->window), 0);
  SendMessageW(upDown, UDM_SETRANGE32, static_cast<WPARAM>(low), high);
  field->companion = upDown;
  return true;
}

int AddIcon(UiWindow& window, HICON icon, int x, int y, int width, int height) {
  HWND control = MakeChild(window, WC_STATICW, L"", SS_ICON | SS_REALSIZECONTROL | SS_NOTIFY, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kIcon, control, x, y, width, height);
  if (!id || !icon) return id;
  auto data = std::make_unique<ImageData>();
  data->icon.reset(CopyIcon(icon));
  SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(data->icon.get()), 0);
  window.Record(id)->data = std::move(data);
  return id;
}

int AddPicture(UiWindow& window, HBITMAP picture, int x, int y, int width, int height) {
  HWND control = MakeChild(window, WC_STATICW, L"", SS_BITMAP | SS_REALSIZECONTROL | SS_NOTIFY, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kPicture, control, x, y, width, height);
  if (!id || !picture) return id;
  auto data = std::make_unique<ImageData>();
  data->bitmap.reset(static_cast<HBITMAP>(CopyImage(picture, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(data->bitmap.get())));
  if (previous && previous != data->bitmap.get()) DeleteObject(previous);
  window.Record(id)->data = std::move(data);
  return id;
}

int AddBrushPicture(UiWindow& window, UniqueBitmap picture, int x, int y, int width, int height) {
  HWND control = MakeChild(window, WC_STATICW, L"", SS_NOTIFY, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kPicture, control, x, y, width, height);
  if (!id || !picture) return id;
  auto data = std::make_unique<ImageData>();
  data->pattern.reset(CreatePatternBrush(picture.get()));
  data->bitmap = std::move(picture);
  ControlRecord* record = window.Record(id);
  record->backgroundColour = kTransparent;
  record->data = std::move(data);
  InvalidateRect(control, nullptr, TRUE);
  return id;
}

int AddLink(UiWindow& window, WideView text, WideView address, int x, int width) {
  WideString markup = text::Concat(L"<a href=\"", address, L"\">", text, L"</a>");
  // Transparent: a link lies on whatever its parent paints (a gradient band, a picture).
  HWND link = MakeChild(window, WC_LINK, markup, WS_TABSTOP | LWS_TRANSPARENT, 0, x, 35, width, 15);
  int id = FinishControl(window, ControlType::kLink, link, x, 35, width, 15);
  if (!id) return 0;
  auto data = std::make_unique<LinkData>();
  data->address = WideString(address);
  window.Record(id)->data = std::move(data);
  return id;
}

int AddProgressBar(UiWindow& window, int x, int y, int width, int height) {
  HWND bar = MakeChild(window, PROGRESS_CLASSW, L"", 0, 0, x, y, width, height);
  int id = FinishControl(window, ControlType::kProgressBar, bar, x, y, width, height);
  if (id) SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
  return id;
}

int AddTabControl(UiWindow& window, int x, int y, int width, int height) {
  HWND tabs = MakeChild(window, WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPSIBLINGS, 0, x, y, width, height);
  return FinishControl(window, ControlType::kTabControl, tabs, x, y, width, height);
}

int AddTabPage(UiWindow& window, int tabControlId, WideView title) {
  const ControlRecord* tabRecord = window.Record(tabControlId);
  if (!tabRecord || tabRecord->type != ControlType::kTabControl) return 0;
  HWND tabs = tabRecord->window;
  static constexpr wchar_t kPageClass[] = L"_TABITEM_ WINDOW";
  WNDCLASSEXW pageClass{};
  pageClass.cbSize = sizeof(pageClass);
  if (!GetClassInfoExW(window.instance(), kPageClass, &pageClass)) {
    pageClass.lpfnWndProc = ContainerProcedure;
    pageClass.hInstance = window.instance();
    pageClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pageClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    pageClass.lpszClassName = kPageClass;
    if (!RegisterClassExW(&pageClass)) return 0;
  }
  // A page lies beside its tab control, over the control's display area, which the row of tabs shapes:
  // the tab goes in first.
  window.CloseContainer();
  int count = TabCtrl_GetItemCount(tabs);
  WideString text(title);
  TCITEMW item{};
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = text.data();
  item.lParam = 0;
  int index = static_cast<int>(SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return 0;
  RECT area{};
  GetClientRect(tabs, &area);
  TabCtrl_AdjustRect(tabs, FALSE, &area);
  MapWindowPoints(tabs, GetParent(tabs), reinterpret_cast<POINT*>(&area), 2);
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_TABSTOP | (count == 0 ? WS_VISIBLE : 0),
                              area.left, area.top, area.right - area.left, area.bottom - area.top, GetParent(tabs),
                              nullptr, window.instance(), nullptr);
  int id = page ? FinishControl(window, ControlType::kTabPage, page, area.left, area.top, area.right - area.left,
                                area.bottom - area.top)
                : 0;
  if (!id) {
    SendMessageW(tabs, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    return 0;
  }
  SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  window.Record(id)->companion = tabs;
  item.mask = TCIF_PARAM;
  item.lParam = id;
  SendMessageW(tabs, TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return id;
}

int AddSubWindow(UiWindow& window, int x, int y, int width, int height, UniqueBrush background) {
  static constexpr wchar_t kSubWindowClass[] = L"_WINSUB_ WINDOW";
  WNDCLASSEXW subClass{};
  subClass.cbSize = sizeof(subClass);
  if (!GetClassInfoExW(window.instance(), kSubWindowClass, &subClass)) {
    subClass.lpfnWndProc = ContainerProcedure;
    subClass.hInstance = window.instance();
    subClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    subClass.lpszClassName = kSubWindowClass;
    if (!RegisterClassExW(&subClass)) return 0;
  }
  window.CloseContainer();
  HWND sub = MakeChild(window, kSubWindowClass, L"", 0, WS_EX_CONTROLPARENT, x, y, width, height);
  int id = FinishControl(window, ControlType::kSubWindow, sub, x, y, width, height);
  if (!id) return 0;
  ControlRecord* record = window.Record(id);
  record->brush = std::move(background);
  SetWindowLongPtrW(sub, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record->brush.get()));
  return id;
}

bool SelectTabPage(UiWindow& window, int tabControlId, int index) {
  const ControlRecord* record = window.Record(tabControlId);
  if (!record || record->type != ControlType::kTabControl) return false;
  HWND tabs = record->window;
  if (index < 0 || index >= TabCtrl_GetItemCount(tabs)) return false;
  (void)TabCtrl_SetCurSel(tabs, index);
  // Setting the selection tells nobody; the notification a click sends shows the page.
  NMHDR change{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(GetParent(tabs), WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
  return true;
}

namespace {

constexpr UINT_PTR kTooltipRelaySubclass = 0xB44;

// Hands the control's mouse messages to its tooltip. The tooltip's own subclassing (TTF_SUBCLASS) would
// do the same through the common controls' subclass property, at a wineserver round trip per message.
LRESULT CALLBACK TooltipRelayProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR tooltip) {
  if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_NCMOUSEMOVE) {
    DWORD position = GetMessagePos();
    MSG relayed{control, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()),
                {GET_X_LPARAM(position), GET_Y_LPARAM(position)}};
    SendMessageW(reinterpret_cast<HWND>(tooltip), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  } else if (message == WM_NCDESTROY) {
    RemoveSubclass(control, TooltipRelayProcedure, kTooltipRelaySubclass);
  }
  return CallNextProcedure(control, message, wParam, lParam);
}

}  // namespace

bool SetTooltip(UiWindow& window, int id, WideView text) {
  ControlRecord* record = window.Record(id);
  if (!record) return false;
  if (record->type == ControlType::kTrayIcon) return SetTrayTip(window, id, text);
  if (!window.tooltipWindow()) {
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window.handle(), nullptr,
                               window.instance(), nullptr);
    if (!tip) return false;
    // A wide maximum lets CR LF break the lines, and nothing else.
    SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, 100000);
    window.SetTooltipWindow(UniqueWindow(tip));
  }
  WideString tipText(text);
  auto addOrUpdate = [&](HWND control) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = window.handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tipText.data();
    HWND tip = window.tooltipWindow();
    TOOLINFOW existing = tool;
    existing.lpszText = nullptr;
    if (SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&existing))) {
      SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    } else {
      SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
      (void)InstallSubclass(control, TooltipRelayProcedure, kTooltipRelaySubclass, reinterpret_cast<DWORD_PTR>(tip));
    }
  };
  if (record->window) addOrUpdate(record->window);
  if (record->companion && (record->type == ControlType::kCheckBoxPair || record->type == ControlType::kRadioPair)) {
    addOrUpdate(record->companion);
  }
  return true;
}

bool SetControlFont(UiWindow& window, int id, double points, int weight, uint32_t attributes) {
  if (id == -1) id = window.ControlCount();
  ControlRecord* record = window.Record(id);
  if (!record || !record->window) return false;
  if (points < 1) points = 8.5;
  if (weight < 1) weight = 400;
  const FontSpec& spec = window.defaultFont();
  UniqueFont font(CreateFontW(-static_cast<int>(points * 96 / 72), 0, 0, 0, weight, (attributes & 2) != 0,
                              (attributes & 4) != 0, (attributes & 8) != 0, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS,
                              CLIP_DEFAULT_PRECIS, spec.quality == 0 ? PROOF_QUALITY : spec.quality, DEFAULT_PITCH,
                              spec.face.c_str()));
  if (!font) return false;
  SendMessageW(record->window, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  record->font = std::move(font);
  return true;
}

bool SetControlColours(UiWindow& window, int id, int32_t text, int32_t background) {
  ControlRecord* record = window.Record(id);
  if (!record) return false;
  record->textColour = text;
  record->backgroundColour = background;
  record->brush.reset(background >= 0 ? CreateSolidBrush(static_cast<COLORREF>(background)) : nullptr);
  if (auto* pair = PairOf(window, id)) pair->normalColour = text < 0 ? 0 : static_cast<COLORREF>(text);
  if (record->window) InvalidateRect(record->window, nullptr, TRUE);
  return true;
}

bool SetControlText(UiWindow& window, int id, WideView text) {
  HWND control = window.ControlHandle(id);
  if (!control) return false;
  WideString copy(text);
  if (!SetWindowTextW(control, copy.c_str())) return false;
  // A hollow control paints no background of its own: it draws its new text over the old one, until what
  // lies under it is painted again, and it again on top.
  if (const ControlRecord* record = window.Record(id); record && record->backgroundColour == kHollow) {
    HWND parent = GetParent(control);
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    RedrawWindow(parent, &box, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  return true;
}

WideString ControlText(const UiWindow& window, int id) {
  HWND control = window.ControlHandle(id);
  if (!control) return {};
  int length = GetWindowTextLengthW(control);
  WideString text(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

void SetControlCursor(UiWindow& window, int id, HCURSOR cursor) {
  if (ControlRecord* record = window.Record(id)) record->cursor = cursor;
}
