#include "engine/LocalPass.h"

#include "base/DirectoryIterator.h"
#include "base/File.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "engine/FtpPass.h"
#include "engine/Messages.h"
#include "engine/PassRules.h"

#include <algorithm>
#include <unordered_map>

namespace {

uint64_t SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// What is known about the counterpart of an entry on the other side.
struct Counterpart {
  bool exists = false;
  bool definitelyMissing = false;  // the system answered "does not exist"
  WIN32_FILE_ATTRIBUTE_DATA data{};
};

Counterpart LookUp(const WideString& path) {
  Counterpart result;
  result.exists = GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &result.data) != 0;
  if (!result.exists) result.definitelyMissing = IsGone(GetLastError());
  return result;
}

// The entries of one folder on the other side, read with one listing instead of one query per entry
// (which is what makes comparing a large unchanged tree fast). Names are matched without regard to case,
// as the file system does.
class OtherSide {
 public:
  // False when the folder could not be listed; callers then ask entry by entry.
  bool Read(const WideString& folder) {
    entries_.clear();
    DirectoryIterator listing;
    for (bool found = listing.Open(JoinPath(LongPathForm(folder), L"*"), DirectoryIterator::kAll); found;
         found = listing.Next()) {
      const WIN32_FIND_DATAW& data = listing.data();
      if (!listing.IsDirectory() && IsPartialCopyName(data.cFileName)) {
        (void)ForceDelete(JoinPath(folder, data.cFileName), 0);  // left by a killed run
        continue;
      }
      Counterpart entry;
      entry.exists = true;
      entry.data.dwFileAttributes = data.dwFileAttributes;
      entry.data.ftCreationTime = data.ftCreationTime;
      entry.data.ftLastAccessTime = data.ftLastAccessTime;
      entry.data.ftLastWriteTime = data.ftLastWriteTime;
      entry.data.nFileSizeHigh = data.nFileSizeHigh;
      entry.data.nFileSizeLow = data.nFileSizeLow;
      entries_.emplace(text::ToLower(data.cFileName), entry);
    }
    // An empty folder ends its listing with "no more files" (or "not found" for the pattern).
    return listing.EndedNormally() && IsExistingFolder(folder);
  }

  [[nodiscard]] Counterpart Find(const wchar_t* name) const {
    auto found = entries_.find(text::ToLower(name));
    if (found != entries_.end()) return found->second;
    Counterpart missing;
    missing.definitelyMissing = true;
    return missing;
  }

 private:
  std::unordered_map<WideString, Counterpart> entries_;
};

enum class CopyOutcome { kDone, kReadFailed, kWriteFailed, kCancelled };

class LocalWalk {
 public:
  LocalWalk(RunState& state, ErrorLog& log) : state_(state), log_(log), rules_(state.runFlags) {
    if (!state_.copyBuffer) state_.copyBuffer = std::make_unique<unsigned char[]>(kCopyBufferSize);
  }

  // Returns false when the walk must stop (cancelled).
  bool Folder(const WideString& source, const WideString& target);

 private:
  void Fail(WideView prefix, WideView path) { RecordFailure(state_, log_, prefix, path); }
  bool TransferFile(const WideString& sourcePath, const WideString& targetPath, const WIN32_FIND_DATAW& found,
                    const Counterpart& target);
  CopyOutcome CopyContent(const WideString& sourcePath, const WideString& targetPath);

  RunState& state_;
  ErrorLog& log_;
  const PassRules rules_;
  File source_;
  PartialCopy target_;
};

