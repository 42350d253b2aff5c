#pragma once
// Copying one file from one side to another: the bytes go to the target's partial copy in chunks, the
// copy takes the target's place only when the whole file arrived, and whatever goes wrong leaves the
// previous copy as it was. A large local file is read and written at once, so that its copy runs at the
// speed of the slower side instead of the sum of both.

#include "engine/ErrorLog.h"
#include "engine/RunProgress.h"
#include "engine/Side.h"
#include "engine/Versions.h"

#include <cstdint>

// The log's texts for the ways a copy fails, which differ by direction.
struct CopyTexts {
  WideView cannotOpenSource;
  WideView cannotOpenTarget;
  WideView cannotRead;
  WideView cannotWrite;
};

// The size of a copy buffer; a run holds one for its walk and one per copy worker.
inline constexpr size_t kCopyBufferSize = 0x200000;

// Local files of at least this size are read and written at once, each in one half of the buffer.
inline constexpr uint64_t kOverlappedCopyThreshold = 8ull << 20;

struct CopyBuffer {
  unsigned char* data = nullptr;
  size_t size = 0;
};

// What one copy works with.
struct FileCopy {
  Side& source;
  Side& target;
  const CopyTexts& texts;
  CopyBuffer buffer;
  RunProgress& progress;
  ErrorLog& log;
};

// What the copy finds in the target's place.
struct OldCopy {
  bool exists = false;  // the new copy replaces one (for the run's figures)
  // Where an old copy (if there is one) moves, once the new one is complete, to be kept as a version;
  // none: it is replaced.
  const VersionsPlace* keepIn = nullptr;
};

// Copies sourcePath to targetPath. A file that fails is logged (with the side's last reply) and counted,
// and the walk goes on; false only when the run was cancelled. An old copy that cannot be kept stays, and
// the new one is not put in its place.
bool CopyOneFile(const FileCopy& copy, const WideString& sourcePath, const WideString& targetPath,
                 const SideEntry& entry, const OldCopy& old = {});
