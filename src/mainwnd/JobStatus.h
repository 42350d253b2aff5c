#pragma once
// What the main window says about the settings file in hand, and about how a run went.

#include "base/WideString.h"
#include "run/RunController.h"

struct JobStatus {
  WideString text;     // "Loaded: " + file name
  WideString tooltip;  // the full path
};

[[nodiscard]] JobStatus LoadedStatus(WideView path);

// The name the status line shows for a path: its last component.
[[nodiscard]] WideString StatusFileName(WideView path);

// What the main window says after a run in which something failed: the files that could not be copied and
// the folder pairs that could not be backed up at all, each on a line of its own; empty when nothing did.
[[nodiscard]] WideString FailureReport(uint64_t failedFiles, uint64_t failedPairs);

// What the main window says after every run it started: how it ended, what its jobs did (copied, replaced,
// deleted, kept as versions, held back, left alone as newer), how long it took, and what failed.
[[nodiscard]] WideString RunSummaryText(const RunSummary& summary);
