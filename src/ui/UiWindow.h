#pragma once
// A top-level window made in code, its table of controls and its event loop. Every window of the program
// is one: the owner creates it and its controls (Controls.h), then loops over NextEvent() and switches on
// the event's code (UiEvent.h). Controls, menu items and notification-area icons are all registered in
// one table indexed by id, so every clickable thing has an id and produces an event of that id.

#include "base/WideString.h"
#include "ui/ControlRecord.h"
#include "ui/GdiOwners.h"
#include "ui/UiEvent.h"

#include <windows.h>

namespace Gdiplus {
class Image;
}

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The window's default font for new controls.
struct FontSpec {
  double points = 9.0;
  int weight = 400;
  uint32_t attributes = 1;  // 2 italic, 4 underline, 8 strike-out
  WideString face = L"Arial";
  BYTE quality = 0;  // 0: proof quality
};

enum class BackgroundMode : int {
  kSolid = 0,
  kPattern = 1,   // a pattern brush made from the background bitmap
  kStretched = 2, // the background bitmap stretched over the client area
  kNone = 3,
  kForeignBrush = 4,  // a brush the window does not own
};

// Option bits of a window.
enum WindowOptions : uint32_t {
  kOptionStartGroup = 0x01,    // the next control starts a group (WS_GROUP)
  kOptionClassExisted = 0x02,  // the class was registered before: never unregister it
  kOptionForeign = 0x04,       // a foreign window that was only subclassed
  kOptionGroupHeaderNoSelect = 0x08,
};

class UiWindow {
 public:
  static constexpr size_t kInitialControls = 512;
  static constexpr size_t kMaxAttachedWindows = 48;

  UiWindow();
  ~UiWindow();
  UiWindow(const UiWindow&) = delete;
  UiWindow& operator=(const UiWindow&) = delete;

  // Creates the window (destroying one this object already has). style kDefaultWindowStyle and
  // extendedStyle kDefaultExtendedStyle stand for the defaults; x = y = kCentred centres it. The size is
  // the client area's. Returns the window, or null.
  HWND Create(WideView className, WideView title, int clientWidth, int clientHeight, int x, int y, DWORD style,
              DWORD extendedStyle, HWND parent);
  // Subclasses a window made elsewhere, so that its messages become events too.
  bool Attach(HWND window);
  void Destroy();

  // flags: 1 update, 2 bring to top and foreground, 4 activate and enable, 8 asynchronously, 0x10 flush
  // the events the showing produced, 0x20 redraw with erase.
  void Show(int command, unsigned flags = 0);
  enum ShowFlags : unsigned { kShowUpdate = 1, kShowForeground = 2, kShowActivate = 4, kShowAsync = 8,
                              kShowFlush = 0x10, kShowRedraw = 0x20 };

  [[nodiscard]] HWND handle() const { return window_; }
  // 0: the window itself; -1: the last registered control.
  [[nodiscard]] HWND ControlHandle(int id) const;
  // Registers a control window (or a menu, with a null handle) and returns its id, 0 on failure. Fonts,
  // colours and anchoring come from the window's defaults of the moment.
  [[nodiscard]] int RegisterControl(ControlType type, HWND control);
  // Stores the creation rectangle of a control (done by every constructor after registering).
  void SetCreationRectangle(int id, int x, int y, int width, int height);
  [[nodiscard]] ControlRecord* Record(int id);
  [[nodiscard]] const ControlRecord* Record(int id) const;
  [[nodiscard]] int ControlCount() const { return static_cast<int>(count_); }
  [[nodiscard]] size_t Capacity() const { return records_.size(); }
  // The id of a registered control window, 0 when it is none.
  [[nodiscard]] int IdOf(HWND control) const;
  // Releases what a control owns, destroys its window and clears its slot.
  bool DeleteControl(int id);

