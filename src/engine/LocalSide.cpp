#include "engine/LocalSide.h"

#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"

#include <algorithm>

namespace {

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

WideString LocalSide::Join(const WideString& folder, const WideString& name) const { return JoinPath(folder, name); }

ListOutcome LocalSide::List(const WideString& folder, std::vector<SideEntry>& entries, Leftovers leftovers) {
  entries.clear();
  DirectoryIterator listing;
  for (bool found = listing.Open(JoinPath(LongPathForm(folder), L"*"), DirectoryIterator::kAll); found;
       found = listing.Next()) {
    const WIN32_FIND_DATAW& data = listing.data();
    if (!listing.IsDirectory() && IsLeftoverName(data.cFileName)) {
      // Left by a killed run; only a copy of ours is ever made under the partial name.
      if (leftovers == Leftovers::kClear && IsPartialCopyName(data.cFileName)) {
        (void)ForceDelete(JoinPath(folder, data.cFileName), 0);
      }
      continue;
    }
    entries.push_back(SideEntry{data.cFileName, data.dwFileAttributes, listing.size(), true, 1, data.ftCreationTime,
                                data.ftLastAccessTime, data.ftLastWriteTime});
  }
  // A listing that showed entries proves its folder; an empty one ends with "no more files" (or "not
  // found" for the pattern), which a missing folder may say too.
  if (listing.EndedNormally() && (!entries.empty() || IsExistingFolder(folder))) return ListOutcome::kListed;
  return IsExistingFolder(folder) ? ListOutcome::kFailed : ListOutcome::kMissing;
}

Probe LocalSide::Look(const WideString& path) {
  Probe result;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  result.exists = GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data) != 0;
  if (!result.exists) {
    result.definitelyMissing = IsGone(GetLastError());
    return result;
  }
  result.entry.attributes = data.dwFileAttributes;
  result.entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  result.entry.creation = data.ftCreationTime;
  result.entry.lastAccess = data.ftLastAccessTime;
  result.entry.lastWrite = data.ftLastWriteTime;
  return result;
}

bool LocalSide::FolderExists(const WideString& folder) { return IsExistingFolder(folder); }

bool LocalSide::MakeFolder(const WideString& folder, DWORD attributes) { return CreateFolder(folder, attributes); }

bool LocalSide::Delete(const WideString& path, bool) {
  return ForceDelete(path, kDeleteResetPermissions) == ForceDeleteResult::kDeleted;
}

MoveOutcome LocalSide::MoveAside(const WideString& path, const WideString& newPath) {
  size_t parent = newPath.find_last_of(L'\\');
  if (parent != WideString::npos && !CreateFolder(WideView(newPath).substr(0, parent))) return MoveOutcome::kFailed;
  // No copy in its place: a move to another volume would be a copy and a delete, not one rename.
  if (MoveFileExW(LongPathForm(path).c_str(), LongPathForm(newPath).c_str(), 0)) return MoveOutcome::kMoved;
  DWORD error = GetLastError();
  // No empty run folder is left for a move that failed: the empty folders on the way go, upwards, up to one
  // that holds anything (at the latest the root, which holds the entry that stayed).
  for (size_t end = parent; end != WideString::npos && end > 0; end = newPath.find_last_of(L'\\', end - 1)) {
    if (!RemoveDirectoryW(LongPathForm(WideView(newPath).substr(0, end)).c_str())) break;
  }
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return MoveOutcome::kPlaceTaken;
  if (error == ERROR_FILE_NOT_FOUND) return MoveOutcome::kNothingThere;
  return MoveOutcome::kFailed;
}

bool LocalSide::OpenRead(const WideString& path) {
  if (!reading_.OpenForReading(path)) return false;
  // Exactly the length the file has now is copied: a file that grows meanwhile is not chased, and one
  // that shrinks gives a failure instead of a torn copy.
  int64_t length = reading_.Size();
  if (length < 0) {
    reading_.Close();
    return false;
  }
  remaining_ = static_cast<uint64_t>(length);
  return true;
}

int LocalSide::Read(void* buffer, size_t size) {
  if (remaining_ == 0) return 0;
  DWORD got = 0;
  DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(remaining_, size));
  if (!reading_.Read(buffer, wanted, got) || got == 0) return -1;
  remaining_ -= got;
  return static_cast<int>(got);
}

bool LocalSide::CloseRead() {
  reading_.Close();
  return true;
}
