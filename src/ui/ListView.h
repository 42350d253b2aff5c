#pragma once
// The list view: a report view with single selection whose rows are given as texts with "\n" between
// the cells. Check boxes, when the list has them, are state images: 1 unchecked, 2 checked.

#include "base/WideString.h"
#include "ui/GdiOwners.h"
#include "ui/UiWindow.h"

#include <memory>

// The rows of a list too long to hand over row by row: the list asks for the cells it draws, so that a
// hundred thousand rows cost no more to show than a screenful. Called on the window's thread.
class ListRows {
 public:
  virtual ~ListRows() = default;
  [[nodiscard]] virtual size_t RowCount() const = 0;
  // The cell's text, cut to fit buffer (size characters, the end included).
  virtual void CellText(size_t row, int column, wchar_t* buffer, size_t size) const = 0;
  // Puts the rows in the order of a column; a click on its heading asks for it, turning the order each time.
  virtual void SortBy(int column, bool descending) = 0;
};

// extendedStyle kListDefaultExtendedStyle stands for full-row selection alone.
inline constexpr DWORD kListDefaultExtendedStyle = 0xFFFFFFFF;

// columns: the headings separated by "\n"; each column gets an equal share of the width.
[[nodiscard]] int AddListView(UiWindow& window, WideView columns, int x, int y, int width, int height,
                              DWORD extendedStyle = kListDefaultExtendedStyle);
// A report view whose rows are rows (see ListRows), sortable by each column; the list owns them.
[[nodiscard]] int AddVirtualListView(UiWindow& window, WideView columns, int x, int y, int width, int height,
                                     std::unique_ptr<ListRows> rows);
// Returns the new row's index, or -1.
int AddListRow(UiWindow& window, int id, WideView cells);
[[nodiscard]] WideString ListCell(const UiWindow& window, int id, int row, int column);
bool SetListCell(UiWindow& window, int id, int row, int column, WideView text);
bool DeleteListRow(UiWindow& window, int id, int row);
[[nodiscard]] int ListRowCount(const UiWindow& window, int id);
// The selected row, or -1.
[[nodiscard]] int SelectedListRow(const UiWindow& window, int id);
bool SelectListRow(UiWindow& window, int id, int row);
// Exchanges every cell, the check mark and the row data of two rows (move up, move down).
bool SwapListRows(UiWindow& window, int id, int first, int second);
void CheckAllListRows(UiWindow& window, int id, bool checked);
bool SetListRowChecked(UiWindow& window, int id, int row, bool checked);
[[nodiscard]] bool IsListRowChecked(const UiWindow& window, int id, int row);
bool SetListColumnWidth(UiWindow& window, int id, int column, int width);
// A click on a column heading then sorts the rows by that column, turning the order on each click.
void SetListSortable(UiWindow& window, int id, bool sortable);
// The small-icon list, of one icon of the given size (the previous list goes).
bool SetListSmallIcon(UiWindow& window, int id, HICON icon, int size);
// The pictures of the check boxes (the previous ones go).
bool SetListCheckPictures(UiWindow& window, int id, HBITMAP unchecked, HBITMAP checked, int size);
// The colours and font of one row, drawn by the framework.
void SetListRowLook(UiWindow& window, int id, int row, COLORREF text, COLORREF background, HFONT font);
