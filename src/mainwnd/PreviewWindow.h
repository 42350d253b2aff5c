#pragma once
// What a backup would do, shown before anything is done: for each kind of action how many entries and how
// many bytes, and every action in a list that sorts by each of its columns. Start backup runs the backup
// the preview was of.

#include "run/PreviewReport.h"
#include "ui/UiWindow.h"

// Modal over owner, sharing its event record, until Start backup (true), Close or a close request (false).
// restoring: the plan is of a restore, whose target is the source.
[[nodiscard]] bool ShowPreview(UiWindow& owner, const PreviewPlan& plan, bool restoring);

// The texts of the window, for the tests that read it.
[[nodiscard]] WideString PreviewCountText(const PreviewPlan::Totals& totals, PlannedAction action, bool restoring);
