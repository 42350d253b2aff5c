#pragma once
// The program's own message box and message tip. Questions and errors appear in a modal box that shares
// its owner's event record, so the owner's loop sees the box's buttons; short confirmations appear in a
// tip on the owner's top-left corner that goes away at the next key or click in the owner (or on the tip)
// and with the next box or tip.

#include "base/WideString.h"
#include "ui/UiWindow.h"

enum class MessageKind : int {
  kOk = 0,           // answers 1
  kYesNo = 1,        // Yes 1, No 0
  kOkCancel = 2,     // OK 1, Cancel -1
  kYesNoCancel = 3,  // Yes 1, No 0, Cancel -1
  kTip = 4,          // no buttons: a tip, answered with 1 at once
};

// A close request while a box is open answers this; the end of the message loop, kAnswerQuit.
inline constexpr int kAnswerClosed = 0;
inline constexpr int kAnswerQuit = 50;

class MessageBoxWindow {
 public:
  MessageBoxWindow() = default;
  MessageBoxWindow(const MessageBoxWindow&) = delete;
  MessageBoxWindow& operator=(const MessageBoxWindow&) = delete;

  // Asks and waits for the answer. owner null: answered with 1 at once. A width below 160 is 360. With
  // lockFirst > 0 the owner's controls lockFirst..lockLast are locked while the box is open (the main
  // window keeps its title band usable); otherwise the whole owner is disabled.
  int Ask(UiWindow* owner, WideView text, MessageKind kind, int height = 150, int width = 360, int lockFirst = 0,
          int lockLast = 0);
  // Shows the box (kinds 0-3) and returns at once: the owner's loop waits for buttonId(0..2).
  void ShowBox(UiWindow* owner, WideView text, MessageKind kind, int height, int width);
  // A tip: "message||caption" (without a caption, "Information"). Shown only over a visible owner, as high as
  // its lines plus 45 and at least width wide; height is where the fitting starts.
  void ShowTip(UiWindow& owner, WideView text, int height = 75, int width = 200);
  void Close();

  [[nodiscard]] int buttonId(int index) const { return buttons_[index]; }
  [[nodiscard]] UiWindow& box() { return box_; }
  [[nodiscard]] UiWindow& tip() { return tip_; }
  void SetColours(COLORREF top, COLORREF bottom, COLORREF text) {
    topColour_ = top;
    bottomColour_ = bottom;
    textColour_ = text;
  }

 private:
  [[nodiscard]] int AnswerFor(const UiEvent& event) const;

  UiWindow box_;
  UiWindow tip_;
  int textId_ = 0;
  int buttons_[3] = {0, 0, 0};
  MessageKind kind_ = MessageKind::kOk;
  COLORREF topColour_ = RGB(252, 252, 254);
  COLORREF bottomColour_ = RGB(222, 228, 238);
  COLORREF textColour_ = RGB(0, 0, 0);
};
