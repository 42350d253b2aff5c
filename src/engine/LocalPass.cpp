#include "engine/LocalPass.h"

#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "engine/Messages.h"

namespace {

int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

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

// Whether source must be copied over the existing target. The target is skipped when it is at least as
// new and of the same size. In Sync a newer target is never overwritten by an older source, whatever the
// sizes: the other pass brings it across instead.
bool ShouldCopy(const WIN32_FIND_DATAW& source, const Counterpart& target, bool syncing) {
  int64_t sourceTime = FileTimeValue(source.ftLastWriteTime);
  int64_t targetTime = FileTimeValue(target.data.ftLastWriteTime);
  if (sourceTime > targetTime) return true;
  if (syncing && targetTime > sourceTime) return false;
  uint64_t sourceSize = (static_cast<uint64_t>(source.nFileSizeHigh) << 32) | source.nFileSizeLow;
  return sourceSize != SizeOf(target.data);
}

// Failures name the target the user knows, not the partial copy.
WideView WithoutPartialSuffix(const WideString& temporaryPath) {
  return WideView(temporaryPath).substr(0, temporaryPath.size() - kPartialCopySuffix.size());
}

enum class CopyOutcome { kDone, kReadFailed, kWriteFailed, kCancelled };

class LocalWalk {
 public:
  LocalWalk(RunState& state, ErrorLog& log)
      : state_(state), log_(log), deletionPass_((state.runFlags & kRunStrict) != 0),
        compare_((state.runFlags & (kRunUpdateMethod | kRunSync)) != 0), syncing_((state.runFlags & kRunSync) != 0) {
    if (!state_.copyBuffer) state_.copyBuffer = std::make_unique<unsigned char[]>(kCopyBufferSize);
  }

  // Returns false when the walk must stop (cancelled).
  bool Folder(const WideString& source, const WideString& target);

 private:
  void Fail(WideView prefix, WideView path) {
    log_.Log(prefix, path);
    state_.failureCount.fetch_add(1, std::memory_order_relaxed);
  }
  bool File(const WideString& sourcePath, const WideString& targetPath, const WIN32_FIND_DATAW& found,
            const Counterpart& target);
  CopyOutcome CopyContent(const WideString& sourcePath, const WideString& targetPath);
  bool OpenTemporaryTarget(const WideString& temporaryPath);
  bool ReplaceTarget(const WideString& temporaryPath, const WideString& targetPath);

