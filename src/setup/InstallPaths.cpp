#include "setup/InstallPaths.h"

#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace {

WideString ShellFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return WideString(folder);
}

// The temporary folder in its long form: the uninstaller compares its own path with this one, and the
// system may hand out either form.
WideString TemporaryFolder() {
  wchar_t shortForm[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, shortForm);
  if (length == 0 || length > MAX_PATH) return {};
  WideString folder(32768, L'\0');
  DWORD longLength = GetLongPathNameW(shortForm, folder.data(), static_cast<DWORD>(folder.size()));
  if (longLength == 0 || longLength >= folder.size()) {
    folder = shortForm;
  } else {
    folder.resize(longLength);
  }
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

WideString LongForm(WideView path) {
  WideString input(path);
  WideString result(32768, L'\0');
  DWORD length = GetLongPathNameW(input.c_str(), result.data(), static_cast<DWORD>(result.size()));
  if (length == 0 || length >= result.size()) return input;
  result.resize(length);
  return result;
}

}  // namespace

bool SamePath(WideView a, WideView b) {
  if (a.empty() || b.empty()) return false;
  return text::EqualsNoCase(a, b) || text::EqualsNoCase(LongForm(a), LongForm(b));
}

InstallPaths InstallPaths::ForThisMachine() {
  return Under(ShellFolder(CSIDL_PROGRAM_FILES), ShellFolder(CSIDL_DESKTOPDIRECTORY), TemporaryFolder());
}

// A folder the system could not name leaves its paths empty, which every step refuses, rather than a
// name in whatever folder is current.
InstallPaths InstallPaths::Under(WideView programFiles, WideView desktop, WideView temporaryFolder) {
  auto join = [](WideView folder, WideView name) { return folder.empty() ? WideString() : JoinPath(folder, name); };
  InstallPaths paths;
  paths.installFolder = join(programFiles, kProductName);
  paths.installedExecutable = join(paths.installFolder, L"Brimlark.exe");
  paths.normalShortcut = join(desktop, L"Brimlark Backup.lnk");
  paths.unattendedShortcut = join(desktop, L"Update Backup (unattended).lnk");
  paths.uninstallerCopy = join(temporaryFolder, L"Brimlark Uninst.exe");
  return paths;
}

namespace {

bool IsUsersOwn(WideView name) {
  return text::EqualsNoCase(name, L"Brimlark.ini") || text::EqualsNoCase(name, L"Brimlark_ErrorLog.txt") ||
         (name.size() > 5 && text::EqualsNoCase(name.substr(name.size() - 5), L".brlk"));
}

}  // namespace

bool RemoveProgramFolder(WideView installFolder) {
  if (installFolder.empty()) return true;
  WideString folder(installFolder);
  if (!IsExistingFolder(folder)) return true;  // nothing of ours there (a file there is not ours to delete)
  bool everythingGone = true;
  DirectoryIterator entries(folder + L"\\*", DirectoryIterator::kAll);
  std::vector<WideString> doomed;
  for (bool more = entries.IsOpen(); more; more = entries.Next()) {
    WideView name = entries.name();
    if (name == L"." || name == L"..") continue;
    if (!entries.IsDirectory() && IsUsersOwn(name)) continue;
    doomed.push_back(folder + L"\\" + WideString(name));
  }
  if (!entries.EndedNormally()) return false;
  for (const WideString& path : doomed) {
    if (ForceDelete(path, kDeleteResetPermissions) == ForceDeleteResult::kFailed) everythingGone = false;
  }
  // Empty now unless the user's files are in it; then it stays for them.
  (void)RemoveDirectoryW(folder.c_str());
  return everythingGone;
}
