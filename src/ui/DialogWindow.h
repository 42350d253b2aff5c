#pragma once
// What every modal dialog of the program does to open over its owner and to leave it again.

#include "ui/GdiOwners.h"
#include "ui/UiWindow.h"

// Makes dialog a window of the program's dialog class ("Brimlark_MsgBox") over owner (null: on its own):
// it shares the owner's event record, so the owner's loop sees its events and a close request for the
// owner outlives it; it has the given face and rounded corners, is centred over the owner when the owner
// shows, and goes where the owner goes. False when it could not be made.
[[nodiscard]] bool OpenDialogWindow(UiWindow& dialog, UiWindow* owner, WideView title, int width, int height,
                                    DWORD extendedStyle, UniqueBitmap face);

// The owner of a modal dialog takes no input while the dialog is open. Enabled again by Restore() (before
// the dialog closes, so that the owner is the window activated next) or at the latest when this goes.
class OwnerDisabled {
 public:
  explicit OwnerDisabled(UiWindow* owner);
  ~OwnerDisabled() { Restore(); }
  OwnerDisabled(const OwnerDisabled&) = delete;
  OwnerDisabled& operator=(const OwnerDisabled&) = delete;
  void Restore();

 private:
  HWND owner_ = nullptr;  // null when it was not enabled to begin with
};
