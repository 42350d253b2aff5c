#include "engine/PartialCopy.h"

#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "engine/Permissions.h"

#include <cstring>
#include <vector>

namespace {

// The attributes a file may be given; anything else (directory, compression, sparseness) is the file
// system's business and refused by the call.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;

HANDLE CreatePartial(const WideString& path, DWORD flags) {
  // DELETE access lets the finished file be renamed, or a failed one deleted, through this very handle.
  // Always a new file: a leftover under the partial name is removed first, never truncated and reused.
  return CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, flags, nullptr);
}

}  // namespace

bool IsPartialCopyName(WideView name) { return text::EndsWith(name, kPartialCopySuffix, false); }
bool IsOldCopyName(WideView name) { return text::EndsWith(name, kOldCopySuffix, false); }

bool PartialCopy::Open(WideView targetPath) {
  Abandon();
  targetPath_ = LongPathForm(targetPath);
  partialPath_ = text::Concat(targetPath_, kPartialCopySuffix);
  constexpr DWORD kBackup = FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL;
  for (int attempt = 0; attempt < 2; ++attempt) {
    file_.reset(CreatePartial(partialPath_, kBackup));
    if (!file_) file_.reset(CreatePartial(partialPath_, FILE_ATTRIBUTE_NORMAL));
    if (file_) return true;
    lastError_ = GetLastError();
    // A partial file left behind by a killed run is cleared out of the way, read-only marks or refused
    // permissions and all.
    if (attempt == 0 && ForceDelete(partialPath_, kDeleteResetPermissions) != ForceDeleteResult::kDeleted) break;
  }
  return false;
}

bool PartialCopy::Write(const void* data, size_t size) {
  if (WriteAll(file_.get(), data, size)) return true;
  lastError_ = GetLastError();
  return false;
}

bool PartialCopy::Commit(const FILETIME& creation, const FILETIME& lastAccess, const FILETIME& lastWrite,
                         DWORD attributes) {
  if (!file_) return false;
  // Times and attributes in one call on the open handle; the copy stands even when they cannot be set.
  FILE_BASIC_INFO basic{};
  basic.CreationTime.LowPart = creation.dwLowDateTime;
  basic.CreationTime.HighPart = static_cast<LONG>(creation.dwHighDateTime);
  basic.LastAccessTime.LowPart = lastAccess.dwLowDateTime;
  basic.LastAccessTime.HighPart = static_cast<LONG>(lastAccess.dwHighDateTime);
  basic.LastWriteTime.LowPart = lastWrite.dwLowDateTime;
  basic.LastWriteTime.HighPart = static_cast<LONG>(lastWrite.dwHighDateTime);
  DWORD settable = attributes & kSettableAttributes;
  // Zero leaves the attributes as the new file has them: a plain file needs no extra call for them.
  basic.FileAttributes = (settable & ~DWORD{FILE_ATTRIBUTE_ARCHIVE}) ? settable : 0;
  if (!SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof(basic))) {
    FILETIME c = creation, a = lastAccess, w = lastWrite;
    (void)SetFileTime(file_.get(), &c, &a, &w);
    file_.reset();
    if (basic.FileAttributes) (void)SetFileAttributesW(partialPath_.c_str(), basic.FileAttributes);
  }
  if (file_ && RenameOpenFile()) {
    file_.reset();
    return true;
  }
  file_.reset();
  if (ReplaceByName()) return true;
  lastError_ = GetLastError();
  return false;
}

bool PartialCopy::RenameOpenFile() {
  // The rename on the handle saves opening the file again by name. The name is given in its long form,
  // zero-terminated, which systems that convert it from a DOS path need and the others ignore.
  size_t nameBytes = targetPath_.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes + sizeof(wchar_t), 0);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, targetPath_.c_str(), nameBytes);
  return SetFileInformationByHandle(file_.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

bool PartialCopy::ReplaceByName() const {
  const wchar_t* from = partialPath_.c_str();
  const wchar_t* to = targetPath_.c_str();
  if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
  DWORD old = GetFileAttributesW(to);
  if (old == INVALID_FILE_ATTRIBUTES || (old & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // A read-only old copy refuses to be replaced; its marks go only for the replacement and come back when
  // it fails.
  if (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
    (void)SetFileAttributesW(to, FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
  }
  // Refused permissions on the old copy: a fresh access list, never a delete. A delete that a reader
  // (an indexer, a virus scanner) turns into a pending one would leave no complete copy at all.
  bool replaced = ResetPermissions(to, kResetFileOnly, nullptr) && MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
  if (!replaced) (void)SetFileAttributesW(to, old);
  return replaced;
}

void PartialCopy::Abandon() {
  if (!file_) return;
  FILE_DISPOSITION_INFO disposition{TRUE};
  bool marked = SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
  file_.reset();
  if (!marked) (void)ForceDelete(partialPath_, 0);
}
