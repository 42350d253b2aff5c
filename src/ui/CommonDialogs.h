#pragma once
// The system's file and folder choosers. Each returns the chosen path, or an empty text when the user
// cancelled or the dialog could not be shown.

#include "base/WideString.h"

#include <windows.h>

// filter: pairs of description and pattern separated by "|", as "Brimlark Backup files (*.brlk)|*.brlk".
[[nodiscard]] WideString ChooseFileToOpen(HWND owner, WideView title, WideView filter, DWORD flags,
                                          WideView initialName, WideView defaultExtension);
[[nodiscard]] WideString ChooseFileToSave(HWND owner, WideView title, WideView filter, WideView defaultExtension);
// The item dialog in folder mode where the system has it, the older folder browser otherwise.
[[nodiscard]] WideString ChooseFolder(HWND owner, WideView title, WideView initialFolder);
