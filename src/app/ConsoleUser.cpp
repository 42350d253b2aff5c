#include "app/ConsoleUser.h"

#include "base/Regex.h"

#include <windows.h>
#include <wtsapi32.h>

WideString QueryConsoleUserName() {
  DWORD session = WTSGetActiveConsoleSessionId();
  if (session == 0xFFFFFFFF) return {};
  LPWSTR name = nullptr;
  DWORD bytes = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &name, &bytes) || !name) {
    return {};
  }
  // The name is held in a buffer of 128 characters.
  WideString result(text::View(name).substr(0, 127));
  WTSFreeMemory(name);
  return result;
}

WideString RemoveForbiddenFileNameCharacters(WideView name) {
  static const Regex forbidden(L"\\\\|/|:|\\*|\\?|\"|<|>|\\|");
  WideString cleaned;
  if (!forbidden.ReplaceAll(name, L"", cleaned)) return WideString(name);
  return cleaned;
}
