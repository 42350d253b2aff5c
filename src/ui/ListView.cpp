#include "ui/ListView.h"

#include "ui/ControlData.h"
#include "ui/UiWindow.h"
#include "ui/ControlMaking.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <memory>
#include <vector>

namespace {

std::vector<WideString> SplitCells(WideView text) {
  std::vector<WideString> cells;
  size_t start = 0;
  while (true) {
    size_t end = text.find(L'\n', start);
    cells.emplace_back(text.substr(start, end == WideView::npos ? WideView::npos : end - start));
    if (end == WideView::npos) break;
    start = end + 1;
  }
  return cells;
}

HWND ListOf(const UiWindow& window, int id) {
  const ControlRecord* record = window.Record(id);
  return record && record->type == ControlType::kListView ? record->window : nullptr;
}

int ColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
}

WideString CellOf(HWND list, int row, int column) {
  wchar_t buffer[2048];
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return WideString(buffer, static_cast<size_t>(length));
}

struct SortOrder {
  HWND list;
  int column;
  bool descending;
};

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM order) {
  const auto& sort = *reinterpret_cast<const SortOrder*>(order);
  WideString a = CellOf(sort.list, static_cast<int>(first), sort.column);
  WideString b = CellOf(sort.list, static_cast<int>(second), sort.column);
  // Numbers inside names in their numeric order ("job 9" before "job 10"), case aside.
  int result = StrCmpLogicalW(a.c_str(), b.c_str());
  return sort.descending ? -result : result;
}

int MakeListView(UiWindow& window, WideView columns, int x, int y, int width, int height, DWORD extendedStyle,
                 DWORD style) {
  HWND list = MakeChild(window, WC_LISTVIEWW, L"",
                        LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP | style, 0, x, y, width,
                        height);
  int id = FinishControl(window, ControlType::kListView, list, x, y, width, height);
  if (!id) return 0;
  window.Record(id)->data = std::make_unique<ListData>();
  DWORD extended = extendedStyle == kListDefaultExtendedStyle ? LVS_EX_FULLROWSELECT : extendedStyle;
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
  std::vector<WideString> headings = SplitCells(columns);
  int columnWidth = (width - 20) / static_cast<int>(headings.size());
  for (size_t i = 0; i < headings.size(); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = headings[i].data();
    column.cx = columnWidth;
    column.iSubItem = static_cast<int>(i);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  return id;
}

// Shows the rising or falling arrow on the clicked heading and none on the others; true for falling, which
// follows a rising one.
bool TurnSortArrow(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  HDITEMW clicked{};
  clicked.mask = HDI_FORMAT;
  SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&clicked));
  bool descending = (clicked.fmt & HDF_SORTUP) != 0;
  for (int i = 0, count = ColumnCount(list); i < count; ++i) {
    HDITEMW heading{};
    heading.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&heading));
    heading.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column) heading.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&heading));
  }
  return descending;
}

}  // namespace

ListData::ListData() = default;
ListData::~ListData() = default;

int AddListView(UiWindow& window, WideView columns, int x, int y, int width, int height, DWORD extendedStyle) {
  return MakeListView(window, columns, x, y, width, height, extendedStyle, 0);
}

int AddVirtualListView(UiWindow& window, WideView columns, int x, int y, int width, int height,
                       std::unique_ptr<ListRows> rows) {
  int id = MakeListView(window, columns, x, y, width, height, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER, LVS_OWNERDATA);
  auto* data = DataOf<ListData>(window.Record(id));
  if (!data || !rows) return id;
  SendMessageW(ListOf(window, id), LVM_SETITEMCOUNT, rows->RowCount(), LVSICF_NOSCROLL);
  data->virtualRows = std::move(rows);
  data->sortable = true;
  return id;
}

void VirtualListCell(UiWindow& window, int id, NMLVDISPINFOW& request) {
  const auto* data = DataOf<ListData>(window.Record(id));
  if (!data || !data->virtualRows || !(request.item.mask & LVIF_TEXT) || !request.item.pszText ||
      request.item.cchTextMax <= 0) {
    return;
  }
  request.item.pszText[0] = 0;
  if (request.item.iItem < 0 || static_cast<size_t>(request.item.iItem) >= data->virtualRows->RowCount()) return;
  data->virtualRows->CellText(static_cast<size_t>(request.item.iItem), request.item.iSubItem, request.item.pszText,
                              static_cast<size_t>(request.item.cchTextMax));
}

int AddListRow(UiWindow& window, int id, WideView cells) {
  HWND list = ListOf(window, id);
  if (!list) return -1;
  std::vector<WideString> texts = SplitCells(cells);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListRowCount(window, id);
  item.pszText = texts[0].data();
  int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return -1;
  for (size_t column = 1; column < texts.size(); ++column) {
    if (!texts[column].empty()) (void)SetListCell(window, id, row, static_cast<int>(column), texts[column]);
  }
  return row;
}

