#include "setup/Installer.h"

#include "base/FileSystem.h"
#include "base/ProgramVersion.h"
#include "base/Registry.h"
#include "engine/ForceDelete.h"
#include "engine/PartialCopy.h"
#include "ui/ShellLink.h"
#include "setup/Uninstall.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

namespace {

constexpr WideView kMachineExtensionKey = L"HKLM64\\SOFTWARE\\Classes\\.brlk";
constexpr WideView kMachineProgIdKey = L"HKLM64\\SOFTWARE\\Classes\\BrimlarkFile";
constexpr WideView kMachineOpenCommandKey = L"HKLM64\\SOFTWARE\\Classes\\BrimlarkFile\\Shell\\Open\\command";
constexpr WideView kMachineIconKey = L"HKLM64\\SOFTWARE\\Classes\\BrimlarkFile\\DefaultIcon";
// A user's own classes hide the machine's from that user.
constexpr WideView kUserExtensionKey = L"HKCU\\Software\\Classes\\.brlk";
constexpr WideView kUserProgIdKey = L"HKCU\\Software\\Classes\\BrimlarkFile";
constexpr WideView kFileTypeDescription = L"Brimlark Backup file";
constexpr WideView kUnattendedArguments = L" /Passive";

// A text with two "%" may hold an environment variable, which only REG_EXPAND_SZ gets expanded.
DWORD TextTypeFor(WideView value) {
  return std::count(value.begin(), value.end(), L'%') >= 2 ? REG_EXPAND_SZ : REG_SZ;
}

void Fail(ApplyResult& result, InstallStep step) {
  result.failed[static_cast<size_t>(step)] = true;
  result.succeeded = false;
}

// The copy goes to the partial name beside the target and takes the target's place only when complete,
// so that a failed copy leaves the installed program as it was.
bool CopyIntoPlace(const WideString& source, const WideString& target, bool replace) {
  WideString partial = text::Concat(target, kPartialCopySuffix);
  DWORD moveFlags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  bool placed = CopyFileW(source.c_str(), partial.c_str(), FALSE) &&
                MoveFileExW(partial.c_str(), target.c_str(), moveFlags);
  if (!placed) {
    DWORD error = GetLastError();
    DeleteFileW(partial.c_str());
    SetLastError(error);
  }
  return placed;
}

InstallProblem InstallProgram(const InstallPaths& paths, const AppPaths& appPaths, DWORD closeWaitMs) {
  if (paths.installFolder.empty() || !CreateFolder(paths.installFolder)) return InstallProblem::kFolderNotCreated;
  if (SamePath(appPaths.modulePath, paths.installedExecutable)) return InstallProblem::kNone;
  if (!CloseRunningInstances(paths.installedExecutable, closeWaitMs)) return InstallProblem::kProgramRunning;
  if (!CopyIntoPlace(appPaths.modulePath, paths.installedExecutable, true)) return InstallProblem::kCopyFailed;
  // The installed program starts with this one's settings, unless it already has its own.
  if (appPaths.appIniPath.empty() || !IsExistingFile(appPaths.appIniPath)) return InstallProblem::kNone;
  WideString installedIni = JoinPath(paths.installFolder, text::FileNamePart(appPaths.appIniPath));
  if (IsExistingFile(installedIni)) return InstallProblem::kNone;
  return CopyIntoPlace(appPaths.appIniPath, installedIni, false) ? InstallProblem::kNone
                                                                 : InstallProblem::kSettingsNotCopied;
}

InstallProblem RemoveProgram(const InstallPaths& paths, DWORD closeWaitMs) {
  if (paths.installFolder.empty()) return InstallProblem::kNone;
  if (!CloseRunningInstances(paths.installedExecutable, closeWaitMs)) return InstallProblem::kProgramRunning;
  return RemoveProgramFolder(paths.installFolder) ? InstallProblem::kNone : InstallProblem::kFolderNotDeleted;
}

bool ApplyShortcut(bool wanted, const WideString& linkPath, const WideString& target, WideView arguments) {
  return wanted ? SaveShortcut(linkPath, target, arguments) : DeleteShortcut(linkPath);
}

// The quoted program and the quoted document.
WideString OpenCommand(WideView installedExecutable) {
  return text::Concat(L"\"", installedExecutable, L"\" \"%1\"");
}

bool WriteUninstallEntry(const InstallPaths& paths) {
  const WideString& program = paths.installedExecutable;
  // All text, the size too: that is how the entry has always been read.
  const std::pair<WideView, WideString> values[] = {
      {L"DisplayName", WideString(kProductName)},
      {L"DisplayVersion", WideString(kProgramVersion)},
      {L"InstallLocation", paths.installFolder},
      {L"UninstallString", text::Concat(L"\"", program, L"\" /Uninstall /Quiet")},
      {L"DisplayIcon", program},
      {L"EstimatedSize", text::DecimalUnsigned(FileSize(program) / 1024)},
      {L"Publisher", WideString(kPublisher)},
  };
  bool allWritten = true;
  for (const auto& [name, value] : values) {
    if (!SetRegistryString(kUninstallKey, name, value, REG_SZ)) allWritten = false;
  }
  return allWritten;
}

bool WriteAssociation(WideView installedExecutable) {
  bool allDone = DeleteRegistryTree(kUserExtensionKey);
  if (!DeleteRegistryTree(kUserProgIdKey)) allDone = false;
  auto write = [&](WideView key, WideView value) {
    if (!SetRegistryString(key, L"", value, TextTypeFor(value))) allDone = false;
  };
  write(kMachineExtensionKey, kProgId);
  write(kMachineProgIdKey, kFileTypeDescription);
  write(kMachineOpenCommandKey, OpenCommand(installedExecutable));
  // Our files show no icon of their own: a key left by another version must not give them one.
  if (!DeleteRegistryTree(kMachineIconKey)) allDone = false;
  // Explorer keeps what it read about file types until it is told.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return allDone;
}

}  // namespace

