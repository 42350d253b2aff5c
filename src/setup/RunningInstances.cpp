#include "setup/RunningInstances.h"

#include "base/Process.h"
#include "setup/InstallPaths.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>

namespace {

// Only the main window and the scheduled-backups monitor are asked. A close request to the progress
// window of an unattended run means Cancel and would put the cancel question in front of the user.
constexpr const wchar_t* kClosableClasses[] = {L"BRIMLARK_CLASS", L"BRIMLARK_MONCLASS"};

WideString ImagePath(HANDLE process) {
  WideString path(32768, L'\0');
  auto length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return {};
  path.resize(length);
  return path;
}

struct CloseRequest {
  const std::vector<DWORD>* processIds;
};

BOOL CALLBACK PostCloseToMainWindow(HWND window, LPARAM data) {
  const auto& request = *reinterpret_cast<const CloseRequest*>(data);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (std::find(request.processIds->begin(), request.processIds->end(), processId) == request.processIds->end()) {
    return TRUE;
  }
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  for (const wchar_t* closable : kClosableClasses) {
    if (wcscmp(className, closable) == 0) PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

}  // namespace

std::vector<UniqueKernelHandle> OpenRunningInstances(WideView executablePath) {
  std::vector<UniqueKernelHandle> instances;
  WideView wantedName = text::FileNamePart(executablePath);
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return instances;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) continue;
    // The snapshot names each executable, so that only the processes of the same name are opened.
    if (!text::EqualsNoCase(text::FileNamePart(entry.szExeFile), wantedName)) continue;
    UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    WideString image = ImagePath(process.get());
    if (!SamePath(image, executablePath)) continue;
    if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) continue;
    instances.push_back(std::move(process));
  }
  return instances;
}

bool CloseRunningInstances(WideView executablePath, DWORD waitMs) {
  std::vector<UniqueKernelHandle> instances = OpenRunningInstances(executablePath);
  if (instances.empty()) return true;
  if (instances.size() > MAXIMUM_WAIT_OBJECTS) return false;
  std::vector<DWORD> processIds;
  std::vector<HANDLE> handles;
  for (const UniqueKernelHandle& instance : instances) {
    processIds.push_back(GetProcessId(instance.get()));
    handles.push_back(instance.get());
  }
  CloseRequest request{&processIds};
  EnumWindows(PostCloseToMainWindow, reinterpret_cast<LPARAM>(&request));
  return WaitPumpingMessages(handles.data(), handles.size(), waitMs);
}