WideString ListCell(const UiWindow& window, int id, int row, int column) {
  HWND list = ListOf(window, id);
  return list ? CellOf(list, row, column) : WideString();
}

bool SetListCell(UiWindow& window, int id, int row, int column, WideView text) {
  HWND list = ListOf(window, id);
  if (!list) return false;
  WideString copy(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = copy.data();
  return SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

bool DeleteListRow(UiWindow& window, int id, int row) {
  HWND list = ListOf(window, id);
  return list && SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0) != 0;
}

int ListRowCount(const UiWindow& window, int id) {
  HWND list = ListOf(window, id);
  return list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int SelectedListRow(const UiWindow& window, int id) {
  HWND list = ListOf(window, id);
  return list ? static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

bool SelectListRow(UiWindow& window, int id, int row) {
  HWND list = ListOf(window, id);
  if (!list) return false;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

bool SwapListRows(UiWindow& window, int id, int first, int second) {
  HWND list = ListOf(window, id);
  int count = ListRowCount(window, id);
  if (!list || first < 0 || second < 0 || first >= count || second >= count) return false;
  if (first == second) return true;
  for (int column = 0; column < ColumnCount(list); ++column) {
    wchar_t textA[2048], textB[2048];
    LVITEMW a{}, b{};
    for (auto [item, row, text] : {std::tuple{&a, first, textA}, std::tuple{&b, second, textB}}) {
      item->mask = LVIF_TEXT | (column == 0 ? LVIF_STATE | LVIF_PARAM | LVIF_IMAGE : 0);
      item->iItem = row;
      item->iSubItem = column;
      item->stateMask = static_cast<UINT>(-1);
      item->pszText = text;
      item->cchTextMax = 2048;
      SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item));
    }
    std::swap(a.iItem, b.iItem);
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&a));
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&b));
  }
  SendMessageW(list, LVM_UPDATE, static_cast<WPARAM>(first), 0);
  SendMessageW(list, LVM_UPDATE, static_cast<WPARAM>(second), 0);
  return true;
}

bool SetListRowChecked(UiWindow& window, int id, int row, bool checked) {
  HWND list = ListOf(window, id);
  if (!list) return false;
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  return SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

void CheckAllListRows(UiWindow& window, int id, bool checked) {
  for (int row = 0, count = ListRowCount(window, id); row < count; ++row) (void)SetListRowChecked(window, id, row, checked);
}

bool IsListRowChecked(const UiWindow& window, int id, int row) {
  HWND list = ListOf(window, id);
  if (!list) return false;
  auto state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
  return (state >> 12) == 2;
}

bool SetListColumnWidth(UiWindow& window, int id, int column, int width) {
  HWND list = ListOf(window, id);
  return list && SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)) != 0;
}

void SetListSortable(UiWindow& window, int id, bool sortable) {
  if (auto* data = DataOf<ListData>(window.Record(id))) data->sortable = sortable;
}

void SortListByColumn(UiWindow& window, int id, int column) {
  HWND list = ListOf(window, id);
  if (!list) return;
  bool descending = TurnSortArrow(list, column);
  if (auto* data = DataOf<ListData>(window.Record(id)); data && data->virtualRows) {
    data->virtualRows->SortBy(column, descending);
    InvalidateRect(list, nullptr, FALSE);
    return;
  }
  SortOrder order{list, column, descending};
  SendMessageW(list, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(&order), reinterpret_cast<LPARAM>(CompareRows));
}

bool SetListSmallIcon(UiWindow& window, int id, HICON icon, int size) {
  HWND list = ListOf(window, id);
  auto* data = DataOf<ListData>(window.Record(id));
  if (!list || !data) return false;
  UniqueImageList images(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 1));
  if (!images || ImageList_ReplaceIcon(images.get(), -1, icon) < 0) return false;
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.get()));
  data->smallIcons = std::move(images);
  return true;
}

bool SetListCheckPictures(UiWindow& window, int id, HBITMAP unchecked, HBITMAP checked, int size) {
  HWND list = ListOf(window, id);
  auto* data = DataOf<ListData>(window.Record(id));
  if (!list || !data) return false;
  UniqueImageList images(ImageList_Create(size, size, ILC_COLOR32, 2, 1));
  if (!images || ImageList_Add(images.get(), unchecked, nullptr) < 0 || ImageList_Add(images.get(), checked, nullptr) < 0) {
    return false;
  }
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images.get()));
  data->stateImages = std::move(images);
  return true;
}

void SetListRowLook(UiWindow& window, int id, int row, COLORREF text, COLORREF background, HFONT font) {
  auto* data = DataOf<ListData>(window.Record(id));
  if (!data || row < 0) return;
  if (data->rows.size() <= static_cast<size_t>(row)) data->rows.resize(static_cast<size_t>(row) + 1);
  data->rows[static_cast<size_t>(row)] = {text, background, font};
  if (HWND list = ListOf(window, id)) InvalidateRect(list, nullptr, TRUE);
}
