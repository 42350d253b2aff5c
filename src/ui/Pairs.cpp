// Check boxes and radio buttons drawn by the program: a picture half and a label half that act as one,
// under the label's id.

#include "ui/ControlData.h"
#include "ui/Subclassing.h"
#include "ui/UiWindow.h"
#include "ui/ControlMaking.h"
#include "ui/Controls.h"

#include <commctrl.h>

#include <memory>

namespace {

constexpr UINT_PTR kPairLabelSubclass = 0xB43;

bool IsPair(const ControlRecord* record) {
  return record && (record->type == ControlType::kCheckBoxPair || record->type == ControlType::kRadioPair);
}

bool StartsGroup(const ControlRecord* record) {
  return record && record->window && (GetWindowLongW(record->window, GWL_STYLE) & WS_GROUP) != 0;
}

// Shows the picture of a state and records it. A static control may keep a copy of a picture with alpha
// and hand it back on the next change: what comes back and is not ours is freed here.
void ShowPairState(UiWindow& window, PairData& pair, uint32_t state) {
  pair.state = state == kStateChecked ? kStateChecked : kStateUnchecked;
  ControlRecord* image = window.Record(pair.imageId);
  if (!image || !image->window) return;
  HBITMAP shown = pair.state == kStateChecked ? pair.checked.get() : pair.unchecked.get();
  auto previous = reinterpret_cast<HBITMAP>(
      SendMessageW(image->window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown)));
  if (previous && previous != pair.checked.get() && previous != pair.unchecked.get()) DeleteObject(previous);
}

void SetLabelColour(UiWindow& window, const PairData& pair, COLORREF colour) {
  ControlRecord* label = window.Record(pair.labelId);
  if (!label || label->textColour == static_cast<int32_t>(colour)) return;
  label->textColour = static_cast<int32_t>(colour);
  InvalidateRect(label->window, nullptr, TRUE);
}

// Checking a radio button unchecks the others of its group: the run of check boxes, radio buttons and
// labels around it, up to the control that starts the group and before the one that starts the next.
void UncheckGroupOf(UiWindow& window, const PairData& self) {
  auto uncheck = [&](int id) {
    ControlRecord* record = window.Record(id);
    if (!record || record->type != ControlType::kRadioPair) return;
    PairData* other = PairOf(window, id);
    if (other && other != &self && other->state != kStateUnchecked) ShowPairState(window, *other, kStateUnchecked);
  };
  auto inRun = [&](const ControlRecord* record) {
    return record && (record->type == ControlType::kLabel || IsPair(record));
  };
  if (!StartsGroup(window.Record(self.labelId)) && !StartsGroup(window.Record(self.imageId))) {
    for (int id = self.imageId - 1; id >= 1; --id) {
      const ControlRecord* record = window.Record(id);
      if (!inRun(record)) break;
      uncheck(id);
      if (StartsGroup(record)) break;
    }
  }
  for (int id = self.labelId + 1; id <= window.ControlCount(); ++id) {
    const ControlRecord* record = window.Record(id);
    if (!inRun(record) || StartsGroup(record)) break;
    uncheck(id);
  }
}

LRESULT CALLBACK PairLabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR reference) {
  auto* window = reinterpret_cast<UiWindow*>(reference);
  switch (message) {
    // While it has the keyboard focus, the label shows the hover colour.
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (PairData* pair = PairOf(*window, GetDlgCtrlID(label))) {
        SetLabelColour(*window, *pair, message == WM_SETFOCUS ? pair->hoverColour : pair->normalColour);
      }
      break;
    case WM_GETDLGCODE:
      // Enter reaches the event loop, which turns it into a click.
      return DLGC_WANTMESSAGE | DLGC_BUTTON;
    case WM_NCDESTROY:
      RemoveSubclass(label, PairLabelProcedure, kPairLabelSubclass);
      break;
    default:
      break;
  }
  return CallNextProcedure(label, message, wParam, lParam);
}

