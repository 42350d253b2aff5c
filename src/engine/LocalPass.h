#pragma once
// One transfer pass between two local (or network) folders, by the rules of the run's mode.

#include "engine/ErrorLog.h"
#include "engine/PartialCopy.h"
#include "engine/RunState.h"

// Runs the pass of state.transferKind from state.sourceRoot to state.targetRoot. Sets itemsDone and
// bytesDone to 1 first; reports through the counters and the error log only.
void RunTransferPass(RunState& state, ErrorLog& log);

// The walk itself: creates missing target folders, copies, compares (update method, Sync), or in the
// deletion pass (Strict bit set) deletes what the other side does not have.
void RunLocalPass(RunState& state, ErrorLog& log, const WideString& sourceFolder, const WideString& targetFolder);
