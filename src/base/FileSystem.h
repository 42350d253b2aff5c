#pragma once
// The file-system primitives that the INI store and the engine share.

#include "base/WideString.h"

#include <windows.h>

#include <cstdint>

inline constexpr DWORD kNoAttributes = 0xFFFFFFFF;

// A path that starts with a drive letter and a colon gets the "\\?\" prefix so that the Win32 calls
// accept it beyond MAX_PATH. Paths starting with "\\" (network paths, or already long) stay as they are.
[[nodiscard]] WideString LongPathForm(WideView path);

// folder + "\" + name, without doubling the backslash of a root such as "D:\".
[[nodiscard]] WideString JoinPath(WideView folder, WideView name);

// The absolute, canonical form of a local path (no "..", no doubled or forward separators, no trailing
// backslash except on a root), so that it can take the long-path prefix. Unchanged when that fails.
[[nodiscard]] WideString CanonicalPath(WideView path);

[[nodiscard]] bool IsExistingFolder(WideView path);
[[nodiscard]] bool IsExistingFile(WideView path);

// Creates the folder with every missing parent. With attributes other than kNoAttributes, the folder
// (new or existing) gets them added to the ones it has.
[[nodiscard]] bool CreateFolder(WideView path, DWORD attributes = kNoAttributes);

// Writes all of data to an open file, in pieces the system accepts; false with the system's error code
// kept for GetLastError when a write fails or writes nothing.
[[nodiscard]] bool WriteAll(HANDLE file, const void* data, size_t size);

// Size of a file in bytes; 0 when it can neither be opened nor listed.
[[nodiscard]] uint64_t FileSize(WideView path);
