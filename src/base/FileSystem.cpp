#include "base/FileSystem.h"

#include "base/UniqueHandle.h"

#include <algorithm>

namespace {

constexpr WideView kLongPrefix = L"\\\\?\\";

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Index just past the root of a long-form or UNC path ("\\?\C:\", "\\server\share\",
// "\\?\UNC\server\share\"), so that creation level by level never tries to create a root.
size_t RootLength(WideView path) {
  size_t at = 0;
  if (text::StartsWith(path, kLongPrefix)) {
    at = kLongPrefix.size();
    if (path.size() >= at + 2 && IsDriveLetter(path[at]) && path[at + 1] == L':') {
      return std::min(path.size(), at + 3);
    }
    if (!text::StartsWith(path.substr(at), L"UNC\\", false)) return at;
    at += 4;
  } else if (text::StartsWith(path, L"\\\\")) {
    at = 2;
  } else if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
    return std::min(path.size(), size_t{3});
  } else {
    return 0;
  }
  // Server and share names.
  for (int piece = 0; piece < 2 && at < path.size(); ++piece) {
    size_t slash = path.find(L'\\', at);
    at = slash == WideView::npos ? path.size() : slash + 1;
  }
  return at;
}

}  // namespace

WideString LongPathForm(WideView path) {
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') return text::Concat(kLongPrefix, path);
  return WideString(path);
}

WideString JoinPath(WideView folder, WideView name) {
  if (!folder.empty() && folder.back() == L'\\') return text::Concat(folder, name);
  return text::Concat(folder, L"\\", name);
}

WideString CanonicalPath(WideView path) {
  WideString input(path);
  DWORD needed = GetFullPathNameW(input.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return input;
  WideString full(needed, L'\0');
  DWORD length = GetFullPathNameW(input.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return input;
  full.resize(length);
  while (full.size() > RootLength(full) && full.back() == L'\\') full.pop_back();
  return full;
}

bool IsExistingFolder(WideView path) {
  DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFile(WideView path) {
  DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(WideView path, DWORD attributes) {
  if (path.size() < 3) return false;
  WideString target = LongPathForm(path);
  while (target.size() > RootLength(target) && target.back() == L'\\') target.pop_back();

  // A bare drive ("\\?\C:") stands for its root, which cannot be created, only be there.
  if (target.size() == kLongPrefix.size() + 2 && text::StartsWith(target, kLongPrefix) &&
      IsDriveLetter(target[4]) && target[5] == L':') {
    target += L'\\';
    UINT type = GetDriveTypeW(target.c_str() + kLongPrefix.size());
    return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
  }

  if (!IsExistingFolder(target)) {
    if (!CreateDirectoryW(target.c_str(), nullptr)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Either another process was quicker, or something that is no folder (a file) stands there.
        if (!IsExistingFolder(target)) return false;
      } else {
        size_t rootLength = RootLength(target);
        for (size_t slash = target.find(L'\\', rootLength);; slash = target.find(L'\\', slash + 1)) {
          WideString level = target.substr(0, slash);
          if (!IsExistingFolder(level) && !CreateDirectoryW(level.c_str(), nullptr) &&
              GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
          }
          if (slash == WideString::npos) break;
        }
        if (!IsExistingFolder(target)) return false;
      }
    }
  }

  if (attributes != kNoAttributes) {
    DWORD current = GetFileAttributesW(target.c_str());
    if (current == INVALID_FILE_ATTRIBUTES) return false;
    DWORD wanted = (current | attributes) & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesW(target.c_str(), wanted)) return false;
  }
  return true;
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
  auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

uint64_t FileSize(WideView path) {
  WideString longPath = LongPathForm(path);
  UniqueHandle file(CreateFileW(longPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  LARGE_INTEGER size{};
  if (file && GetFileSizeEx(file.get(), &size)) return static_cast<uint64_t>(size.QuadPart);

  WIN32_FIND_DATAW found;
  UniqueFindHandle listing(FindFirstFileW(longPath.c_str(), &found));
  if (!listing) return 0;
  return (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}
