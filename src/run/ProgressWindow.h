#pragma once
// The window of a run: what is being done (title, source, destination, status line, progress bar), Pause
// and Cancel, and the choice of what happens when the run completes. The run controller drives it as its
// ProgressView from the UI thread while it waits for its workers.

#include "run/ProgressView.h"
#include "ui/BusyIndicator.h"
#include "ui/GdiOwners.h"
#include "ui/MessageBox.h"
#include "ui/UiWindow.h"

class ProgressWindow final : public ProgressView {
 public:
  // owner: the main window when it is shown (the window is placed over it), else null.
  explicit ProgressWindow(HWND owner = nullptr) : owner_(owner) {}

  void Open(WideView caption) override;
  void Close() override;
  void ShowLocations(WideView source, WideView destination) override;
  void ShowStatus(WideView text) override;
  void ShowMarquee(bool on) override;
  void ShowProgress(uint32_t permille) override;
  void ShowPaused(bool paused) override;
  [[nodiscard]] ProgressEvent NextEvent() override;
  [[nodiscard]] bool ConfirmCancel(WideView question) override { return AskYesNo(question, true, true); }
  // Asked over the window, which goes on showing the job the deletions belong to.
  [[nodiscard]] bool ConfirmDeletions(WideView question) override { return AskYesNo(question, false, false); }
  [[nodiscard]] int CompletionChoice() override;

  // For tests and screenshots.
  [[nodiscard]] UiWindow& window() { return window_; }
  [[nodiscard]] int pauseButton() const { return pauseId_; }
  [[nodiscard]] int cancelButton() const { return cancelId_; }
  [[nodiscard]] int completionList() const { return completionId_; }
  [[nodiscard]] int statusLine() const { return statusId_; }
  [[nodiscard]] int titleLine() const { return titleId_; }
  [[nodiscard]] MessageBoxWindow& questionBox() { return question_; }

 private:
  // With stepAside the window hides while the question is open, and comes back when the run goes on.
  // Without a window nobody can answer: the answer is answerWithoutWindow.
  [[nodiscard]] bool AskYesNo(WideView question, bool answerWithoutWindow, bool stepAside);

  HWND owner_;
  UiWindow window_;
  MessageBoxWindow question_;
  BusyIndicator busy_;
  KeepAlive heartbeat_;
  UniqueBitmap resumePicture_;
  UniqueBitmap pausePicture_;
  int busyId_ = 0, titleId_ = 0, sourceId_ = 0, destinationId_ = 0, barId_ = 0, statusId_ = 0;
  int completionId_ = 0, pauseId_ = 0, cancelId_ = 0;
};
