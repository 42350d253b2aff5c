#pragma once
// What kinds of controls keep beyond their record, and the framework's operations on it. Shared by the
// window (UiWindow.cpp, UiWindowProcedure.cpp) and the control constructors (Controls.cpp, Pairs.cpp,
// ListView.cpp, Menus.cpp).

#include "base/WideString.h"
#include "ui/ControlRecord.h"

#include <commctrl.h>

#include <vector>

class UiWindow;

template <typename Data>
Data* DataOf(ControlRecord* record) {
  return record ? dynamic_cast<Data*>(record->data.get()) : nullptr;
}
template <typename Data>
const Data* DataOf(const ControlRecord* record) {
  return record ? dynamic_cast<const Data*>(record->data.get()) : nullptr;
}

// A tab page or sub-window: the ids of the controls made while it was open.
struct ContainerData final : ControlData {
  std::vector<int> members;
};

// The two halves of a check box or radio button; both records point at one pair (the label's owns it).
struct PairData final : ControlData {
  int imageId = 0;
  int labelId = 0;
  uint32_t state = kStateUnchecked;  // kStateChecked or kStateUnchecked
  UniqueBitmap unchecked;
  UniqueBitmap checked;
  COLORREF normalColour = 0;
  COLORREF hoverColour = RGB(48, 80, 175);
};
// The image half refers to the pair owned by the label half.
struct PairHalf final : ControlData {
  int labelId = 0;
};

// A list view: its sort switch, custom-draw colours and small-icon list.
class ListRows;
struct ListData final : ControlData {
  ListData();
  ~ListData() override;
  bool sortable = false;
  std::unique_ptr<ListRows> virtualRows;  // a list that asks for its cells
  UniqueImageList smallIcons;
  UniqueImageList stateImages;
  struct RowLook {
    COLORREF text = CLR_DEFAULT;
    COLORREF background = CLR_DEFAULT;
    HFONT font = nullptr;
  };
  std::vector<RowLook> rows;  // per row, for custom draw; empty: nothing drawn by hand
};

// A picture or icon control owns the image it shows.
struct ImageData final : ControlData {
  UniqueBitmap bitmap;
  UniqueIcon icon;
  UniqueBrush pattern;  // a picture drawn as the control's pattern brush
  UniqueImageList states;  // a button's picture for each of its states (a faded one when disabled)
};

// A link: the address it opens.
struct LinkData final : ControlData {
  WideString address;
};

// A notification-area icon.
struct TrayData final : ControlData {
  UniqueIcon icon;
  HWND owner = nullptr;
};

// A menu item's picture.
struct MenuItemData final : ControlData {
  UniqueBitmap picture;
};

// Renders a control through a memory bitmap, so that it does not flicker when it is redrawn.
void InstallDoubleBuffering(HWND control);
// Frees what a control owns that its window does not (notification icons, menus), before the record goes.
void ReleaseControlData(UiWindow& window, int id, ControlRecord& record);
bool SetPairState(UiWindow& window, int id, uint32_t state);
[[nodiscard]] uint32_t PairState(const UiWindow& window, int id);
// A click on either half of a pair: toggles a check box, checks a radio button. Returns the label's id.
int ClickPair(UiWindow& window, int id);
// The pair a half belongs to, or null.
[[nodiscard]] PairData* PairOf(UiWindow& window, int id);
// Sorts a sortable list by a column after a click on its header.
void SortListByColumn(UiWindow& window, int id, int column);
// Fills the text a list of ListRows asks for.
void VirtualListCell(UiWindow& window, int id, NMLVDISPINFOW& request);
// The mouse is over the control of this id (0: none): check boxes and radio buttons show their hover colour.
void UpdateHover(UiWindow& window, int id);
// Every pair back in its normal colour (the window was reactivated).
void ResetPairColours(UiWindow& window);
// WM_NOTIFY from a control: links, lists, tabs, double-clicks and Enter.
LRESULT HandleNotify(UiWindow& window, NMHDR* header, bool& handled);
bool SetTrayTip(UiWindow& window, int id, WideView text);
