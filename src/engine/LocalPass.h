#pragma once
// One transfer pass between two local (or network) folders, by the rules of the run's mode.

#include "engine/ErrorLog.h"
#include "engine/RunState.h"

// A copy in progress is written to a file of this name beside its target, and replaces the target only
// once it is complete. A run that meets such a file left behind by a killed process deletes it.
inline constexpr WideView kPartialCopySuffix = L".~brlk-part";
[[nodiscard]] bool IsPartialCopyName(WideView name);

// Runs the pass of state.transferKind from state.sourceRoot to state.targetRoot. Sets itemsDone and
// bytesDone to 1 first; reports through the counters and the error log only.
void RunTransferPass(RunState& state, ErrorLog& log);

// The walk itself: creates missing target folders, copies, compares (update method, Sync), or in the
// deletion pass (Strict bit set) deletes what the other side does not have.
void RunLocalPass(RunState& state, ErrorLog& log, const WideString& sourceFolder, const WideString& targetFolder);
