#include "app/OsVersion.h"

#include <windows.h>

#include <initializer_list>

namespace {

bool VersionHolds(DWORD major, int majorCondition, DWORD minor = 0, bool testMinor = false, DWORD build = 0) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.dwBuildNumber = build;
  DWORD mask = VER_MAJORVERSION;
  ULONGLONG condition = VerSetConditionMask(0, VER_MAJORVERSION, static_cast<BYTE>(majorCondition));
  if (testMinor) {
    mask |= VER_MINORVERSION;
    condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_EQUAL);
  }
  if (build != 0) {
    mask |= VER_BUILDNUMBER;
    condition = VerSetConditionMask(condition, VER_BUILDNUMBER, VER_GREATER_EQUAL);
  }
  return VerifyVersionInfoW(&info, mask, condition) != 0;
}

}  // namespace

double QueryOsVersion() {
  // GetVersionExW lies above Windows 8 for programs not manifested for newer systems, so it is trusted
  // only up to 6.2. It is looked up at run time because newer headers mark it deprecated.
  using GetVersionFunction = BOOL(WINAPI*)(OSVERSIONINFOW*);
  auto getVersion = reinterpret_cast<GetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Kernel32.dll"), "GetVersionExW")));
  if (getVersion) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (getVersion(&info)) {
      double version = info.dwMajorVersion + info.dwMinorVersion / 10.0;
      if (version > 0 && version <= 6.2) return version;
    }
  }

  if (VersionHolds(11, VER_GREATER_EQUAL)) return 11;
  if (VersionHolds(10, VER_GREATER_EQUAL)) return VersionHolds(10, VER_GREATER_EQUAL, 0, false, 22000) ? 11 : 10;

  for (DWORD major : {6u, 5u}) {
    if (!VersionHolds(major, VER_EQUAL)) continue;
    for (DWORD minor = 3; minor > 0; --minor) {
      if (VersionHolds(major, VER_EQUAL, minor, true)) return major + minor / 10.0;
    }
    return major;
  }
  return 0;
}
