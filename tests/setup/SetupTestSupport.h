#pragma once
// What the installation tests share: readers of registry values, shortcuts and windows that go straight to
// the system, past the code under test.

#include "TestSupport.h"
#include "WindowScript.h"
#include "base/Registry.h"
#include "base/WideString.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace testing_support {

struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
  // The text of a string value without its terminating zero.
  [[nodiscard]] WideString Text() const {
    WideString value(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
  }
};

// A value as the registry keeps it: its type and exact bytes. Nothing when the key or value is missing.
inline std::optional<StoredValue> ReadStoredValue(WideView keyPath, const wchar_t* valueName) {
  UniqueHKey key = OpenRegistryKey(keyPath, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  StoredValue value;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.bytes.resize(size);
  if (RegQueryValueExW(key.get(), valueName, nullptr, &value.type, value.bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.bytes.resize(size);
  return value;
}

struct ShortcutContent {
  WideString target;
  WideString arguments;
  WideString iconPath;
  int iconIndex = -1;
};

// What a shortcut file holds, read through the shell's link object. Nothing when it cannot be read.
inline std::optional<ShortcutContent> ReadShortcut(WideView linkPath) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<ShortcutContent> content;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file))) &&
      SUCCEEDED(file->Load(WideString(linkPath).c_str(), STGM_READ))) {
    wchar_t target[MAX_PATH] = {}, arguments[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = -1;
    (void)link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    (void)link->GetArguments(arguments, MAX_PATH);
    (void)link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    content = ShortcutContent{target, arguments, icon, iconIndex};
  }
  if (file) file->Release();
  if (link) link->Release();
  if (SUCCEEDED(com)) CoUninitialize();
  return content;
}

// The visible top-level windows of a class that belong to any of the processes.
inline std::vector<HWND> WindowsOfProcesses(const wchar_t* windowClass, const std::vector<DWORD>& processIds) {
  std::vector<HWND> found;
  for (DWORD processId : processIds) {
    for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, nullptr); window;
         window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == processId && IsWindowVisible(window)) found.push_back(window);
    }
  }
  return found;
}


}  // namespace testing_support