InstallChoices CurrentInstallation(const InstallPaths& paths) {
  InstallChoices current;
  current.install = !paths.installedExecutable.empty() && IsExistingFile(paths.installedExecutable);
  current.unattendedShortcut = current.install && IsExistingFile(paths.unattendedShortcut);
  current.normalShortcut = current.install && IsExistingFile(paths.normalShortcut);
  current.uninstallEntry = RegistryKeyExists(kUninstallKey);
  std::optional<WideString> fileType = ReadRegistryString(kExtensionClassKey, L"");
  current.associate = fileType && text::EqualsNoCase(*fileType, kProgId);
  return current;
}

ApplyResult ApplyInstallation(const InstallPaths& paths, const AppPaths& appPaths, const InstallChoices& choices,
                              DWORD closeWaitMs) {
  ApplyResult result;
  const WideString& program = paths.installedExecutable;

  if (choices.install) {
    result.installProblem = InstallProgram(paths, appPaths, closeWaitMs);
  } else if (SamePath(appPaths.modulePath, program)) {
    // The installed executable cannot remove itself: the copy in the temporary folder takes over.
    if (HandOverUninstall(paths, appPaths.modulePath, false)) {
      result.endProgram = true;
      return result;
    }
    result.installProblem = InstallProblem::kUninstallNotStarted;
  } else {
    result.installProblem = RemoveProgram(paths, closeWaitMs);
  }
  if (result.installProblem != InstallProblem::kNone) Fail(result, InstallStep::kInstall);

  if (!ApplyShortcut(choices.unattendedShortcut, paths.unattendedShortcut, program, kUnattendedArguments)) {
    Fail(result, InstallStep::kUnattendedShortcut);
  }
  if (!ApplyShortcut(choices.normalShortcut, paths.normalShortcut, program, L"")) {
    Fail(result, InstallStep::kNormalShortcut);
  }
  if (!(choices.uninstallEntry ? WriteUninstallEntry(paths) : DeleteRegistryTree(kUninstallKey))) {
    Fail(result, InstallStep::kUninstallEntry);
  }
  if (!(choices.associate ? WriteAssociation(program) : DeleteAssociation())) Fail(result, InstallStep::kAssociate);
  return result;
}

WideString ApplyFailureText(const ApplyResult& result) {
  WideString message = L"Sorry, not every installation setting could be applied:\r\n";
  auto line = [&](WideView text) { text::Append(message, L"\r\n", text); };
  switch (result.installProblem) {
    case InstallProblem::kNone:
      break;
    case InstallProblem::kFolderNotCreated:
      line(L"The program folder could not be created.");
      break;
    case InstallProblem::kProgramRunning:
      line(L"The installed Brimlark Backup is still running (a backup may be in progress), so it was left as it "
           L"is. Please try again when it has finished.");
      break;
    case InstallProblem::kCopyFailed:
      line(L"The program could not be copied into its folder; the installed copy was left as it was.");
      break;
    case InstallProblem::kSettingsNotCopied:
      line(L"The program was installed, but its settings could not be copied.");
      break;
    case InstallProblem::kFolderNotDeleted:
      line(L"The program folder could not be removed completely.");
      break;
    case InstallProblem::kUninstallNotStarted:
      line(L"The uninstaller could not be started.");
      break;
  }
  if (result.Failed(InstallStep::kUnattendedShortcut)) {
    line(L"The shortcut for unattended backup could not be changed.");
  }
  if (result.Failed(InstallStep::kNormalShortcut)) line(L"The normal desktop shortcut could not be changed.");
  if (result.Failed(InstallStep::kUninstallEntry)) line(L"The uninstall entry could not be changed.");
  if (result.Failed(InstallStep::kAssociate)) line(L"The association with .brlk files could not be changed.");
  return message;
}
