#include "app/CommandLine.h"

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"

#include <windows.h>
#include <shellapi.h>

namespace {

bool IsSwitch(WideView argument, WideView name) {
  if (argument.size() != name.size() + 1 || (argument[0] != L'/' && argument[0] != L'-')) return false;
  return text::EqualsNoCase(argument.substr(1), name);
}

}  // namespace

CommandLineRequest ParseCommandLine(const wchar_t* commandLine) {
  CommandLineRequest request;
  // An empty text would make the splitter report the program's own path as the only argument.
  if (text::Trim(text::View(commandLine)).empty()) return request;

  int count = 0;
  UniqueLocalMemory argumentsMemory(CommandLineToArgvW(commandLine, &count));
  if (!argumentsMemory) return request;
  auto** arguments = static_cast<wchar_t**>(argumentsMemory.get());

  for (int i = 0; i < count; ++i) {
    WideView argument = arguments[i];
    if (IsSwitch(argument, L"Passive")) {
      request.uiMode = UiMode::kPassive;
    } else if (IsSwitch(argument, L"Quiet")) {
      request.uiMode = UiMode::kQuiet;
    } else if (text::EndsWith(argument, L".brlk", false)) {
      // A batch file run from the job's folder names it relative to there; the current folder may change
      // later (a file dialog sets it), so the path is made full at once.
      WideString path = CanonicalPath(argument);
      if (IsExistingFile(path)) {
        request.settingsFileToLoad = std::move(path);
        request.missingSettingsFile.clear();
      } else {
        request.missingSettingsFile = std::move(path);
      }
    } else if (IsSwitch(argument, L"Preview")) {
      request.preview = true;
      request.previewReport.clear();
    } else if (argument.size() >= 9 && IsSwitch(argument.substr(0, 8), L"Preview") && argument[8] == L':') {
      // Made full at once, like a settings file; nothing after the colon means the console. Quotes around
      // the path only (/Preview:"C:\My reports\a.txt") are not removed by every splitter, and no file name
      // holds one.
      request.preview = true;
      WideString report = text::ReplaceAll(argument.substr(9), L"\"", L"");
      request.previewReport = report.empty() ? report : CanonicalPath(report);
    } else if (IsSwitch(argument, L"Uninstall")) {
      request.uninstall = true;
      break;
    } else if (text::EqualsNoCase(argument, L"/PostUpdate")) {
      request.removeUpdateTemp = true;
      request.startFlags |= kStartNoUpdate;
    } else if (text::EqualsNoCase(argument, L"/NoUpdate")) {
      request.startFlags |= kStartNoUpdate;
    } else if (text::EqualsNoCase(argument, L"/ScheduledBackups")) {
      request.startFlags |= kStartScheduledBackups;
    }
  }
  return request;
}
