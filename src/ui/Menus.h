#pragma once
// Popup menus, their items and the notification-area icon, registered in the window's control table like
// controls: choosing an item raises its id, a click on the icon raises the icon's id.

#include "base/WideString.h"
#include "ui/GdiOwners.h"
#include "ui/UiWindow.h"

enum MenuItemFlags : uint32_t {
  kMenuItemChecked = 0x01,       // shown with a check mark
  kMenuItemRadioChecked = 0x02,  // shown with a radio mark
  kMenuItemSubmenu = 0x04,       // opens a menu of its own (whose id is the item's)
  kMenuItemSeparator = 0x08,
};

// A popup menu; its first item (when text is given) follows it. Returns the menu's id.
[[nodiscard]] int AddPopupMenu(UiWindow& window, WideView firstItemText = {}, UniqueBitmap picture = {});
// Inserts an item at a position (-1: at the end) and returns its id; a picture goes where a check mark would.
[[nodiscard]] int AddMenuItem(UiWindow& window, int menuId, WideView text, int position = -1, uint32_t flags = 0,
                              UniqueBitmap picture = {});
// Shows a menu at a screen point, or at the cursor position of the current event when x and y are -1.
bool ShowPopupMenu(UiWindow& window, int menuId, UINT flags = TPM_LEFTALIGN, int x = -1, int y = -1);

// The notification-area icon: clicks come back as events (left click: its id). The icon is copied.
[[nodiscard]] int AddTrayIcon(UiWindow& window, HICON icon, WideView tip);
// A balloon over the icon (made first, with the window's small icon, when trayId is 0).
bool ShowBalloon(UiWindow& window, int trayId, WideView text, HICON icon = nullptr);
// Puts the icon back after the shell restarted ("TaskbarCreated").
void RestoreTrayIcons(UiWindow& window);
