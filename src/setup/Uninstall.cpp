#include "setup/Uninstall.h"

#include "base/Process.h"
#include "base/Registry.h"
#include "engine/ForceDelete.h"
#include "setup/RunningInstances.h"
#include "ui/ShellLink.h"
#include "ui/MessageBox.h"
#include "ui/UiWindow.h"

#include <windows.h>

#include <optional>

namespace {

constexpr int kSelfDeleteTries = 5;

// The merged classes view deletes the user's key first when there is one, and the machine's then shows
// through: delete until the view shows none.
bool DeleteClassTree(WideView path) {
  for (int round = 0; round < 3; ++round) {
    if (!DeleteRegistryTree(path)) return false;
    UniqueHKey left = OpenRegistryKey(path, KEY_READ);
    if (!left) return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  return false;
}

// The uninstaller has no window of its own; its questions need an owner whose event record they share.
// Hidden, so the box stands alone in the middle of the screen.
class QuestionOwner {
 public:
  QuestionOwner() {
    (void)window_.Create(L"BRIMLARK_UNINSTALL", kProductName, 10, 10, kCentred, kCentred, WS_POPUP, 0, nullptr);
  }
  // Without an owner the box answers 1 by itself: a question nobody saw is answered no.
  int Ask(WideView text, MessageKind kind) { return window_.handle() ? box_.Ask(&window_, text, kind, 130, 360) : 0; }

 private:
  UiWindow window_;
  MessageBoxWindow box_;
};

[[noreturn]] void EndAfterSelfDelete(WideView executable, UINT exitCode) {
  (void)StartSelfDelete(executable);
  ExitProcess(exitCode);
}

}  // namespace

bool DeleteAssociation() {
  bool extensionGone = DeleteClassTree(kExtensionClassKey);
  bool progIdGone = DeleteClassTree(kProgIdClassKey);
  return extensionGone && progIdGone;
}

bool HandOverUninstall(const InstallPaths& paths, WideView runningExecutable, bool quiet) {
  if (paths.uninstallerCopy.empty() || runningExecutable.empty()) return false;
  WideString source(runningExecutable);
  if (!CopyFileW(source.c_str(), paths.uninstallerCopy.c_str(), FALSE)) return false;
  // Unquoted, as a person would type it: the runner finds the program part although its name has a blank.
  WideString commandLine = text::Concat(paths.uninstallerCopy, quiet ? L" /Quiet /Uninstall" : L" /Uninstall");
  return RunCommandLine(commandLine, SW_SHOWNORMAL) != 0;
}

RemovalResult RemoveInstallation(const InstallPaths& paths, DWORD closeWaitMs) {
  RemovalResult result;
  // The instance that handed over is still on its way out, and one may be backing up: never delete the
  // program under a run.
  if (!CloseRunningInstances(paths.installedExecutable, closeWaitMs)) {
    result.programRunning = true;
    return result;
  }
  result.folderLeft = paths.installFolder.empty() || !RemoveProgramFolder(paths.installFolder);
  bool normalGone = DeleteShortcut(paths.normalShortcut);
  bool unattendedGone = DeleteShortcut(paths.unattendedShortcut);
  result.shortcutLeft = !normalGone || !unattendedGone;
  bool entryGone = DeleteRegistryTree(kUninstallKey);
  bool associationGone = DeleteAssociation();
  result.registryLeft = !entryGone || !associationGone;
  return result;
}

DWORD StartSelfDelete(WideView executable) {
  WideString command = text::Concat(L"%ComSpec% /c for /l %i in (1,1,", text::Decimal(kSelfDeleteTries),
                                    L") do ping localhost -w 1000 -n 2 && del /f /q \"", executable, L"\"");
  return static_cast<DWORD>(RunCommandLine(command, SW_HIDE));
}

int RunUninstaller(const InstallPaths& installPaths, const AppPaths& paths, bool quiet) {
  if (!SamePath(paths.modulePath, installPaths.uninstallerCopy)) {
    if (HandOverUninstall(installPaths, paths.modulePath, quiet)) return 1;
    if (!quiet) (void)QuestionOwner().Ask(L"Sorry, the uninstaller could not be started.", MessageKind::kOk);
    return 0;
  }

  std::optional<QuestionOwner> owner;
  if (!quiet) {
    owner.emplace();
    if (owner->Ask(L"Are you sure you want to uninstall Brimlark Backup?", MessageKind::kYesNo) != 1) return 0;
  }
  RemovalResult removal = RemoveInstallation(installPaths, kCloseWaitMs);
  if (owner) {
    if (removal.programRunning) {
      (void)owner->Ask(L"Brimlark Backup is still running (a backup may be in progress), so nothing was "
                       L"uninstalled.\r\nPlease try again when it has finished.",
                       MessageKind::kOk);
    } else if (!removal.complete()) {
      (void)owner->Ask(L"Brimlark Backup was uninstalled, but some of its files or settings could not be removed.",
                       MessageKind::kOk);
    } else {
      (void)owner->Ask(L"Brimlark Backup was uninstalled.", MessageKind::kOk);
    }
  }
  // The exit code tells a script whether everything went.
  EndAfterSelfDelete(paths.modulePath, removal.complete() ? 0 : 1);
}

int RunUninstaller(const AppPaths& paths, IniFile&, bool quiet) {
  return RunUninstaller(InstallPaths::ForThisMachine(), paths, quiet);
}
