#include "run/PairChecks.h"

#include "jobs/PathRelation.h"

#include "base/FileSystem.h"

#include <windows.h>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// A path in the form two paths can be compared in: 8.3 names spelt out, lower case, with the long-path
// prefix (which a canonical path may carry or not) removed.
WideString ComparablePath(const WideString& canonical) {
  WideString path = canonical;
  if (text::StartsWith(path, L"\\\\?\\")) path.erase(0, 4);
  if (path.find(L'~') != WideString::npos) {
    // The longest part that exists is spelt out by the system; the rest cannot be a short name.
    WideString existing = path, tail;
    while (existing.size() > 3) {
      DWORD needed = GetLongPathNameW(existing.c_str(), nullptr, 0);
      if (needed != 0) {
        WideString expanded(needed, L'\0');
        DWORD length = GetLongPathNameW(existing.c_str(), expanded.data(), needed);
        if (length != 0 && length < needed) {
          expanded.resize(length);
          path = text::Concat(expanded, tail);
        }
        break;
      }
      size_t slash = existing.rfind(L'\\');
      if (slash == WideString::npos || slash < 3) break;
      tail = text::Concat(existing.substr(slash), tail);
      existing.resize(slash);
    }
  }
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return text::ToLower(path);
}

// One folder is the other or lies inside it. Both are compared without regard to case.
// The same test as the pair editor's, on the forms the run compares; an empty form is a server's root,
// which holds everything on it.
bool Nested(const WideString& a, const WideString& b, wchar_t separator) {
  if (a.empty() || b.empty()) return true;
  return RelationOf(a, b, separator) != PathRelation::kUnrelated;
}

// Remote directories as "/a/b", without doubled or trailing slashes.
WideString ComparableRemotePath(const WideString& directory) {
  WideString path = text::Concat(L"/", directory);
  while (path.find(L"//") != WideString::npos) path = text::ReplaceAll(path, L"//", L"/");
  while (!path.empty() && path.back() == L'/') path.pop_back();
  return text::ToLower(path);
}

}  // namespace

bool HasControlCharacter(WideView text) {
  for (wchar_t c : text) {
    if (c < 0x20) return true;
  }
  return false;
}

WideString Printable(WideView text) {
  WideString result(text);
  for (wchar_t& c : result) {
    if (c < 0x20) c = L'?';
  }
  return result;
}

bool IsFullPath(WideView path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) return true;
  if (path.size() < 5 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
  size_t serverEnd = 2;
  while (serverEnd < path.size() && !IsSeparator(path[serverEnd])) ++serverEnd;
  return serverEnd > 2 && serverEnd + 1 < path.size();
}

bool LocalFoldersOverlap(WideView a, WideView b) {
  return Nested(ComparablePath(CanonicalPath(a)), ComparablePath(CanonicalPath(b)), L'\\');
}

bool RemoteFoldersOverlap(const FtpLocation& a, const FtpLocation& b) {
  if (!text::EqualsNoCase(a.server, b.server) || a.PortNumber() != b.PortNumber()) return false;
  return Nested(ComparableRemotePath(a.remoteDirectory), ComparableRemotePath(b.remoteDirectory), L'/');
}
