#include "ui/DialogWindow.h"

#include "ui/Drawing.h"

bool OpenDialogWindow(UiWindow& dialog, UiWindow* owner, WideView title, int width, int height, DWORD extendedStyle,
                      UniqueBitmap face) {
  HWND ownerHandle = owner ? owner->handle() : nullptr;
  bool ownerShown = ownerHandle && IsWindowVisible(ownerHandle);
  if (owner) dialog.ShareEvents(&owner->event());
  if (!dialog.Create(L"Brimlark_MsgBox", title, width, height, kCentred, kCentred, WS_POPUP, extendedStyle,
                     ownerShown ? ownerHandle : nullptr)) {
    dialog.ShareEvents(nullptr);
    return false;
  }
  if (face) dialog.SetBackgroundBitmap(std::move(face), BackgroundMode::kPattern);
  (void)SetRoundedWindowRegion(dialog.handle(), width, height, 12);
  UiWindow::Centre(dialog.handle(), ownerShown ? ownerHandle : nullptr);
  if (ownerShown) owner->AddAttachedWindow(dialog.handle());
  return true;
}

OwnerDisabled::OwnerDisabled(UiWindow* owner) {
  HWND handle = owner ? owner->handle() : nullptr;
  if (handle && IsWindowEnabled(handle)) {
    owner_ = handle;
    EnableWindow(owner_, FALSE);
  }
}

void OwnerDisabled::Restore() {
  if (owner_) EnableWindow(owner_, TRUE);
  owner_ = nullptr;
}
