#include "engine/ForceDelete.h"

#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/Permissions.h"

#include <windows.h>
#include <shlobj.h>

namespace {

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool RemoveOnce(const WideString& longPath, bool isFolder) {
  BOOL removed = isFolder ? RemoveDirectoryW(longPath.c_str()) : DeleteFileW(longPath.c_str());
  return removed || IsGone(GetLastError());
}

ForceDeleteResult Worse(ForceDeleteResult a, ForceDeleteResult b) {
  if (a == ForceDeleteResult::kFailed || b == ForceDeleteResult::kFailed) return ForceDeleteResult::kFailed;
  if (a == ForceDeleteResult::kScheduledForRestart || b == ForceDeleteResult::kScheduledForRestart) {
    return ForceDeleteResult::kScheduledForRestart;
  }
  return ForceDeleteResult::kDeleted;
}

// One file or one empty folder (or a link), with the escalating retries.
ForceDeleteResult RemoveEntry(const WideString& longPath, bool isFolder, unsigned options) {
  if (RemoveOnce(longPath, isFolder)) return ForceDeleteResult::kDeleted;

  DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM))) {
    SetFileAttributesW(longPath.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
    if (RemoveOnce(longPath, isFolder)) return ForceDeleteResult::kDeleted;
  }

  if (options & kDeleteResetPermissions) {
    BYTE ownerBuffer[SECURITY_MAX_SID_SIZE];
    DWORD ownerSize = sizeof(ownerBuffer);
    PSID administrators = CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, ownerBuffer, &ownerSize)
                              ? static_cast<PSID>(ownerBuffer)
                              : nullptr;
    if (ResetPermissions(longPath, kResetFileOnly, administrators) && RemoveOnce(longPath, isFolder)) {
      return ForceDeleteResult::kDeleted;
    }
  }

  if ((options & kDeleteScheduleOnReboot) &&
      MoveFileExW(longPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    return ForceDeleteResult::kScheduledForRestart;
  }
  return ForceDeleteResult::kFailed;
}

ForceDeleteResult DeletePath(const WideString& longPath, DWORD attributes, unsigned options);

ForceDeleteResult DeleteFolderContent(const WideString& longFolder, unsigned options) {
  ForceDeleteResult result = ForceDeleteResult::kDeleted;
  DirectoryIterator entries;
  for (bool found = entries.Open(text::Concat(longFolder, L"\\*"), DirectoryIterator::kAll); found;
       found = entries.Next()) {
    result = Worse(result, DeletePath(text::Concat(longFolder, L"\\", entries.name()), entries.attributes(), options));
  }
  if (!entries.EndedNormally()) result = ForceDeleteResult::kFailed;
  return result;
}

ForceDeleteResult DeletePath(const WideString& longPath, DWORD attributes, unsigned options) {
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveEntry(longPath, false, options);
  // A junction or folder link goes as a link; what it points at is somebody else's data.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveEntry(longPath, true, options);
  ForceDeleteResult content = DeleteFolderContent(longPath, options);
  return Worse(content, RemoveEntry(longPath, true, options));
}

bool HasWildcardInLastComponent(WideView path) {
  return text::FileNamePart(path).find_first_of(L"*?") != WideView::npos;
}

}  // namespace

ForceDeleteResult ForceDelete(WideView path, unsigned options) {
  WideString longPath = LongPathForm(path);
  while (longPath.size() > 7 && longPath.back() == L'\\') longPath.pop_back();
  WideString announced(path);

  ForceDeleteResult result;
  LONG event;
  if (HasWildcardInLastComponent(longPath)) {
    WideString folder(text::FolderPart(longPath));
    result = ForceDeleteResult::kDeleted;
    DirectoryIterator matches;
    for (bool found = matches.Open(longPath, DirectoryIterator::kAll); found; found = matches.Next()) {
      result = Worse(result, DeletePath(text::Concat(folder, L"\\", matches.name()), matches.attributes(), options));
    }
    if (!matches.EndedNormally()) result = ForceDeleteResult::kFailed;
    event = SHCNE_UPDATEDIR;
    announced = WideString(text::FolderPart(path));
  } else {
    DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      return IsGone(GetLastError()) ? ForceDeleteResult::kDeleted : ForceDeleteResult::kFailed;
    }
    result = DeletePath(longPath, attributes, options);
    event = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? SHCNE_RMDIR : SHCNE_DELETE;
  }

  if (options & kDeleteAnnounceFolderUpdate) event = SHCNE_UPDATEDIR;
  if (result != ForceDeleteResult::kFailed) SHChangeNotify(event, SHCNF_PATHW, announced.c_str(), nullptr);
  return result;
}
