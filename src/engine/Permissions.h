#pragma once
// Access lists and process privileges.

#include "base/WideString.h"

#include <windows.h>

enum ResetPermissionsFlags : unsigned {
  kResetFileOnly = 0,
  kResetTree = 1,  // the folder and everything below it
};

// Gives path a fresh access list that grants full control to Everyone, Local System and the built-in
// Administrators. When that is refused and owner is given, that account first becomes the owner.
[[nodiscard]] bool ResetPermissions(WideView path, unsigned flags, PSID owner);

// Enables, as far as the account holds them, the privileges that let the engine read and write past file
// permissions (backup, restore, take ownership, security) and carry out the shut-down actions.
bool EnableProcessPrivileges();
