#include "base/AppPaths.h"

#include <windows.h>

AppPaths DeriveAppPaths(WideView modulePath, WideView consoleUserName) {
  AppPaths paths;
  paths.modulePath = WideString(modulePath);
  // Cut at the last backslash unless it is one of the first two characters (a bare "\x" or "C\").
  size_t slash = modulePath.rfind(L'\\');
  paths.appDirectory = (slash != WideView::npos && slash >= 2) ? WideString(modulePath.substr(0, slash))
                                                                : WideString(modulePath);
  paths.appIniPath = text::Concat(paths.appDirectory, L"\\Brimlark.ini");
  paths.defaultSettingsPath = text::Concat(paths.appDirectory, L"\\", consoleUserName, L".brlk");
  paths.errorLogPath = text::Concat(paths.appDirectory, L"\\Brimlark_ErrorLog.txt");
  paths.historyPath = text::Concat(paths.appDirectory, L"\\Brimlark_History.txt");
  // "...\Brimlark.exe" becomes "...\Brimlark.temp.exe".
  WideView stem = modulePath.substr(0, modulePath.size() >= 3 ? modulePath.size() - 3 : 0);
  paths.updateTempPath = text::Concat(stem, L"temp.exe");
  return paths;
}

WideString QueryModulePath() {
  wchar_t buffer[1024];
  DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  if (length == 0 || length >= std::size(buffer)) return {};
  return WideString(buffer, length);
}
