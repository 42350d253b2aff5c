#include "mainwnd/PreviewWindow.h"

#include "run/RunFigures.h"
#include "ui/Controls.h"
#include "ui/DialogWindow.h"
#include "ui/Drawing.h"
#include "ui/ListView.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFooterTop = 428;

size_t Index(PlannedAction action) { return static_cast<size_t>(action); }

WideView ActionName(PlannedAction action, bool restoring) {
  switch (action) {
    case PlannedAction::kNew: return L"New";
    case PlannedAction::kUpdate: return L"Update";
    case PlannedAction::kDelete: return L"Delete";
    case PlannedAction::kFolder: return L"New folder";
    case PlannedAction::kHeld: return L"Held back";
    case PlannedAction::kNewer: return restoring ? L"Newer in the source" : L"Newer in the backup";
  }
  return L"";
}

void CopyCut(WideView text, wchar_t* buffer, size_t size) {
  size_t length = std::min(text.size(), size - 1);
  std::copy_n(text.data(), length, buffer);
  buffer[length] = 0;
}

// The plan's actions and problems, in the order the list shows them.
class PlanRows final : public ListRows {
 public:
  PlanRows(const PreviewPlan& plan, bool restoring) : lines_(plan.lines()), restoring_(restoring) {
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].kind != PreviewPlan::LineKind::kPairEnd) order_.push_back(static_cast<uint32_t>(i));
    }
  }
  [[nodiscard]] size_t RowCount() const override { return order_.size(); }
  void CellText(size_t row, int column, wchar_t* buffer, size_t size) const override {
    const PreviewPlan::Line& line = lines_[order_[row]];
    bool problem = line.kind == PreviewPlan::LineKind::kProblem;
    if (column == 0) {
      CopyCut(problem ? WideView(L"Problem") : ActionName(line.action, restoring_), buffer, size);
    } else if (column == 1) {
      CopyCut(line.text, buffer, size);
    } else {
      bool sized = !problem && line.action != PlannedAction::kFolder;
      CopyCut(sized ? SizeText(line.bytes) : WideString(), buffer, size);
    }
  }
  void SortBy(int column, bool descending) override {
    auto rank = [this](const PreviewPlan::Line& line) {
      return line.kind == PreviewPlan::LineKind::kProblem ? -1 : static_cast<int>(line.action);
    };
    auto path = [](const PreviewPlan::Line& a, const PreviewPlan::Line& b) {
      return CompareStringOrdinal(a.text.data(), static_cast<int>(a.text.size()), b.text.data(),
                                  static_cast<int>(b.text.size()), TRUE) - CSTR_EQUAL;
    };
    auto less = [&](uint32_t first, uint32_t second) {
      const PreviewPlan::Line& a = lines_[first];
      const PreviewPlan::Line& b = lines_[second];
      int order = 0;
      if (column == 0) order = rank(a) - rank(b);
      if (column == 2 && a.bytes != b.bytes) order = a.bytes < b.bytes ? -1 : 1;
      if (order == 0) order = path(a, b);
      return descending ? order > 0 : order < 0;
    };
    std::stable_sort(order_.begin(), order_.end(), less);
  }

 private:
  const std::vector<PreviewPlan::Line>& lines_;
  bool restoring_;
  std::vector<uint32_t> order_;
};

WideString ProblemsText(const PreviewPlan& plan) {
  WideString text;
  if (plan.pairsNotSetUp() != 0) {
    text = text::Concat(GroupedNumber(plan.pairsNotSetUp()), plan.pairsNotSetUp() == 1 ? L" folder pair" : L" folder pairs",
                        L" could not be looked at. ");
  }
  if (plan.problems() != 0) {
    text::Append(text, GroupedNumber(plan.problems()), plan.problems() == 1 ? L" problem" : L" problems",
                 L" would be met: see \"Problem\" in the list.");
  }
  bool nothing = std::all_of(plan.totals().count.begin(), plan.totals().count.end(), [](uint64_t n) { return n == 0; });
  if (text.empty() && nothing) text = L"The backup would change nothing.";
  return text;
}

}  // namespace

WideString PreviewCountText(const PreviewPlan::Totals& totals, PlannedAction action, bool restoring) {
  WideString text = text::Concat(ActionName(action, restoring), L": ", GroupedNumber(totals.count[Index(action)]));
  if (action != PlannedAction::kFolder) text::Append(text, L", ", SizeText(totals.bytes[Index(action)]));
  return text;
}

bool ShowPreview(UiWindow& owner, const PreviewPlan& plan, bool restoring) {
  UiWindow window;
  UiEvent before = owner.event();
  if (!OpenDialogWindow(window, &owner, L"Brimlark Backup preview", kWidth, kHeight, kDefaultExtendedStyle,
                        DialogFace(kWidth, kHeight, kFooterTop, 0))) {
    return false;
  }
  window.SetDefaultColours(0, kTransparent);
  // The counts on top, in the order a backup does them; then every action.
  static constexpr PlannedAction kShown[] = {PlannedAction::kNew,  PlannedAction::kUpdate, PlannedAction::kDelete,
                                             PlannedAction::kHeld, PlannedAction::kNewer,  PlannedAction::kFolder};
  for (size_t i = 0; i < std::size(kShown); ++i) {
    int x = 12 + static_cast<int>(i % 3) * 208;
    int y = 12 + static_cast<int>(i / 3) * 22;
    (void)AddLabel(window, PreviewCountText(plan.totals(), kShown[i], restoring), x, y, 204, 18, SS_LEFTNOWORDWRAP);
  }
  (void)AddLabel(window, ProblemsText(plan), 12, 58, 616, 18, SS_LEFTNOWORDWRAP);
  int list = AddVirtualListView(window, L"Action\nPath\nSize", 12, 80, 616, 336,
                                std::make_unique<PlanRows>(plan, restoring));
  const int widths[] = {130, 380, 84};
  for (int column = 0; column < 3; ++column) (void)SetListColumnWidth(window, list, column, widths[column]);
  int start = AddPushButton(window, L"Start backup", 380, kFooterTop + 12, 120, 28);
  int close = AddPushButton(window, L"Close", 512, kFooterTop + 12, 116, 28);
  window.SetCancelButton(close);  // Esc closes
  (void)SetTooltip(window, start, L"Run this backup now: what it finds then is done, which may differ from the plan "
                                  L"when files changed meanwhile");

  OwnerDisabled ownerDisabled(&owner);
  window.Show(SW_SHOWNORMAL, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
  SetFocus(window.ControlHandle(list));
  bool startBackup = false;
  bool ownCloseRequest = false;
  while (true) {
    const UiEvent& event = owner.WaitEvent();
    if (event.code == kEventQuit) break;
    if (event.code == kEventClose) {
      ownCloseRequest = event.window == window.handle();
      break;
    }
    if (event.source != &window) continue;
    if (event.code == close) break;
    if (event.code == start) {
      startBackup = true;
      break;
    }
  }
  ownerDisabled.Restore();
  window.CloseModal(before, !ownCloseRequest);
  return startBackup;
}
