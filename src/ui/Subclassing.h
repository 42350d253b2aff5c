#pragma once
// Subclassing of windows and controls. The common controls' SetWindowSubclass keeps its data in a window
// property, and under Wine each property read is a round trip to the wineserver: a list that sends its
// parent a notification for every row it is given made thousands of them. These keep the chain in the
// process instead. A procedure passes a message on with CallNextProcedure, and is removed by itself at
// WM_NCDESTROY at the latest (or the chain goes with the window).

#include <windows.h>
#include <commctrl.h>

bool InstallSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR reference);
bool RemoveSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
// Inside a subclass procedure: the message for the procedure installed before it, or the window's own.
LRESULT CallNextProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
