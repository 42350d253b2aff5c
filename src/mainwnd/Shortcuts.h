#pragma once
// Shell shortcuts (".lnk" files) dropped on the program's windows stand for what they point at.

#include "base/WideString.h"

// The path a shortcut points at, read through the shell-link interface without resolving it (resolving
// may search the disks or ask the user). Empty when the file is no readable shortcut or points at no path.
// COM must be running on the calling thread.
[[nodiscard]] WideString ShortcutTarget(WideView lnkPath);