bool LocalWalk::Folder(const WideString& source, const WideString& target) {
  if (rules_.deletionPass) {
    // The other side must answer for this folder before anything in it may be judged missing there.
    Counterpart other = LookUp(target);
    if (!other.exists || !(other.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      Fail(messages::kSourceDirectoryNotFound, target);
      return !state_.ShouldStop();
    }
  } else if (!IsExistingFolder(target)) {
    DWORD sourceAttributes = GetFileAttributesW(LongPathForm(source).c_str());
    DWORD attributes = sourceAttributes == INVALID_FILE_ATTRIBUTES
                           ? kNoAttributes
                           : sourceAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (!CreateFolder(target, attributes)) {
      Fail(messages::kCouldNotCreateDestinationFolder, target);
      return true;
    }
  }

  // The other side is listed in every pass: the listing removes what a killed run left there, and the
  // comparison and the deletion pass read their answers from it.
  OtherSide otherSide;
  bool otherSideListed = otherSide.Read(target);

  DirectoryIterator entries;
  for (bool found = entries.Open(JoinPath(LongPathForm(source), L"*"), DirectoryIterator::kSkipReparsePoints);
       found; found = entries.Next()) {
    if (state_.ShouldStop()) return false;
    const WIN32_FIND_DATAW& entry = entries.data();
    WideString sourceEntry = JoinPath(source, entry.cFileName);
    WideString targetEntry = JoinPath(target, entry.cFileName);

    // Debris of a copy that a killed process never finished: never copied, never counted.
    if (!entries.IsDirectory() && IsPartialCopyName(entry.cFileName)) {
      (void)ForceDelete(sourceEntry, 0);
      continue;
    }

    // Where the other side could not be listed, an entry is asked about on its own, and only when the
    // answer matters: copying without comparison needs nothing to be known about the other side.
    Counterpart counterpart = otherSideListed                              ? otherSide.Find(entry.cFileName)
                              : (rules_.compare || rules_.deletionPass) ? LookUp(targetEntry)
                                                                          : Counterpart{};
    if (rules_.deletionPass && !counterpart.exists) {
      // "Not found" counts only while the folder on the other side is still there to ask.
      if (counterpart.definitelyMissing && IsExistingFolder(target)) {
        if (ForceDelete(sourceEntry, kDeleteResetPermissions) != ForceDeleteResult::kDeleted) {
          Fail(messages::kCouldNotDelete, sourceEntry);
        }
      } else {
        // The other side could not tell (a share gone, access denied): nothing is deleted on a guess.
        Fail(messages::kSourceDirectoryNotFound, targetEntry);
      }
      continue;
    }

    if (entries.IsDirectory() && !Folder(sourceEntry, targetEntry)) return false;
    if (state_.skipAttributes != 0 && (entry.dwFileAttributes & state_.skipAttributes)) continue;

    state_.itemsDone.fetch_add(1, std::memory_order_relaxed);
    if (rules_.deletionPass && !entries.IsDirectory()) state_.bytesDone.fetch_add(entries.size(), std::memory_order_relaxed);
    state_.UpdateProgress();
    if (entries.IsDirectory() || rules_.deletionPass) continue;

    if (!TransferFile(sourceEntry, targetEntry, entry, counterpart)) return false;
  }
  // A listing that failed is no empty folder: what it would have shown was neither copied nor compared.
  if (!entries.EndedNormally()) Fail(messages::kCouldNotReadFolder, source);
  return true;
}

bool LocalWalk::TransferFile(const WideString& sourcePath, const WideString& targetPath,
                             const WIN32_FIND_DATAW& found, const Counterpart& target) {
  uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  if (rules_.compare && target.exists && !(target.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !rules_.ShouldCopy(FileTimeValue(found.ftLastWriteTime), size, FileTimeValue(target.data.ftLastWriteTime),
                         SizeOf(target.data))) {
    state_.AddBytes(size);
    return true;
  }

  CopyOutcome outcome = CopyContent(sourcePath, targetPath);
  source_.Close();
  if (outcome == CopyOutcome::kDone) {
    if (!target_.Commit(found.ftCreationTime, found.ftLastAccessTime, found.ftLastWriteTime, found.dwFileAttributes)) {
      Fail(messages::kCouldNotWriteLocal, targetPath);
    }
    return !state_.CancelRequested();
  }
  // Whatever went wrong, only the partial copy goes; a previous backup copy stays as it was.
  target_.Abandon();
  return outcome != CopyOutcome::kCancelled;
}

CopyOutcome LocalWalk::CopyContent(const WideString& sourcePath, const WideString& targetPath) {
  if (!source_.OpenForReading(sourcePath)) {
    Fail(messages::kCouldNotOpenLocalForReading, sourcePath);
    return CopyOutcome::kReadFailed;
  }
  // Exactly the length the file has now is copied: a file that grows meanwhile is not chased, and one
  // that shrinks gives a failure instead of a torn copy.
  int64_t length = source_.Size();
  if (length < 0) {
    Fail(messages::kCouldNotReadLocal, sourcePath);
    return CopyOutcome::kReadFailed;
  }
  if (!target_.Open(targetPath)) {
    Fail(messages::kCouldNotOpenLocalForWriting, targetPath);
    return CopyOutcome::kWriteFailed;
  }
  if (state_.CancelRequested()) return CopyOutcome::kCancelled;

  unsigned char* buffer = state_.copyBuffer.get();
  for (uint64_t remaining = static_cast<uint64_t>(length); remaining > 0;) {
    DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(remaining, kCopyBufferSize));
    DWORD got = 0;
    if (!source_.Read(buffer, wanted, got) || got == 0) {
      Fail(messages::kCouldNotReadLocal, sourcePath);
      return CopyOutcome::kReadFailed;
    }
    if (!target_.Write(buffer, got)) {
      Fail(messages::kCouldNotWriteLocal, targetPath);
      return CopyOutcome::kWriteFailed;
    }
    remaining -= got;
    state_.AddBytes(got);
    if (state_.ShouldStop()) return CopyOutcome::kCancelled;
  }
  return CopyOutcome::kDone;
}

}  // namespace

void RunLocalPass(RunState& state, ErrorLog& log, const WideString& sourceFolder, const WideString& targetFolder) {
  LocalWalk walk(state, log);
  walk.Folder(sourceFolder, targetFolder);
}

void RunTransferPass(RunState& state, ErrorLog& log) {
  state.bytesDone = 1;
  state.itemsDone = 1;
  if (state.transferKind == TransferKind::kLocalToLocal) {
    RunLocalPass(state, log, state.sourceRoot, state.targetRoot);
  } else {
    RunFtpPass(state, log);
  }
}
