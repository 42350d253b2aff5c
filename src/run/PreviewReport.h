#pragma once
// The report of a preview: a line for each thing a run would do (its kind, a tab, the full path of the
// entry it is done to, a tab, the bytes), a totals line for each pair and one for the run, and the problems
// met on the way as "error" lines, in the order they came.

#include "run/RunController.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <mutex>

class PreviewReport final : public RunPreview {
 public:
  void BeginJob(const FolderPair& pair) override;
  void EndJob(bool setUp) override;
  void Planned(PlannedAction action, const WideString& path, uint64_t bytes) override;
  // What the run would have logged.
  void Problem(WideView message);

  // Everything so far, and the run's totals line.
  [[nodiscard]] WideString Text() const;

 private:
  struct Totals {
    std::array<uint64_t, 6> actions{};  // by PlannedAction
    uint64_t bytesToCopy = 0;           // of the new and updated files
    void Add(const Totals& other);
  };
  static WideString TotalsText(const Totals& totals);

  mutable std::mutex mutex_;  // the passes report from their worker thread
  WideString text_;
  const FolderPair* pair_ = nullptr;
  Totals job_;
  Totals run_;
  uint64_t pairs_ = 0;
  uint64_t pairsNotSetUp_ = 0;
};

// Writes the report as UTF-8 with a byte-order mark to path; with an empty path to standard output when
// it is redirected, or else to the console the program was started from. False when it could not be written.
[[nodiscard]] bool WritePreviewReport(WideView path, WideView text);
