#pragma once
// One side of a transfer pass: a local (or network) folder tree, or a directory tree on an FTP server.
// The pass walks two sides with one algorithm; a side says how its folders are listed, its files read
// and written, and its entries created and deleted.

#include "base/WideString.h"

#include <windows.h>

#include <cstdint>
#include <vector>

struct SideEntry {
  WideString name;
  DWORD attributes = 0;
  uint64_t size = 0;
  bool sizeKnown = true;      // a local size always is; a listing may leave it out
  int64_t timePrecision = 1;  // 100-ns units; a listing may keep only seconds, minutes or days
  FILETIME creation{};
  FILETIME lastAccess{};
  FILETIME lastWrite{};
  [[nodiscard]] bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  [[nodiscard]] bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

enum class ListOutcome {
  kListed,   // every entry of the folder is in the list
  kMissing,  // the folder is not there (or is no folder)
  kFailed,   // the side could not tell: the folder may well be there
};

// What is known about an entry on one side, looked up on its own.
struct Probe {
  bool exists = false;
  bool definitelyMissing = false;  // the side answered "does not exist"
  SideEntry entry;
};

// What a listing does with what a killed run of this program left in the folder (partial copies, and on a
// server an old copy moved aside). Either way such entries are never listed: they are no one's data.
enum class Leftovers {
  kLeave,  // a folder the pass only reads: a file of such a name there may well be the user's own
  kClear,  // a folder the pass writes to: removed, or an old copy put back
};

enum class MoveOutcome {
  kMoved,
  kNothingThere,  // the side says there is no entry at the path
  kPlaceTaken,    // an entry stands at the new path already; the entry stayed
  kFailed,        // the entry stayed
};

class Side {
 public:
  virtual ~Side() = default;

  [[nodiscard]] virtual bool IsRemote() const = 0;
  [[nodiscard]] virtual WideString Join(const WideString& folder, const WideString& name) const = 0;

  // Lists a folder whole; links are listed too (the walk leaves them alone, but they are there).
  [[nodiscard]] virtual ListOutcome List(const WideString& folder, std::vector<SideEntry>& entries,
                                         Leftovers leftovers) = 0;
  // One entry on its own, where a folder could not be listed; a side that cannot tell says neither.
  [[nodiscard]] virtual Probe Look(const WideString& path) = 0;
  [[nodiscard]] virtual bool FolderExists(const WideString& folder) = 0;
  // Whether a folder whose listing said an entry is missing may be taken at its word now, just before
  // something is deleted on its strength (a share that went away lists nothing).
  [[nodiscard]] virtual bool StillStands(const WideString& folder) = 0;
  // attributes: those to give the new folder, or kNoAttributes.
  [[nodiscard]] virtual bool MakeFolder(const WideString& folder, DWORD attributes) = 0;
  // A folder goes with everything in it. False when the entry is still there.
  [[nodiscard]] virtual bool Delete(const WideString& path, bool isFolder) = 0;
  // Moves an entry (a folder with everything in it) to newPath on the same side, in one rename, making
  // newPath's missing parent folders first; never over an entry already there.
  [[nodiscard]] virtual MoveOutcome MoveAside(const WideString& path, const WideString& newPath) = 0;

  [[nodiscard]] virtual bool OpenRead(const WideString& path) = 0;
  // Up to size bytes; 0 at the end of the file, -1 on failure.
  [[nodiscard]] virtual int Read(void* buffer, size_t size) = 0;
  // True when the side confirms that the whole file was read: a server that cut the data connection
  // looks like the end of the file until its reply says otherwise.
  virtual bool CloseRead() = 0;

  // Writes go to the partial name beside path; FinishWrite puts the complete copy in path's place (with
  // the source's times, and attributes where the side keeps them), and an earlier copy there survives
  // until then. AbandonWrite removes the partial copy and leaves an earlier one alone.
  [[nodiscard]] virtual bool OpenWrite(const WideString& path) = 0;
  [[nodiscard]] virtual bool Write(const void* data, size_t size) = 0;
  [[nodiscard]] virtual bool FinishWrite(const SideEntry& source) = 0;
  virtual void AbandonWrite() = 0;

  // True when a remote side's connection is gone; nothing more can be asked of it.
  [[nodiscard]] virtual bool ConnectionLost() const { return false; }
  // Whether an entry of this name can be made or read on this side as it is.
  [[nodiscard]] virtual bool CanHold(const WideString&) const { return true; }
  // Whether two names that differ only in case name one entry here. A local or network folder is taken to
  // (as Windows folders are); a server only once its listings showed that it runs on Windows.
  [[nodiscard]] virtual bool FoldsCase() const { return true; }
  // What the server last answered, as " (550 Permission denied.)", for the log; empty for a local side.
  [[nodiscard]] virtual WideString LastReply() const { return {}; }
  // After a List that succeeded: the first line of the listing in no known format, or empty when every
  // line was understood. Such a listing is incomplete, and nothing may be deleted on its strength.
  [[nodiscard]] virtual const WideString& NotUnderstood() const {
    static const WideString kNone;
    return kNone;
  }
};
