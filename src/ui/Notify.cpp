// WM_NOTIFY from the controls, turned into events: links, lists, tab controls, double-clicks and Enter.

#include "ui/ControlData.h"
#include "ui/UiWindow.h"

#include <commctrl.h>

namespace {

LRESULT ListNotify(UiWindow& window, int id, NMHDR* header, bool& handled) {
  auto raise = [&](int32_t code, int32_t param, LPARAM extra = 0) {
    window.RaiseEvent(code, WM_NOTIFY, header->hwndFrom, param, extra);
  };
  switch (header->code) {
    case LVN_ITEMCHANGED: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      if (!(change->uChanged & LVIF_STATE) || change->iItem < 0) break;
      bool wasSelected = (change->uOldState & LVIS_SELECTED) != 0;
      bool isSelected = (change->uNewState & LVIS_SELECTED) != 0;
      if (isSelected && !wasSelected) raise(kEventListSelected, change->iItem);
      if (wasSelected && !isSelected) raise(kEventListDeselected, change->iItem);
      UINT oldImage = (change->uOldState & LVIS_STATEIMAGEMASK) >> 12;
      UINT newImage = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
      if (oldImage == 1 && newImage == 2) raise(kEventListChecked, change->iItem);
      if (oldImage == 2 && newImage == 1) raise(kEventListUnchecked, change->iItem);
      break;
    }
    case LVN_GETDISPINFOW:
      VirtualListCell(window, id, *reinterpret_cast<NMLVDISPINFOW*>(header));
      handled = true;
      break;
    case LVN_DELETEITEM: raise(kEventListDeleted, id); break;
    case LVN_BEGINSCROLL: raise(kEventListScrollBegin, id); break;
    case LVN_ENDSCROLL: raise(kEventListScrollEnd, id); break;
    case NM_KILLFOCUS:
      raise(kEventListFocusLost,
            static_cast<int32_t>(SendMessageW(header->hwndFrom, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
      break;
    case LVN_ENDLABELEDITW: {
      auto* edit = reinterpret_cast<NMLVDISPINFOW*>(header);
      window.scratchText() = edit->item.pszText ? WideString(edit->item.pszText) : WideString();
      raise(kEventListLabelEdited, edit->item.iItem, reinterpret_cast<LPARAM>(window.scratchText().c_str()));
      break;
    }
    case LVN_COLUMNCLICK: {
      auto* click = reinterpret_cast<NMLISTVIEW*>(header);
      const auto* data = DataOf<ListData>(window.Record(id));
      if (data && data->sortable) {
        SortListByColumn(window, id, click->iSubItem);
      } else {
        raise(kEventListColumnClick, id, click->iSubItem);
      }
      break;
    }
    case NM_CUSTOMDRAW: {
      auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
      const auto* data = DataOf<ListData>(window.Record(id));
      if (!data || data->rows.empty()) break;
      handled = true;
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw->nmcd.dwItemSpec < data->rows.size()) {
        const ListData::RowLook& look = data->rows[draw->nmcd.dwItemSpec];
        if (look.text != CLR_DEFAULT) draw->clrText = look.text;
        if (look.background != CLR_DEFAULT) draw->clrTextBk = look.background;
        if (look.font) {
          SelectObject(draw->nmcd.hdc, look.font);
          return CDRF_NEWFONT;
        }
      }
      return CDRF_DODEFAULT;
    }
    default: break;
  }
  return 0;
}

LRESULT TabNotify(UiWindow& window, NMHDR* header) {
  HWND tabs = header->hwndFrom;
  auto pageOfSelection = [&]() -> int {
    int selected = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (selected < 0 || !SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<int>(item.lParam);
  };
  if (header->code == TCN_SELCHANGING) {
    window.RaiseEvent(kEventTabChanging, WM_NOTIFY, tabs, pageOfSelection(), 0);
    return FALSE;
  }
  if (header->code == TCN_SELCHANGE) {
    int shown = pageOfSelection();
    // The chosen page fills the display area and shows; the others hide.
    for (int id = 1; id <= window.ControlCount(); ++id) {
      const ControlRecord* record = window.Record(id);
      if (!record || record->type != ControlType::kTabPage || record->companion != tabs) continue;
      if (id == shown) {
        RECT area{};
        GetClientRect(tabs, &area);
        TabCtrl_AdjustRect(tabs, FALSE, &area);
        MapWindowPoints(tabs, GetParent(record->window), reinterpret_cast<POINT*>(&area), 2);
        SetWindowPos(record->window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_SHOWWINDOW);
      } else {
        ShowWindow(record->window, SW_HIDE);
      }
    }
    window.RaiseEvent(kEventTabChanged, WM_NOTIFY, tabs, shown, 0);
  }
  return 0;
}

}  // namespace

LRESULT HandleNotify(UiWindow& window, NMHDR* header, bool& handled) {
  int id = window.IdOf(header->hwndFrom);
  ControlRecord* record = window.Record(id);
  if (!record) return 0;
  if (record->type == ControlType::kLink && (header->code == NM_CLICK || header->code == NM_RETURN)) {
    const auto* link = DataOf<LinkData>(record);
    window.scratchText() = link ? link->address : WideString(reinterpret_cast<NMLINK*>(header)->item.szUrl);
    window.RaiseEvent(id, WM_NOTIFY, header->hwndFrom, id, reinterpret_cast<LPARAM>(window.scratchText().c_str()));
    handled = true;
    return 0;
  }
  if (record->type == ControlType::kTabControl) {
    handled = true;
    return TabNotify(window, header);
  }
  if (header->code == NM_DBLCLK) window.RaiseEvent(kEventDoubleClick, WM_NOTIFY, header->hwndFrom, id, 0);
  if (header->code == NM_RETURN) window.RaiseEvent(kEventReturn, WM_NOTIFY, header->hwndFrom, id, 0);
  if (record->type == ControlType::kListView) return ListNotify(window, id, header, handled);
  return 0;
}