int AddPair(UiWindow& window, ControlType type, WideView text, UniqueBitmap unchecked, UniqueBitmap checked, int x,
            int y, int width, uint32_t initialState) {
  HWND image = MakeChild(window, WC_STATICW, L"", SS_BITMAP | SS_REALSIZECONTROL | SS_CENTERIMAGE | SS_NOTIFY, 0, x, y,
                         14, 14);
  int imageId = FinishControl(window, type, image, x, y, 14, 14);
  if (!imageId) return 0;
  HWND label = MakeChild(window, WC_STATICW, text, SS_NOTIFY | SS_CENTERIMAGE | WS_TABSTOP, 0, x + 14, y - 1,
                         width - 14, 16);
  int labelId = FinishControl(window, type, label, x + 13, y, width - 14, 16);
  if (!labelId) {
    (void)window.DeleteControl(imageId);
    return 0;
  }
  auto pair = std::make_unique<PairData>();
  pair->imageId = imageId;
  pair->labelId = labelId;
  pair->unchecked = std::move(unchecked);
  pair->checked = std::move(checked);
  PairData& shared = *pair;
  ControlRecord* labelRecord = window.Record(labelId);
  labelRecord->data = std::move(pair);
  labelRecord->companion = image;
  auto half = std::make_unique<PairHalf>();
  half->labelId = labelId;
  ControlRecord* imageRecord = window.Record(imageId);
  imageRecord->data = std::move(half);
  imageRecord->companion = label;
  for (ControlRecord* record : {imageRecord, window.Record(labelId)}) {
    record->cursor = LoadCursorW(nullptr, IDC_HAND);
    record->textColour = 0;
  }
  ShowPairState(window, shared, initialState);
  InstallSubclass(label, PairLabelProcedure, kPairLabelSubclass, reinterpret_cast<DWORD_PTR>(&window));
  return labelId;
}

}  // namespace

PairData* PairOf(UiWindow& window, int id) {
  ControlRecord* record = window.Record(id);
  if (!IsPair(record)) return nullptr;
  if (auto* pair = DataOf<PairData>(record)) return pair;
  if (auto* half = DataOf<PairHalf>(record)) return DataOf<PairData>(window.Record(half->labelId));
  return nullptr;
}

int AddCheckBox(UiWindow& window, WideView text, UniqueBitmap unchecked, UniqueBitmap checked, int x, int y, int width,
                uint32_t initialState) {
  return AddPair(window, ControlType::kCheckBoxPair, text, std::move(unchecked), std::move(checked), x, y, width,
                 initialState);
}

int AddRadioButton(UiWindow& window, WideView text, UniqueBitmap unchecked, UniqueBitmap checked, int x, int y,
                   int width, uint32_t initialState) {
  return AddPair(window, ControlType::kRadioPair, text, std::move(unchecked), std::move(checked), x, y, width,
                 initialState);
}

bool SetPairState(UiWindow& window, int id, uint32_t state) {
  PairData* pair = PairOf(window, id);
  if (!pair) return false;
  HWND halves[2] = {window.ControlHandle(pair->imageId), window.ControlHandle(pair->labelId)};
  for (HWND half : halves) {
    if (!half) continue;
    if (state & kStateHide) ShowWindow(half, SW_HIDE);
    if (state & kStateShow) ShowWindow(half, SW_SHOWNOACTIVATE);
    if (state & kStateEnable) EnableWindow(half, TRUE);
    if (state & kStateDisable) EnableWindow(half, FALSE);
  }
  if (state & kStateChecked) {
    ShowPairState(window, *pair, kStateChecked);
    if (window.Record(pair->labelId)->type == ControlType::kRadioPair) UncheckGroupOf(window, *pair);
  } else if (state & kStateUnchecked) {
    ShowPairState(window, *pair, kStateUnchecked);
  }
  if ((state & kStateMakeDefault) && halves[1]) SetFocus(halves[1]);
  return true;
}

uint32_t PairState(const UiWindow& window, int id) {
  PairData* pair = PairOf(const_cast<UiWindow&>(window), id);
  if (!pair) return 0;
  HWND label = window.ControlHandle(pair->labelId);
  return pair->state | (IsWindowVisible(label) ? kStateShow : kStateHide) |
         (IsWindowEnabled(label) ? kStateEnable : kStateDisable);
}

int ClickPair(UiWindow& window, int id) {
  PairData* pair = PairOf(window, id);
  if (!pair) return id;
  bool radio = window.Record(pair->labelId)->type == ControlType::kRadioPair;
  uint32_t next = radio || pair->state != kStateChecked ? kStateChecked : kStateUnchecked;
  (void)SetPairState(window, pair->labelId, next);
  return pair->labelId;
}

void UpdateHover(UiWindow& window, int id) {
  int before = window.hoveredControl();
  if (before == id) return;
  PairData* old = PairOf(window, before);
  PairData* now = PairOf(window, id);
  if (old && old != now && GetFocus() != window.ControlHandle(old->labelId)) SetLabelColour(window, *old, old->normalColour);
  if (now) SetLabelColour(window, *now, now->hoverColour);
  window.SetHoveredControl(id);
}

void ResetPairColours(UiWindow& window) {
  for (int id = 1; id <= window.ControlCount(); ++id) {
    const ControlRecord* record = window.Record(id);
    if (!IsPair(record)) continue;
    if (PairData* pair = PairOf(window, id); pair && pair->labelId == id &&
                                             GetFocus() != window.ControlHandle(pair->labelId)) {
      SetLabelColour(window, *pair, pair->normalColour);
    }
  }
  window.SetHoveredControl(0);
}
