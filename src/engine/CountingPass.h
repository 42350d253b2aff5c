#pragma once

#include "engine/RunState.h"

// Totals the entries and file bytes below state.sourceRoot into totalItems and totalBytes, both starting
// at 1 so that an empty tree never divides by zero. Folders count as entries; files whose attributes
// share a bit with skipAttributes count as nothing; junctions and links are neither counted nor entered.
// Returns false when it stopped because cancellation was requested.
bool RunCountingPass(RunState& state);
