#pragma once
// Registry keys addressed by one text path, "HKLM\SOFTWARE\Microsoft\...", so that callers never handle
// root keys or view flags. The root may carry a view: "HKLM64\..." is the 64-bit view and "HKLM32\..."
// the 32-bit one, whichever kind of process we are (our 32-bit build must still write the association
// where 64-bit Explorer reads it). Every operation reports failure by its result and leaves the system's
// error code for GetLastError.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

#include <optional>

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  // A key some call answered with INVALID_HANDLE_VALUE is no key either.
  static void Close(Handle key) {
    if (key != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) RegCloseKey(key);
  }
};
using UniqueHKey = UniqueResource<RegistryKeyTraits>;

struct RegistryPath {
  HKEY root = nullptr;
  WideString subkey;  // empty: the root itself
  REGSAM view = 0;    // KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0
};

// "ROOT[64|32]\subkey" with the roots HKLM, HKCU, HKCR, HKU, HKCC or their long names, in any case.
// Nothing for an empty path or an unknown root.
[[nodiscard]] std::optional<RegistryPath> ParseRegistryPath(WideView path);

// access is combined with the path's view flag. Null on failure.
[[nodiscard]] UniqueHKey OpenRegistryKey(WideView path, REGSAM access);
// Opens the key, creating it and every missing parent.
[[nodiscard]] UniqueHKey CreateRegistryKey(WideView path, REGSAM access);
[[nodiscard]] bool RegistryKeyExists(WideView path);

// Creates the key when needed. An empty value name is the key's default value.
[[nodiscard]] bool SetRegistryValue(WideView path, WideView valueName, DWORD type, const void* data, DWORD size);
// Text goes in with its terminating zero, as readers of REG_SZ expect.
[[nodiscard]] bool SetRegistryString(WideView path, WideView valueName, WideView value, DWORD type = REG_SZ);
// The text of a REG_SZ or REG_EXPAND_SZ value (unexpanded), without trailing zeros. Nothing when the key
// or value is missing or holds another type.
[[nodiscard]] std::optional<WideString> ReadRegistryString(WideView path, WideView valueName);

// Deletes the key with everything below it, depth first, in the path's view. A key that does not exist
// counts as deleted; a path naming a root alone is refused.
[[nodiscard]] bool DeleteRegistryTree(WideView path);

// The full path of a program given by name: found on the search path, or else through its App Paths
// registration (only for a bare name: one that is longer than one character, has no drive colon and no
// backslash), with environment variables expanded.
[[nodiscard]] std::optional<WideString> ResolveProgram(WideView name);
