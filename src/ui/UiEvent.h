#pragma once
// The event record of the window framework. The framework's window procedure never calls into the
// program: it fills this record, and the window's owner asks for the next event and switches on its code.
// A positive code is the id of the control or menu item that was activated; a negative one is a window
// event from the list below.

#include <windows.h>

#include <cstdint>

class UiWindow;

enum UiEventCode : int32_t {
  kEventNone = 0,
  kEventSize = -4,
  kEventDrop = -5,   // param: control under the drop point; extra: the paths joined by CR LF
  kEventClose = -6,  // a close request
  kEventMinimize = -7,
  kEventRestore = -8,
  kEventMaximize = -9,
  kEventLeftDown = -10,
  kEventLeftUp = -11,
  kEventRightDown = -12,
  kEventRightUp = -13,
  kEventDoubleClick = -14,
  kEventRightDoubleClick = -15,
  kEventMouseMove = -16,
  kEventWheel = -17,
  kEventNcDoubleClick = -18,
  kEventActivated = -19,
  kEventDeactivated = -20,
  kEventMouseOver = -21,
  kEventContextMenu = -22,
  kEventNcMouseLeave = -23,
  kEventMoving = -24,
  kEventMoved = -25,
  kEventReturn = -26,
  kEventNcButtonDown = -27,
  kEventNcButtonUp = -28,
  kEventNcActive = -29,
  kEventNcInactive = -30,
  kEventEndSession = -31,
  kEventHorizontalScroll = -32,
  kEventVerticalScroll = -33,
  kEventHorizontalWheel = -34,
  kEventTabChanging = -35,
  kEventTabChanged = -36,
  kEventListSelected = -45,
  kEventListDeselected = -46,
  kEventListChecked = -47,
  kEventListUnchecked = -48,
  kEventListDeleted = -49,
  kEventListScrollBegin = -50,
  kEventListScrollEnd = -51,
  kEventListFocusLost = -52,
  kEventListLabelEdited = -53,
  kEventListColumnClick = -54,
  kEventComboSelectionChange = -65,
  kEventComboDropDown = -66,
  kEventComboCloseUp = -67,
  kEventComboFocus = -68,
  kEventComboDoubleClick = -69,
  kEventComboEditChange = -70,
  kEventEditUpdate = -75,
  kEventEditChange = -76,
  kEventEditFocus = -77,
  kEventEditFocusLost = -78,
  kEventChar = -201,
  kEventTray = -202,
  kEventBalloonShow = -203,
  kEventBalloonClick = -204,
  kEventBalloonHide = -205,
  kEventMenuLoopEnter = -206,
  kEventMenuLoopExit = -207,
  kEventDeviceChange = -208,
  kEventQuit = -300,  // WM_QUIT, seen by the blocking loop
};

// Posted by WM_CLOSE and SC_CLOSE; the loop turns it into kEventClose.
inline constexpr UINT kCloseRequestMessage = 0xCAE;
// Sent by the loop to the top-level window under an Esc key press; non-zero when the window clicked its
// cancel button for it.
inline constexpr UINT kEscapeMessage = 0xCAF;
// The notification-area icon's callback, and the same re-posted for the loop to handle.
inline constexpr UINT kTrayCallbackMessage = 0xCB0;
inline constexpr UINT kTrayEventMessage = 0xCB1;

struct UiEvent {
  int32_t code = kEventNone;
  HWND window = nullptr;  // the window that produced the event
  UINT message = 0;       // the Win32 message that produced it
  int32_t param = 0;      // control id, item index or a message-specific value
  LPARAM extra = 0;       // dropped text, notification data, tab page
  MSG raw{};              // the last message taken from the queue
  UiWindow* source = nullptr;  // the window object that filled the record
  UiWindow* active = nullptr;  // the window whose accelerators and dialog navigation apply
  bool pending = false;        // an event not yet returned by the loop
  bool closing = false;        // a close request arrived while a modal operation ran

  void Raise(UiWindow* from, int32_t eventCode, UINT fromMessage, HWND fromWindow, int32_t eventParam,
             LPARAM eventExtra) {
    // One record holds one event: a close request not yet seen by the loop is never written over by what
    // a message sent meanwhile reports (an activation, a move), or the owner would never learn of it.
    if (pending && code == kEventClose && eventCode != kEventClose) return;
    source = from;
    code = eventCode;
    message = fromMessage;
    window = fromWindow;
    param = eventParam;
    extra = eventExtra;
    pending = eventCode != kEventNone;
    if (eventCode == kEventClose) closing = true;
    if (eventCode > 0) closing = false;
  }
  // What the loop clears before it takes the next message.
  void ClearMessage() {
    code = kEventNone;
    window = nullptr;
    message = 0;
    param = 0;
    extra = 0;
    raw = MSG{};
  }
};
