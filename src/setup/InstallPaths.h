#pragma once
// Where an installation puts things: the files (computed for this machine, or given by a test) and the
// registry keys, which are the machine's.

#include "base/WideString.h"

struct InstallPaths {
  WideString installFolder;
  WideString installedExecutable;
  WideString normalShortcut;
  WideString unattendedShortcut;
  // The copy that does the uninstalling, so that the installed executable is not running when it goes.
  WideString uninstallerCopy;

  // Program Files, this user's desktop and the temporary folder of this machine.
  [[nodiscard]] static InstallPaths ForThisMachine();
  // The same names under folders of the caller's choice.
  [[nodiscard]] static InstallPaths Under(WideView programFiles, WideView desktop, WideView temporaryFolder);
};

// Whether two paths name the same file: compared in their long forms, ignoring case, since the system
// hands out short names ("PROGRA~1") as readily as long ones.
[[nodiscard]] bool SamePath(WideView a, WideView b);

// Empties the program folder and removes it, keeping what is the user's rather than the program's: the
// backup settings files (*.brlk), the application INI file and the error log (the folder then stays with
// them). True when nothing else is left.
[[nodiscard]] bool RemoveProgramFolder(WideView installFolder);

inline constexpr WideView kProductName = L"Brimlark Backup";
inline constexpr WideView kPublisher = L"Brimlark Software";
inline constexpr WideView kUninstallKey =
    L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimlark Backup";
inline constexpr WideView kFileExtension = L".brlk";
inline constexpr WideView kProgId = L"BrimlarkFile";
// Where the association is read for everyone: the merged view of the machine's and the user's classes.
inline constexpr WideView kExtensionClassKey = L"HKCR\\.brlk";
inline constexpr WideView kProgIdClassKey = L"HKCR\\BrimlarkFile";
