#pragma once
// The modal editor of one folder pair of the main window's job list: a source and a destination field,
// each with a folder browser and an FTP set-up button, and the pair's checked flag. It refuses a pair whose
// sides are empty, the same or nested; on OK it writes the row and remembers the last local folders used.

#include "base/WideString.h"
#include "ini/IniFile.h"
#include "ui/UiWindow.h"

// Row indexes for adding instead of editing.
inline constexpr int kAddPair = -1;
inline constexpr int kAddDroppedPair = -2;  // droppedText, a folder or file, becomes the source

// listId: the job list of mainWindow, with the columns Source, Destination, ItemId, SourceLocation,
// DestinationLocation. index: the row to edit, or kAddPair, kAddDroppedPair. appIni: the application's
// store, whose section "History" keeps the last local folders. True when the list was changed.
[[nodiscard]] bool EditPair(UiWindow& mainWindow, int listId, int index, WideView droppedText, IniFile& appIni);
