#include "base/Registry.h"

#include <shlwapi.h>

#include <vector>

namespace {

struct RootName {
  const wchar_t* shortName;
  const wchar_t* longName;
  HKEY key;
};

const RootName kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKU", L"HKEY_USERS", HKEY_USERS},
    {L"HKCC", L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

constexpr WideView kAppPathsKey = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

bool IsMissing(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

bool Failed(LSTATUS status) {
  if (status == ERROR_SUCCESS) return false;
  SetLastError(static_cast<DWORD>(status));
  return true;
}

// The names of a key's direct subkeys. False when they could not all be read.
bool ListSubkeys(HKEY key, std::vector<WideString>& names) {
  DWORD longest = 0;
  if (Failed(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr))) {
    return false;
  }
  WideString name(longest + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    LSTATUS status = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return true;
    if (status == ERROR_MORE_DATA) {  // a longer name came in since the query: read this index again
      name.resize(name.size() * 2 + 256);
      --index;
      continue;
    }
    if (Failed(status)) return false;
    names.emplace_back(name.data(), length);
  }
}

// Children first: the registry refuses to delete a key that still has subkeys.
bool DeleteKeyAndBelow(HKEY root, const WideString& subkey, REGSAM view) {
  std::vector<WideString> children;
  {
    HKEY raw = nullptr;
    LSTATUS status = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | view, &raw);
    if (IsMissing(status)) return true;
    if (Failed(status)) return false;
    UniqueHKey key(raw);
    if (!ListSubkeys(key.get(), children)) return false;
  }
  // Every child is tried, so that one that cannot go does not keep its siblings.
  bool allGone = true;
  for (const WideString& child : children) {
    if (!DeleteKeyAndBelow(root, text::Concat(subkey, L"\\", child), view)) allGone = false;
  }
  if (!allGone) return false;
  LSTATUS status = RegDeleteKeyExW(root, subkey.c_str(), view, 0);
  return IsMissing(status) || !Failed(status);
}

// PathFindOnPathW takes the name as it is, and a program is named without its ".exe" as often as with it.
std::optional<WideString> FindOnSearchPath(WideView name) {
  for (WideView extension : {WideView(), WideView(L".exe")}) {
    if (!extension.empty() && !text::ExtensionPart(name).empty()) break;
    if (name.size() + extension.size() >= MAX_PATH) break;
    wchar_t found[MAX_PATH] = {};
    name.copy(found, name.size());
    extension.copy(found + name.size(), extension.size());
    if (PathFindOnPathW(found, nullptr)) return WideString(found);
  }
  return std::nullopt;
}

WideString WithoutSurroundingQuotes(WideString value) {
  if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::optional<RegistryPath> ParseRegistryPath(WideView path) {
  size_t slash = path.find(L'\\');
  WideView rootText = path.substr(0, slash);
  RegistryPath parsed;
  if (slash != WideView::npos) parsed.subkey = WideString(path.substr(slash + 1));
  if (text::EndsWith(rootText, L"64")) {
    parsed.view = KEY_WOW64_64KEY;
    rootText.remove_suffix(2);
  } else if (text::EndsWith(rootText, L"32")) {
    parsed.view = KEY_WOW64_32KEY;
    rootText.remove_suffix(2);
  }
  for (const RootName& root : kRoots) {
    if (text::EqualsNoCase(rootText, root.shortName) || text::EqualsNoCase(rootText, root.longName)) {
      parsed.root = root.key;
      return parsed;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return std::nullopt;
}

UniqueHKey OpenRegistryKey(WideView path, REGSAM access) {
  std::optional<RegistryPath> parsed = ParseRegistryPath(path);
  if (!parsed) return {};
  HKEY key = nullptr;
  if (Failed(RegOpenKeyExW(parsed->root, parsed->subkey.c_str(), 0, access | parsed->view, &key))) return {};
  return UniqueHKey(key);
}

UniqueHKey CreateRegistryKey(WideView path, REGSAM access) {
  std::optional<RegistryPath> parsed = ParseRegistryPath(path);
  if (!parsed) return {};
  HKEY key = nullptr;
  if (Failed(RegCreateKeyExW(parsed->root, parsed->subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             access | parsed->view, nullptr, &key, nullptr))) {
    return {};
  }
  return UniqueHKey(key);
}

bool RegistryKeyExists(WideView path) { return OpenRegistryKey(path, KEY_READ).valid(); }

bool SetRegistryValue(WideView path, WideView valueName, DWORD type, const void* data, DWORD size) {
  UniqueHKey key = CreateRegistryKey(path, KEY_SET_VALUE);
  if (!key) return false;
  WideString name(valueName);
  return !Failed(RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, type,
                                static_cast<const BYTE*>(data), size));
}

bool SetRegistryString(WideView path, WideView valueName, WideView value, DWORD type) {
  WideString terminated(value);
  auto size = static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t));
  return SetRegistryValue(path, valueName, type, terminated.c_str(), size);
}

std::optional<WideString> ReadRegistryString(WideView path, WideView valueName) {
  UniqueHKey key = OpenRegistryKey(path, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  WideString name(valueName);
  const wchar_t* namePointer = name.empty() ? nullptr : name.c_str();
  std::vector<BYTE> data(256);
  DWORD type = 0;
  while (true) {
    auto size = static_cast<DWORD>(data.size());
    LSTATUS status = RegQueryValueExW(key.get(), namePointer, nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      data.resize(size + sizeof(wchar_t));
      continue;
    }
    if (Failed(status)) return std::nullopt;
    data.resize(size);
    break;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    SetLastError(ERROR_INVALID_DATATYPE);
    return std::nullopt;
  }
  WideString value(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

bool DeleteRegistryTree(WideView path) {
  std::optional<RegistryPath> parsed = ParseRegistryPath(path);
  if (!parsed) return false;
  if (parsed->subkey.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return DeleteKeyAndBelow(parsed->root, parsed->subkey, parsed->view);
}

std::optional<WideString> ResolveProgram(WideView name) {
  if (name.empty()) return std::nullopt;
  if (std::optional<WideString> found = FindOnSearchPath(name)) return found;
  // A name with a drive or a folder in it was meant as a path, and a path is not a registration.
  if (name.size() <= 1 || name[1] == L':' || name.find(L'\\') != WideView::npos) return std::nullopt;

  WideString key = text::Concat(kAppPathsKey, name);
  if (!text::EndsWith(name, L".exe", false)) key += L".exe";
  std::optional<WideString> registered = ReadRegistryString(key, L"");
  if (!registered || registered->empty()) return std::nullopt;
  wchar_t expanded[4096];
  DWORD length = ExpandEnvironmentStringsW(registered->c_str(), expanded, 4096);
  if (length == 0 || length > 4096) return std::nullopt;
  return WithoutSurroundingQuotes(WideString(expanded));
}
