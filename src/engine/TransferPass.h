#pragma once
// One transfer pass: a walk from a source root to a target root, over any two sides (local or FTP), by
// the rules of the run's mode. It creates missing target folders, copies, compares (update method, Sync),
// or in the deletion pass deletes from the side it walks what the other side does not have.

#include "engine/ErrorLog.h"
#include "engine/RunProgress.h"
#include "engine/Side.h"

#include <cstdint>

inline constexpr size_t kCopyBufferSize = 0x200000;

// What one pass works with; only the worker running the pass touches it.
struct PassContext {
  Side& source;
  Side& target;
  WideString sourceRoot;
  WideString targetRoot;
  uint32_t runFlags = 0;        // RunFlags; the Strict bit marks the deletion pass
  uint32_t skipAttributes = 0;  // files with any of these attributes are left out (2 hidden, 4 system)
  unsigned char* copyBuffer = nullptr;  // kCopyBufferSize bytes
};

// Sets itemsDone and bytesDone to 1 first; reports through the progress counters and the error log only.
void RunTransferPass(const PassContext& context, RunProgress& progress, ErrorLog& log);

// Totals the entries and file bytes below root into totalItems and totalBytes, both starting at 1 so that
// an empty tree never divides by zero. Folders count as entries; files whose attributes share a bit with
// skipAttributes count as nothing; links are neither counted nor entered. A folder that cannot be listed
// counts as empty, and nothing is logged for it. False when it stopped because cancellation was requested.
bool RunCountingPass(Side& source, const WideString& root, uint32_t skipAttributes, RunProgress& progress);
