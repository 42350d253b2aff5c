#pragma once
// The control constructors. Each makes one control (or a pair of windows, or a menu entry) in the
// window's current parent, registers it and returns its id, 0 on failure; nothing is left half made.
// Fonts, colours and anchoring come from the window's defaults of the moment (UiWindow.h).

#include "base/WideString.h"
#include "ui/GdiOwners.h"
#include "ui/UiWindow.h"

#include <windows.h>

#include <cstdint>

// A push button's style: -1 stands for WS_TABSTOP alone; a style with BS_DEFPUSHBUTTON also makes it the
// window's default button.
inline constexpr DWORD kButtonDefaultStyle = 0xFFFFFFFF;

[[nodiscard]] int AddPushButton(UiWindow& window, WideView text, int x, int y, int width, int height,
                                DWORD style = kButtonDefaultStyle);
// A push button showing a picture (left of its text, when the text is padded with spaces).
[[nodiscard]] int AddImageButton(UiWindow& window, WideView text, UniqueBitmap picture, int x, int y, int width,
                                 int height, DWORD style = kButtonDefaultStyle);
// A push button whose corners are rounded off by its window region.
[[nodiscard]] int AddShapedButton(UiWindow& window, WideView text, int x, int y, int width, int height,
                                  int cornerDiameter);
// The close and minimise buttons of a custom title bar: white marks drawn as 24 x 24 pictures.
[[nodiscard]] int AddCloseButton(UiWindow& window, int x, int y);
[[nodiscard]] int AddMinimiseButton(UiWindow& window);
// items: the entries separated by "\n".
[[nodiscard]] int AddDropDownList(UiWindow& window, WideView items, int x, int y, int width, int height);
// style: SS_LEFT (0), SS_CENTER or SS_RIGHT, with any other static styles.
[[nodiscard]] int AddLabel(UiWindow& window, WideView text, int x, int y, int width, int height, DWORD style = 0);
// A label that takes the size of its text in its own font.
[[nodiscard]] int AddFittedLabel(UiWindow& window, WideView text, int x, int y, DWORD style = 0);
[[nodiscard]] int AddGroupBox(UiWindow& window, WideView text, int x, int y, int width, int height);
[[nodiscard]] int AddInputField(UiWindow& window, WideView text, int x, int y, int width, int height,
                                DWORD style = ES_AUTOHSCROLL);
// An up-down control at the right end of an input field, for numbers from low to high.
bool AttachUpDown(UiWindow& window, int fieldId, int low, int high);
// The icon and the bitmap are copied: the caller keeps its own.
[[nodiscard]] int AddIcon(UiWindow& window, HICON icon, int x, int y, int width, int height);
[[nodiscard]] int AddPicture(UiWindow& window, HBITMAP picture, int x, int y, int width, int height);
// A picture painted as the control's background brush, so that its transparent parts show what lies below.
[[nodiscard]] int AddBrushPicture(UiWindow& window, UniqueBitmap picture, int x, int y, int width, int height);
// A link in a title band: at x, y 35, 15 high; a click raises its id with the address in the scratch text.
[[nodiscard]] int AddLink(UiWindow& window, WideView text, WideView address, int x, int width);
[[nodiscard]] int AddProgressBar(UiWindow& window, int x, int y, int width, int height);
[[nodiscard]] int AddTabControl(UiWindow& window, int x, int y, int width, int height);
// A child window that holds the controls made next (until UiWindow::CloseContainer()), painted with the
// given brush: a title band, say.
[[nodiscard]] int AddSubWindow(UiWindow& window, int x, int y, int width, int height, UniqueBrush background);
// A page of a tab control; the controls made next belong to it, until UiWindow::CloseContainer().
[[nodiscard]] int AddTabPage(UiWindow& window, int tabControlId, WideView title);
// Shows the tab control's page at index (0 the first added), as a click on its tab would.
bool SelectTabPage(UiWindow& window, int tabControlId, int index);

// A check box or radio button: a picture half and a label half that act as one, under the label's id.
// initialState kStateChecked checks it; anything else leaves it unchecked. The pictures are the
// unchecked and checked looks (the window keeps them).
[[nodiscard]] int AddCheckBox(UiWindow& window, WideView text, UniqueBitmap unchecked, UniqueBitmap checked, int x,
                              int y, int width, uint32_t initialState);
[[nodiscard]] int AddRadioButton(UiWindow& window, WideView text, UniqueBitmap unchecked, UniqueBitmap checked,
                                 int x, int y, int width, uint32_t initialState);

// One tooltip window per window, made on first use; CR LF breaks lines. For a notification-area icon
// the icon's own tip is replaced.
bool SetTooltip(UiWindow& window, int id, WideView text);
// A font of its own for a control (-1: the last one made); the previous one goes.
bool SetControlFont(UiWindow& window, int id, double points, int weight, uint32_t attributes);
bool SetControlColours(UiWindow& window, int id, int32_t text, int32_t background);
bool SetControlText(UiWindow& window, int id, WideView text);
[[nodiscard]] WideString ControlText(const UiWindow& window, int id);
void SetControlCursor(UiWindow& window, int id, HCURSOR cursor);