  bool SetState(int id, uint32_t state);
  [[nodiscard]] uint32_t GetState(int id) const;
  void SetDefaultButton(int id);
  [[nodiscard]] int defaultButton() const { return defaultButton_; }
  // Esc anywhere in the window clicks this button (0: none), as Enter clicks the default button.
  void SetCancelButton(int id) { cancelButton_ = id; }

  // A corner diameter below 1 makes the window frameless; above, a rounded window region.
  void SetShape(int cornerDiameter);
  void SetBorder(int width, COLORREF colour);
  // Centres a window over another's client area, or over the work area when there is none.
  static void Centre(HWND window, HWND over);
  bool AddAttachedWindow(HWND other);
  void SetTrackingSizes(int minWidth, int minHeight, int maxWidth, int maxHeight);

  // The event record in use: the window's own, or the owner's one it shares.
  [[nodiscard]] UiEvent& event() { return *event_; }
  void ShareEvents(UiEvent* owner) { event_ = owner ? owner : &ownEvent_; }
  void RaiseEvent(int32_t code, UINT message, HWND window, int32_t param, LPARAM extra);
  // The next event, or kEventNone at once when the queue is empty.
  const UiEvent& NextEvent();
  // The next event, waiting for messages; kEventQuit when WM_QUIT arrives (it is posted again).
  const UiEvent& WaitEvent();
  // Handles and discards what is in the queue.
  void Flush();
  // Flushes while the left mouse button is down.
  void DragWait();
  // Hides and destroys this window, which shares its owner's event record, discards the events that
  // produced, and gives the owner its record back as it was. A close request seen meanwhile survives as
  // the owner's next event unless it was this window's own (answered by closing it).
  void CloseModal(const UiEvent& ownerBefore, bool closeRequestSurvives = true);

  // Defaults for the controls created next.
  FontSpec& defaultFont() { return defaultFont_; }
  void SetDefaultColours(int32_t text, int32_t background) {
    defaultTextColour_ = text;
    defaultBackgroundColour_ = background;
  }
  void SetDefaultResize(uint32_t flags) { defaultResize_ = flags; }
  void StartGroup() { options_ |= kOptionStartGroup; }
  [[nodiscard]] bool GroupPending() const { return (options_ & kOptionStartGroup) != 0; }
  void SetOption(uint32_t option, bool on) { options_ = on ? options_ | option : options_ & ~option; }
  // The parent of new controls: the window, or an open tab page.
  [[nodiscard]] HWND currentParent() const { return currentParent_; }
  void CloseContainer();
  void SetWindowCursor(HCURSOR cursor) { windowCursor_ = cursor; }
  void SetAccelerators(UniqueAccelerators table) { accelerators_ = std::move(table); }
  void SetMenu(UniqueMenu menu) { menu_ = std::move(menu); }

  // Background.
  void SetBackgroundColour(COLORREF colour);
  // Takes the bitmap: mode kPattern tiles it as a brush, kStretched stretches it over the client area.
  void SetBackgroundBitmap(UniqueBitmap bitmap, BackgroundMode mode);
  void SetForeignBackgroundBrush(HBRUSH brush);
  // The image, scaled to the client area, as the window's pattern background.
  bool SetBackgroundImage(Gdiplus::Image& image);
  void SetBackgroundMode(BackgroundMode mode) { backgroundMode_ = mode; }
  [[nodiscard]] BackgroundMode backgroundMode() const { return backgroundMode_; }

  // Where texts that come with events land: a clicked link's address, dropped paths.
  [[nodiscard]] WideString& scratchText() { return scratch_; }
  [[nodiscard]] HINSTANCE instance() const { return instance_; }
  [[nodiscard]] POINT lastMouse() const { return lastMouse_; }
  [[nodiscard]] int hoveredControl() const { return hovered_; }
  void SetHoveredControl(int id) { hovered_ = id; }
  [[nodiscard]] HWND tooltipWindow() const { return tooltip_.get(); }
  void SetTooltipWindow(UniqueWindow tooltip) { tooltip_ = std::move(tooltip); }
  // A tip over this window that goes at the next key or click in it, in the tip or in a window it owns
  // (the tip's own UiWindow, which lets go of this one when it is destroyed first).
  void SetTransientTip(UiWindow* tip);
  void CloseTransientTip();

