#pragma once
// The "Auto Update" window: what the update check is doing (looking for a new version, then downloading
// it with its percentage) and a Cancel button. The check drives it from the UI thread between its polls
// of the download.
//
// To show it on its own (a screenshot, say): Open(), then ShowDownloading() and ShowPercent(40) if wanted,
// then call CancelRequested() in a loop until it answers true, and Close().

#include "ui/BusyIndicator.h"
#include "ui/UiWindow.h"

#include <cstdint>

class AutoUpdateWindow {
 public:
  // owner: the program's window the check was started from, or null. While this window is open the owner
  // is disabled and the two share the owner's event record, so that a close request for the owner is
  // still the owner's to answer afterwards.
  explicit AutoUpdateWindow(UiWindow* owner = nullptr) : owner_(owner) {}
  ~AutoUpdateWindow() { Close(); }
  AutoUpdateWindow(const AutoUpdateWindow&) = delete;
  AutoUpdateWindow& operator=(const AutoUpdateWindow&) = delete;

  // Shows the window with a marquee bar and "Checking for updates...". False when it could not be made.
  bool Open();
  // A 0...100 bar and "Downloading update...".
  void ShowDownloading();
  void ShowPercent(uint32_t percent);
  // Handles what is queued for the window; true once Cancel was pressed or the window, or its owner,
  // was asked to close.
  [[nodiscard]] bool CancelRequested();
  void Close();
  [[nodiscard]] bool IsOpen() const { return window_.handle() != nullptr; }

  // For tests and screenshots.
  [[nodiscard]] UiWindow& window() { return window_; }
  [[nodiscard]] int cancelButton() const { return cancelId_; }
  [[nodiscard]] int statusLine() const { return statusId_; }
  [[nodiscard]] int progressBar() const { return barId_; }

 private:
  UiWindow* owner_;
  UiWindow window_;
  BusyIndicator busy_;
  UiEvent ownerBefore_;
  bool sharing_ = false;
  bool ownerWasEnabled_ = false;
  bool cancelled_ = false;
  bool ownCloseRequest_ = false;
  int busyId_ = 0, titleId_ = 0, statusId_ = 0, barId_ = 0, cancelId_ = 0;
};
