#pragma once
// The transfer passes with an FTP side: local to FTP, FTP to local and FTP to FTP. They keep the rules
// of the local pass (modes, deletion pass, comparison, counters, progress, failures, cancellation) and
// differ in how the remote side is listed, probed, created, deleted, read and written.

#include "engine/ErrorLog.h"
#include "engine/RunState.h"

// Runs the pass of state.transferKind (any FTP kind) from state.sourceRoot to state.targetRoot over
// state.sourceConnection / state.targetConnection.
void RunFtpPass(RunState& state, ErrorLog& log);

// The counting pass over a remote source tree: totals into totalItems and totalBytes. A directory whose
// listing fails counts as empty. False when cancelled.
bool CountFtpTree(RunState& state, const WideString& remoteFolder);
