#pragma once
// What the window keeps for each control: its kind, window, colours, font, creation rectangle and
// anchoring, and the data of its kind.

#include "ui/GdiOwners.h"

#include <windows.h>

#include <cstdint>
#include <memory>

enum class ControlType : int32_t {
  kNone = 0,
  kPushButton = 3,
  kDropDownList = 5,
  kGroupBox = 10,
  kIcon = 11,
  kInputField = 12,
  kLabel = 13,
  kListView = 15,
  kMenu = 16,
  kMenuItem = 17,
  kPicture = 19,
  kProgressBar = 20,
  kSlider = 23,
  kTabControl = 25,
  kTabPage = 26,
  kLink = 31,
  kShapedButton = 32,
  kCustomButton = 34,
  kCheckBoxPair = 35,
  kRadioPair = 36,
  kCustomToggle = 37,
  kTrayIcon = 38,
  kSubWindow = 40,
};

// How a control follows its parent's size.
enum ResizeFlags : uint32_t {
  kKeepLeft = 0x0001,
  kKeepRight = 0x0002,           // with kKeepLeft: stretch the width
  kKeepHorizontalCentre = 0x0004,
  kProportionalHorizontalCentre = 0x0008,
  kKeepTop = 0x0010,
  kKeepBottom = 0x0020,          // with kKeepTop: stretch the height
  kKeepVerticalCentre = 0x0040,
  kProportionalVerticalCentre = 0x0080,
  kProportionalWidth = 0x0100,
  kProportionalHeight = 0x0200,
  kClipFromParent = 0x0400,      // the parent does not paint its background under the control
  kDoubleBuffered = 0x0800,
  kDragsWindow = 0x1000,
  kProportionalX = 0x2000,
  kProportionalY = 0x4000,
  kInvalidateAfterMove = 0x8000,
};
// A control is moved at all only with one of these.
inline constexpr uint32_t kResizeMoveMask = 0x63EE;

enum ControlState : uint32_t {
  kStateHide = 0x01,
  kStateShow = 0x02,
  kStateChecked = 0x04,
  kStateUnchecked = 0x08,
  kStateEnable = 0x20,
  kStateDisable = 0x40,
  kStateMakeDefault = 0x80,
  kStateClearDefault = 0x100,
};

// Colours of a control: a text colour of kColourUnset leaves the DC's colour; a background of
// kTransparent draws over the parent's background, kHollow uses the null brush.
inline constexpr int32_t kColourUnset = -1;
inline constexpr int32_t kTransparent = -1;
inline constexpr int32_t kHollow = -2;

// Style and extended style that stand for the defaults (a caption with system and minimise buttons;
// accepting dropped files), and the position that centres the window.
inline constexpr DWORD kDefaultWindowStyle = 0xFFFFFFFF;
inline constexpr DWORD kDefaultExtendedStyle = 0xFFFFFFFF;
inline constexpr int kCentred = -1;

// What a kind of control keeps beyond its record: the halves of a check-box pair, a list's sort state,
// a container's members.
struct ControlData {
  virtual ~ControlData() = default;
};

struct ControlRecord {
  ControlType type = ControlType::kNone;
  HWND window = nullptr;
  HMENU menu = nullptr;  // menu items and popup menus: the menu that holds them (owned by kMenu records)
  int inUse = 0;         // the record's own id; 0 for a free slot
  UniqueBrush brush;     // from the background colour
  UniqueFont font;
  HCURSOR cursor = nullptr;  // shown over the control; none: the class cursor
  int32_t textColour = kColourUnset;
  int32_t backgroundColour = kTransparent;
  int x = 0, y = 0, width = 0, height = 0;  // at creation, in parent client coordinates
  int parentWidth = 0, parentHeight = 0;     // the parent's client size at creation (anchored controls)
  uint32_t resize = 0;                       // ResizeFlags
  HWND companion = nullptr;                  // a buddy or the other half of a pair
  std::unique_ptr<ControlData> data;
};

