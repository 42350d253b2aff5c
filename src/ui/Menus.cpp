#include "ui/Menus.h"

#include "ui/ControlData.h"
#include "ui/UiWindow.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>

namespace {

// A menu tells its window which item was chosen by position, which the loop maps to the item's id.
void NotifyByPosition(HMENU menu) {
  MENUINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = MIM_STYLE | MIM_APPLYTOSUBMENUS;
  info.dwStyle = MNS_NOTIFYBYPOS;
  SetMenuInfo(menu, &info);
}

NOTIFYICONDATAW IconData(const UiWindow& window, int id) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window.handle();
  data.uID = static_cast<UINT>(id);
  return data;
}

void CopyLimited(wchar_t* target, size_t capacity, WideView text) {
  size_t length = std::min(text.size(), capacity - 1);
  text.copy(target, length);
  target[length] = L'\0';
}

}  // namespace

int AddPopupMenu(UiWindow& window, WideView firstItemText, UniqueBitmap picture) {
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return 0;
  NotifyByPosition(menu.get());
  int id = window.RegisterControl(ControlType::kMenu, nullptr);
  if (!id) return 0;
  window.Record(id)->menu = menu.release();
  if (!firstItemText.empty()) (void)AddMenuItem(window, id, firstItemText, -1, 0, std::move(picture));
  return id;
}

int AddMenuItem(UiWindow& window, int menuId, WideView text, int position, uint32_t flags, UniqueBitmap picture) {
  ControlRecord* owner = window.Record(menuId);
  if (!owner || !owner->menu) return 0;
  HMENU menu = owner->menu;
  UniqueMenu submenu;
  if (flags & kMenuItemSubmenu) {
    submenu.reset(CreatePopupMenu());
    if (!submenu) return 0;
  }
  int id = window.RegisterControl(flags & kMenuItemSubmenu ? ControlType::kMenu : ControlType::kMenuItem, nullptr);
  if (!id) return 0;
  WideString caption(text);
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
  item.wID = static_cast<UINT>(id);
  if (flags & kMenuItemSeparator) {
    item.fType = MFT_SEPARATOR;
  } else {
    item.fMask |= MIIM_STRING;
    item.dwTypeData = caption.data();
    if (flags & kMenuItemRadioChecked) item.fType |= MFT_RADIOCHECK;
    if (flags & (kMenuItemChecked | kMenuItemRadioChecked)) item.fState |= MFS_CHECKED;
  }
  if (submenu) {
    item.fMask |= MIIM_SUBMENU;
    item.hSubMenu = submenu.get();
  }
  if (picture) {
    item.fMask |= MIIM_CHECKMARKS;
    item.hbmpChecked = picture.get();
    item.hbmpUnchecked = picture.get();
  }
  UINT at = position < 0 ? static_cast<UINT>(GetMenuItemCount(menu)) : static_cast<UINT>(position);
  if (!InsertMenuItemW(menu, at, TRUE, &item)) {
    (void)window.DeleteControl(id);
    return 0;
  }
  ControlRecord* record = window.Record(id);
  record->menu = submenu ? submenu.release() : menu;
  record->companion = reinterpret_cast<HWND>(menu);  // the menu that holds the item
  if (picture) {
    auto data = std::make_unique<MenuItemData>();
    data->picture = std::move(picture);
    record->data = std::move(data);
  }
  if (record->type == ControlType::kMenu) NotifyByPosition(record->menu);
  return id;
}

bool ShowPopupMenu(UiWindow& window, int menuId, UINT flags, int x, int y) {
  const ControlRecord* record = window.Record(menuId);
  if (!record || !record->menu || !window.handle()) return false;
  if (x == -1 && y == -1) {
    x = window.event().raw.pt.x;
    y = window.event().raw.pt.y;
  }
  // A menu for the notification area closes properly only when its window is in front.
  SetForegroundWindow(window.handle());
  BOOL shown = TrackPopupMenu(record->menu, flags, x, y, 0, window.handle(), nullptr);
  PostMessageW(window.handle(), WM_NULL, 0, 0);
  return shown != 0;
}

