#pragma once
// The desktop shortcuts of an installation, written through the shell's own link object.

#include "base/WideString.h"

// Points the shortcut at target with the argument text and the target's first icon. A shortcut already
// there is loaded and changed, keeping what else its owner set in it (a hot key, a start folder); a file
// there that is no readable shortcut is left alone and the answer is false.
[[nodiscard]] bool SaveShortcut(WideView linkPath, WideView target, WideView arguments);

// Deletes the shortcut and tells the shell, so that the desktop drops its icon. A missing one counts
// as deleted.
[[nodiscard]] bool DeleteShortcut(WideView linkPath);
