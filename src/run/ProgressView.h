#pragma once
// What the run controller shows and asks while a run goes on. The progress window is one such view; in
// the Quiet run mode a hidden view stands in, which shows nothing and never asks.

#include "base/WideString.h"

#include <cstdint>

enum class ProgressEvent {
  kNone,
  kCancel,       // the Cancel button or a close request
  kPauseToggle,  // the Pause/Resume button
};

enum class CompletionAction : int {
  kDoNothing = 0,
  kCloseApplication = 1,
  kLogOff = 2,
  kSleep = 3,
  kHibernate = 4,
  kShutDown = 5,
  kRestart = 6,
};

class ProgressView {
 public:
  virtual ~ProgressView() = default;

  virtual void Open(WideView caption) = 0;
  virtual void Close() = 0;
  virtual void ShowLocations(WideView source, WideView destination) = 0;
  virtual void ShowStatus(WideView text) = 0;
  virtual void ShowMarquee(bool on) = 0;
  virtual void ShowProgress(uint32_t permille) = 0;
  virtual void ShowPaused(bool paused) = 0;
  // Handles the messages waiting for the thread's windows, without waiting for more, and reports what
  // the user did. The controller does the waiting (on its worker and on the message queue together).
  [[nodiscard]] virtual ProgressEvent NextEvent() = 0;
  // Asks whether to cancel; true for yes.
  [[nodiscard]] virtual bool ConfirmCancel(WideView question) = 0;
  // Asks whether deletions the run holds back for their number may go ahead; true for yes.
  [[nodiscard]] virtual bool ConfirmDeletions(WideView question) = 0;
  // The entry chosen in the completion list, once the user is not choosing any more; -1 without a list.
  [[nodiscard]] virtual int CompletionChoice() = 0;
};

// Shows nothing: the Quiet run mode, and unattended runs until the progress window exists.
class HiddenProgressView final : public ProgressView {
 public:
  void Open(WideView) override {}
  void Close() override {}
  void ShowLocations(WideView, WideView) override {}
  void ShowStatus(WideView) override {}
  void ShowMarquee(bool) override {}
  void ShowProgress(uint32_t) override {}
  void ShowPaused(bool) override {}
  [[nodiscard]] ProgressEvent NextEvent() override;
  [[nodiscard]] bool ConfirmCancel(WideView) override { return true; }
  [[nodiscard]] bool ConfirmDeletions(WideView) override { return false; }
  [[nodiscard]] int CompletionChoice() override { return static_cast<int>(CompletionAction::kDoNothing); }
};