int AddTrayIcon(UiWindow& window, HICON icon, WideView tip) {
  if (!window.handle()) return 0;
  int id = window.RegisterControl(ControlType::kTrayIcon, nullptr);
  if (!id) return 0;
  auto data = std::make_unique<TrayData>();
  data->icon.reset(icon ? CopyIcon(icon) : nullptr);
  data->owner = window.handle();
  NOTIFYICONDATAW notify = IconData(window, id);
  notify.uFlags = NIF_MESSAGE | NIF_ICON | (tip.empty() ? 0 : NIF_TIP);
  notify.uCallbackMessage = kTrayCallbackMessage;
  notify.hIcon = data->icon.get();
  CopyLimited(notify.szTip, 128, tip);
  if (!Shell_NotifyIconW(NIM_ADD, &notify)) {
    (void)window.DeleteControl(id);
    return 0;
  }
  notify.uVersion = NOTIFYICON_VERSION;
  Shell_NotifyIconW(NIM_SETVERSION, &notify);
  window.Record(id)->data = std::move(data);
  return id;
}

bool SetTrayTip(UiWindow& window, int id, WideView text) {
  NOTIFYICONDATAW notify = IconData(window, id);
  notify.uFlags = NIF_TIP;
  CopyLimited(notify.szTip, 128, text);
  return Shell_NotifyIconW(NIM_MODIFY, &notify) != 0;
}

bool ShowBalloon(UiWindow& window, int trayId, WideView text, HICON icon) {
  if (trayId == 0) {
    HICON shown = icon ? icon : reinterpret_cast<HICON>(SendMessageW(window.handle(), WM_GETICON, ICON_SMALL, 0));
    trayId = AddTrayIcon(window, shown, {});
    if (!trayId) return false;
  }
  NOTIFYICONDATAW notify = IconData(window, trayId);
  notify.uFlags = NIF_INFO;
  CopyLimited(notify.szInfo, 256, text);
  CopyLimited(notify.szInfoTitle, 64, L"Brimlark backup");
  notify.dwInfoFlags = NIIF_USER;
  notify.uTimeout = 30000;
  return Shell_NotifyIconW(NIM_MODIFY, &notify) != 0;
}

void RestoreTrayIcons(UiWindow& window) {
  for (int id = 1; id <= window.ControlCount(); ++id) {
    const ControlRecord* record = window.Record(id);
    const auto* data = DataOf<TrayData>(record);
    if (!data) continue;
    NOTIFYICONDATAW notify = IconData(window, id);
    notify.uFlags = NIF_MESSAGE | NIF_ICON;
    notify.uCallbackMessage = kTrayCallbackMessage;
    notify.hIcon = data->icon.get();
    Shell_NotifyIconW(NIM_ADD, &notify);
    notify.uVersion = NOTIFYICON_VERSION;
    Shell_NotifyIconW(NIM_SETVERSION, &notify);
  }
}

void ReleaseControlData(UiWindow& window, int id, ControlRecord& record) {
  switch (record.type) {
    case ControlType::kTrayIcon: {
      NOTIFYICONDATAW notify = IconData(window, id);
      Shell_NotifyIconW(NIM_DELETE, &notify);
      break;
    }
    case ControlType::kInputField:
      if (record.companion && IsWindow(record.companion)) DestroyWindow(record.companion);  // its up-down
      break;
    case ControlType::kMenuItem:
      if (record.companion && IsMenu(reinterpret_cast<HMENU>(record.companion))) {
        RemoveMenu(reinterpret_cast<HMENU>(record.companion), static_cast<UINT>(id), MF_BYCOMMAND);
      }
      break;
    case ControlType::kMenu:
      // A submenu leaves its parent before it goes, or the parent would destroy it a second time.
      if (record.companion && IsMenu(reinterpret_cast<HMENU>(record.companion))) {
        RemoveMenu(reinterpret_cast<HMENU>(record.companion), static_cast<UINT>(id), MF_BYCOMMAND);
      }
      break;
    case ControlType::kPicture:
    case ControlType::kCheckBoxPair:
    case ControlType::kRadioPair: {
      // A static control may have made its own copy of a picture with alpha: what it hands back and is
      // not ours is freed.
      HWND image = record.window;
      const PairData* pair = DataOf<PairData>(&record);
      if (pair) image = record.companion;
      const auto* picture = DataOf<ImageData>(&record);
      if (!image || !IsWindow(image) || (!pair && !picture)) break;
      auto previous = reinterpret_cast<HBITMAP>(SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, 0));
      bool ours = previous == nullptr || (pair && (previous == pair->checked.get() || previous == pair->unchecked.get())) ||
                  (picture && previous == picture->bitmap.get());
      if (!ours) DeleteObject(previous);
      break;
    }
    default:
      break;
  }
}