  RunState& state_;
  ErrorLog& log_;
  const bool deletionPass_;
  const bool compare_;
  const bool syncing_;
};

bool LocalWalk::Folder(const WideString& source, const WideString& target) {
  if (deletionPass_) {
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

    Counterpart counterpart = LookUp(targetEntry);
    if (deletionPass_ && !counterpart.exists) {
      // "Not found" counts only while the folder on the other side is still there to ask.
      if (counterpart.definitelyMissing && IsExistingFolder(target)) {
        (void)ForceDelete(sourceEntry, kDeleteResetPermissions);
      } else {
        // The other side could not tell (a share gone, access denied): nothing is deleted on a guess.
        Fail(messages::kSourceDirectoryNotFound, targetEntry);
      }
      continue;
    }

    if (entries.IsDirectory() && !Folder(sourceEntry, targetEntry)) return false;
    if (state_.skipAttributes != 0 && (entry.dwFileAttributes & state_.skipAttributes)) continue;

    state_.itemsDone.fetch_add(1, std::memory_order_relaxed);
    if (deletionPass_ && !entries.IsDirectory()) state_.bytesDone.fetch_add(entries.size(), std::memory_order_relaxed);
    state_.UpdateProgress();
    if (entries.IsDirectory() || deletionPass_) continue;

    if (!File(sourceEntry, targetEntry, entry, counterpart)) return false;
  }
  return true;
}

bool LocalWalk::File(const WideString& sourcePath, const WideString& targetPath, const WIN32_FIND_DATAW& found,
                     const Counterpart& target) {
  uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  if (compare_ && target.exists && !(target.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !ShouldCopy(found, target, syncing_)) {
    state_.AddBytes(size);
    return true;
  }

  WideString temporaryPath = text::Concat(targetPath, kPartialCopySuffix);
  CopyOutcome outcome = CopyContent(sourcePath, temporaryPath);
  if (outcome == CopyOutcome::kDone) {
    // The copy is complete: give it the source's times and attributes, then let it take the target's place.
    FILETIME creation = found.ftCreationTime, access = found.ftLastAccessTime, write = found.ftLastWriteTime;
    SetFileTime(state_.targetFile.handle(), &creation, &access, &write);
    state_.targetFile.Close();
    state_.sourceFile.Close();
    SetFileAttributesW(LongPathForm(temporaryPath).c_str(), found.dwFileAttributes ? found.dwFileAttributes
                                                                                   : FILE_ATTRIBUTE_NORMAL);
    if (!ReplaceTarget(temporaryPath, targetPath)) {
      SetFileAttributesW(LongPathForm(temporaryPath).c_str(), FILE_ATTRIBUTE_NORMAL);
      (void)ForceDelete(temporaryPath, 0);
      Fail(messages::kCouldNotWriteLocal, targetPath);
    }
    return !state_.CancelRequested();
  }

  // Whatever went wrong, only the partial copy goes; the previous backup copy stays as it was.
  state_.targetFile.Close();
  state_.sourceFile.Close();
  (void)ForceDelete(temporaryPath, 0);
  return outcome != CopyOutcome::kCancelled;
}

bool LocalWalk::OpenTemporaryTarget(const WideString& temporaryPath) {
  constexpr uint32_t kFlags = TextFile::kRaw | TextFile::kExclusive | TextFile::kCreate;
  if (state_.targetFile.Open(temporaryPath, kFlags, FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL)) return true;
  if (state_.targetFile.Open(temporaryPath, kFlags, FILE_ATTRIBUTE_NORMAL)) return true;
  // A partial copy left with read-only or system marks, or refused permissions, is cleared out of the way.
  (void)ForceDelete(temporaryPath, kDeleteResetPermissions);
  return state_.targetFile.Open(temporaryPath, kFlags, FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL) ||
         state_.targetFile.Open(temporaryPath, kFlags, FILE_ATTRIBUTE_NORMAL);
}

CopyOutcome LocalWalk::CopyContent(const WideString& sourcePath, const WideString& temporaryPath) {
  if (!state_.sourceFile.Open(sourcePath, TextFile::kRaw, FILE_FLAG_BACKUP_SEMANTICS) &&
      !state_.sourceFile.Open(sourcePath, TextFile::kRaw, 0)) {
    Fail(messages::kCouldNotOpenLocalForReading, sourcePath);
    return CopyOutcome::kReadFailed;
  }
  if (!OpenTemporaryTarget(temporaryPath)) {
    Fail(messages::kCouldNotOpenLocalForWriting, WithoutPartialSuffix(temporaryPath));
    return CopyOutcome::kWriteFailed;
  }
  if (state_.CancelRequested()) return CopyOutcome::kCancelled;

  unsigned char* buffer = state_.copyBuffer.get();
  while (true) {
    DWORD got = 0;
    if (!ReadFile(state_.sourceFile.handle(), buffer, static_cast<DWORD>(kCopyBufferSize), &got, nullptr)) {
      Fail(messages::kCouldNotReadLocal, sourcePath);
      return CopyOutcome::kReadFailed;
    }
    if (got == 0) return CopyOutcome::kDone;
    DWORD written = 0;
    if (!WriteFile(state_.targetFile.handle(), buffer, got, &written, nullptr) || written != got) {
      Fail(messages::kCouldNotWriteLocal, WithoutPartialSuffix(temporaryPath));
      return CopyOutcome::kWriteFailed;
    }
    state_.AddBytes(written);
    if (state_.ShouldStop()) return CopyOutcome::kCancelled;
  }
}

bool LocalWalk::ReplaceTarget(const WideString& temporaryPath, const WideString& targetPath) {
  WideString from = LongPathForm(temporaryPath);
  WideString to = LongPathForm(targetPath);
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  // Read-only, hidden or system marks on the old copy can refuse the replacement.
  DWORD old = GetFileAttributesW(to.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY) &&
      (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
    SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  }
  // Refused permissions on the old copy: reset them and delete it, the new one is complete beside it.
  if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY) &&
      ForceDelete(targetPath, kDeleteResetPermissions) == ForceDeleteResult::kDeleted) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  }
  return false;
}

}  // namespace

bool IsPartialCopyName(WideView name) { return text::EndsWith(name, kPartialCopySuffix, false); }

void RunLocalPass(RunState& state, ErrorLog& log, const WideString& sourceFolder, const WideString& targetFolder) {
  LocalWalk walk(state, log);
  walk.Folder(sourceFolder, targetFolder);
  state.sourceFile.Close();
  state.targetFile.Close();
}

void RunTransferPass(RunState& state, ErrorLog& log) {
  state.bytesDone = 1;
  state.itemsDone = 1;
  if (state.transferKind == TransferKind::kLocalToLocal) RunLocalPass(state, log, state.sourceRoot, state.targetRoot);
  // The FTP passes are not built yet; the run controller does not start them.
}
