#pragma once
// Shell shortcuts (".lnk" files) through the shell's own link object: the desktop shortcuts of an
// installation are written with it, and a shortcut dropped on a window stands for what it points at.

#include "base/WideString.h"

// Points the shortcut at target with the argument text and the target's first icon. A shortcut already
// there is loaded and changed, keeping what else its owner set in it (a hot key, a start folder); a file
// there that is no readable shortcut is left alone and the answer is false.
[[nodiscard]] bool SaveShortcut(WideView linkPath, WideView target, WideView arguments);

// Deletes the shortcut and tells the shell, so that the desktop drops its icon. A missing one counts
// as deleted.
[[nodiscard]] bool DeleteShortcut(WideView linkPath);

// The path a shortcut points at, read without resolving it (resolving may search the disks or ask the
// user). Empty when the file is no readable shortcut or points at no path. COM must be running on the
// calling thread.
[[nodiscard]] WideString ShortcutTarget(WideView lnkPath);