  // Moves the controls after a change of the client size (done by the framework itself).
  void Relayout();

 private:
  friend class UiWindowProcedure;

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  bool GrowTable();
  void ApplyFontTo(ControlRecord& record);
  void Subclass();
  void Unsubclass();
  void TakeIcons(HWND parent);
  void FreeBackground();
  [[nodiscard]] bool PumpOne(bool wait);
  LRESULT EraseBackground(HDC dc);
  LRESULT ControlColour(UINT message, HDC dc, HWND control);
  HBRUSH PatternUnder(HWND control);
  void MoveControl(ControlRecord& record, int clientWidth, int clientHeight, HDWP& batch);

  UiEvent ownEvent_;
  UiEvent* event_ = &ownEvent_;
  std::vector<ControlRecord> records_;  // slot 0 stays empty
  size_t count_ = 0;
  std::array<HWND, kMaxAttachedWindows> attached_{};
  int attachedHighest_ = -1;
  WideString scratch_;
  HINSTANCE instance_ = nullptr;
  SIZE minTrack_{}, maxTrack_{};
  SIZE clientSize_{};
  FontSpec defaultFont_;
  // Background.
  UniqueBitmap backgroundBitmap_;
  HGDIOBJ previousSelection_ = nullptr;
  UniqueMemoryDc memoryDc_;
  UniqueBrush backgroundBrush_;
  HBRUSH foreignBrush_ = nullptr;
  BackgroundMode backgroundMode_ = BackgroundMode::kSolid;
  UniqueBrush cachedPattern_;
  SIZE backgroundSize_{};
  int defaultButton_ = 0;
  int cancelButton_ = 0;
  uint32_t defaultResize_ = 0;
  int openContainer_ = 0;
  HWND currentParent_ = nullptr;
  ATOM classAtom_ = 0;
  WideString className_;
  int32_t defaultTextColour_ = -1;
  int32_t defaultBackgroundColour_ = kTransparent;
  HCURSOR windowCursor_ = nullptr;
  HWND window_ = nullptr;
  UniqueWindow tooltip_;
  UiWindow* transientTip_ = nullptr;
  UiWindow* tipOwner_ = nullptr;  // set in a transient tip: the window it lies over
  UniqueAccelerators accelerators_;
  uint32_t options_ = 0;
  bool frameless_ = false;
  int cornerDiameter_ = 0;
  int borderWidth_ = 0;
  COLORREF borderColour_ = 0;
  POINT lastMouse_{};
  WPARAM lastKeys_ = 0;
  int hovered_ = 0;
  UniqueMenu menu_;
  UniqueIcon bigIcon_, smallIcon_;
};

// Disables a range of controls and gives back exactly those it disabled when it goes.
class UiLock {
 public:
  UiLock() = default;
  UiLock(UiWindow& window, int firstId, int lastId) { Acquire(window, firstId, lastId); }
  ~UiLock() { Release(); }
  UiLock(const UiLock&) = delete;
  UiLock& operator=(const UiLock&) = delete;

  // Acquiring the same window and range again does nothing.
  void Acquire(UiWindow& window, int firstId, int lastId);
  void Release();
  [[nodiscard]] bool held() const { return window_ != nullptr; }

 private:
  UiWindow* window_ = nullptr;
  int first_ = 0, last_ = 0;
  std::vector<int> disabled_;
  HWND focus_ = nullptr;
};

// The new position and size of a control after its parent's client area changed from (W0, H0) to (W, H):
// the relayout rules, in integer arithmetic. Exposed for tests.
struct ControlBox {
  int x, y, width, height;
};
[[nodiscard]] ControlBox RelaidOut(uint32_t flags, ControlBox created, ControlBox current, int parentWidth0,
                                   int parentHeight0, int parentWidth, int parentHeight);
