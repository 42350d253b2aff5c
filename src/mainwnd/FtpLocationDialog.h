#pragma once
// The dialog in which one side of a folder pair is set up as a directory on an FTP server. It produces the
// location's stored form "FTP:…" (what settings files and the hidden list columns keep) and its display
// form "ftp://…" (what the fields and the job list show).

#include "base/WideString.h"
#include "ui/GdiOwners.h"
#include "ui/UiWindow.h"

// Both location windows, this dialog and the folder-pair editor, have this client size and background.
inline constexpr int kLocationWindowWidth = 515;
inline constexpr int kLocationWindowHeight = 250;
// A black rim around a white face, with the light band behind the buttons.
[[nodiscard]] UniqueBitmap LocationWindowBackground();

// Modal over owner, sharing its event record. Starts with the location behind storedForm when it deciphers;
// a displayForm that names another location ("ftp://user@server:port/directory", as typed in a field)
// fills in what it gives. True when the user confirmed and a stored form was made: then both texts hold
// the new location; otherwise neither changes.
[[nodiscard]] bool EditFtpLocation(UiWindow& owner, WideString& storedForm, WideString& displayForm);
