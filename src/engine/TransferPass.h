#pragma once
// One transfer pass: a walk from a source root to a target root, over any two sides (local or FTP), by
// the rules of the run's mode. It creates missing target folders, copies, compares (update method, Sync),
// or in the deletion pass deletes from the side it walks what the other side does not have.

#include "engine/CopyWorkers.h"
#include "engine/ErrorLog.h"
#include "engine/FileCopy.h"
#include "engine/RunProgress.h"
#include "engine/Side.h"

#include <cstdint>

// What a copying pass does where the target has a folder for a source file, or a file for a source folder.
enum class ClashRule {
  kReport,   // logged once and counted; nothing is copied for it
  kReplace,  // Strict: the target's entry goes, as any extra does, and the source's takes its place
  kIgnore,   // the second pass of Sync: the first one has reported it already
};

// What a deletion pass would delete, found by the same walk with nothing deleted (and nothing logged).
struct DeletionPlan {
  uint64_t files = 0;             // files that would go, those inside folders that would go included
  uint64_t destinationFiles = 0;  // files of the side it walks
  bool destinationHoldsAny = false;
  bool sourceRootEmpty = false;   // the other side's root listed whole, and with no entry at all
};

// What a preview is told of: each thing a pass would do, which it then does not do.
enum class PlannedAction {
  kNew,     // a file copied where the target has none
  kUpdate,  // a file copied over the target's older copy
  kDelete,  // an entry deleted (a folder with everything in it)
  kFolder,  // a folder created
  kHeld,    // a deletion the guard against mass deletion holds back
  kNewer,   // a file left alone because its copy in the target is newer
};

class PassPreview {
 public:
  // path: the entry on the side the action is done to; bytes: the file's (a folder's files'), 0 for kFolder.
  virtual void Planned(PlannedAction action, const WideString& path, uint64_t bytes) = 0;

 protected:
  ~PassPreview() = default;
};

// What one pass works with; only the worker running the pass touches it.
struct PassContext {
  Side& source;
  Side& target;
  WideString sourceRoot;
  WideString targetRoot;
  uint32_t runFlags = 0;        // RunFlags; the Strict bit marks the deletion pass
  uint32_t skipAttributes = 0;  // files with any of these attributes are left out (2 hidden, 4 system)
  unsigned char* copyBuffer = nullptr;  // kCopyBufferSize bytes
  // Copies run on this many workers, each with sides of its own from the two makers; with 1, or without
  // makers, the walk copies itself. The deletion pass never copies.
  size_t copyWorkers = 1;
  SideMaker makeSource = {};
  SideMaker makeTarget = {};
  ClashRule clashes = ClashRule::kReport;
  // With the deletion pass: only find what it would delete.
  DeletionPlan* plan = nullptr;
  // Where what the pass deletes or replaces is kept: the run's folder under the versions folder at the
  // root of the side it changes ("2024-03-07 090503"). Empty: deleted and replaced for good.
  WideString versionsStamp = {};
  // A preview: the pass goes the same way and tells this of each thing it would do, but changes nothing
  // on either side (no folder made, no leftover cleared). Copies then run on the walk itself.
  PassPreview* preview = nullptr;
};

// Sets itemsDone and bytesDone to 1 first; reports through the progress counters and the error log only.
void RunTransferPass(const PassContext& context, RunProgress& progress, ErrorLog& log);

// Totals the entries and file bytes below root into totalItems and totalBytes, both starting at 1 so that
// an empty tree never divides by zero. Folders count as entries; files whose attributes share a bit with
// skipAttributes count as nothing; links are neither counted nor entered. A folder that cannot be listed
// counts as empty, and nothing is logged for it. The versions folder at the root is left out. False when it
// stopped because cancellation was requested.
bool RunCountingPass(Side& source, const WideString& root, uint32_t skipAttributes, RunProgress& progress);
