#pragma once
// Other running instances of an executable, which must be gone before the file can be replaced or removed.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <vector>

// The processes other than this one that run the given executable (paths compared in their long form,
// ignoring case), opened for waiting.
[[nodiscard]] std::vector<UniqueKernelHandle> OpenRunningInstances(WideView executablePath);

// Asks every other running instance to close, as a person closing its main window would, and waits up to
// waitMs for all of them to end. An instance is never forced to end: one that is backing up, or asks
// about unsaved changes, goes on running, and the answer is then false.
[[nodiscard]] bool CloseRunningInstances(WideView executablePath, DWORD waitMs);

inline constexpr DWORD kCloseWaitMs = 10000;
