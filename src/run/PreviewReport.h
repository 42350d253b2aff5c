#pragma once
// What a preview found: every thing a run would do (its kind, the full path of the entry it is done to, the
// bytes), the totals of each pair and of the run, and the problems met on the way, in the order they came.
// The main window shows it in the preview window; /Preview writes it as a report.

#include "run/RunController.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

inline constexpr size_t kPlannedActionKinds = 6;  // the values of PlannedAction

class PreviewPlan final : public RunPreview {
 public:
  struct Totals {
    std::array<uint64_t, kPlannedActionKinds> count{};  // by PlannedAction
    std::array<uint64_t, kPlannedActionKinds> bytes{};
    [[nodiscard]] uint64_t BytesToCopy() const;  // of the new and updated files
    void Add(const Totals& other);
  };
  enum class LineKind : uint8_t { kAction, kProblem, kPairEnd };
  struct Line {
    LineKind kind;
    PlannedAction action;  // kAction
    uint64_t bytes;        // kAction: the entry's size; kPairEnd: the pair's index
    WideString text;       // kAction: the path; kProblem: the message
  };
  struct Pair {
    WideString source, destination;
    bool setUp = false;
    Totals totals;
  };

  void BeginJob(const FolderPair& pair) override;
  void EndJob(bool setUp) override;
  void Planned(PlannedAction action, const WideString& path, uint64_t bytes) override;
  // What the run would have logged.
  void Problem(WideView message);

  // Read once the run has ended: the passes add from their worker threads while it goes on.
  [[nodiscard]] const std::vector<Line>& lines() const { return lines_; }
  [[nodiscard]] const std::vector<Pair>& pairs() const { return pairs_; }
  [[nodiscard]] const Totals& totals() const { return run_; }
  [[nodiscard]] uint64_t pairsNotSetUp() const { return pairsNotSetUp_; }
  [[nodiscard]] uint64_t problems() const { return problems_; }

 private:
  std::mutex mutex_;
  std::vector<Line> lines_;
  std::vector<Pair> pairs_;
  Totals job_;
  Totals run_;
  uint64_t pairsNotSetUp_ = 0;
  uint64_t problems_ = 0;
};

// "new", "update", "delete", "folder", "held", "newer": how the report names an action.
[[nodiscard]] WideView ReportActionName(PlannedAction action);

// The report: a line "kind<tab>path<tab>bytes" for each action, "error<tab>message" for each problem, a
// "pair" line with the totals after each pair's actions, and a "run" line with the run's totals.
[[nodiscard]] WideString PreviewReportText(const PreviewPlan& plan);

// Writes the report as UTF-8 with a byte-order mark to path; with an empty path to standard output when
// it is redirected, or else to the console the program was started from. False when it could not be written.
[[nodiscard]] bool WritePreviewReport(WideView path, WideView text);
