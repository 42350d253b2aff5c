#pragma once
// The two steps every control constructor shares: making the child window in the window's current parent
// (with WS_GROUP when a group starts), and registering it with its creation rectangle.

#include "ui/UiWindow.h"

[[nodiscard]] HWND MakeChild(UiWindow& window, const wchar_t* windowClass, WideView text, DWORD style,
                             DWORD extendedStyle, int x, int y, int width, int height);
// Registers the control, or destroys it when it cannot be registered. Returns its id or 0.
[[nodiscard]] int FinishControl(UiWindow& window, ControlType type, HWND control, int x, int y, int width, int height);
