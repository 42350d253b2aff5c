#include "base/Process.h"

#include "base/FileSystem.h"
#include "base/Registry.h"
#include "base/UniqueHandle.h"

#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// File-system redirection switched off for one call and back on after it. The functions are looked up
// at run time: they exist only where there is a 64-bit Windows underneath.
class RedirectionOff {
 public:
  explicit RedirectionOff(bool wanted) {
    if (!wanted) return;
    HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
    if (!kernel) return;
    auto disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    revert_ = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    // A 64-bit process, or one on 32-bit Windows, is refused: it has nothing to switch off.
    off_ = disable && revert_ && disable(&previous_);
  }
  ~RedirectionOff() {
    if (off_) revert_(previous_);
  }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  BOOL(WINAPI* revert_)(PVOID) = nullptr;
  PVOID previous_ = nullptr;
  bool off_ = false;
};

// Dispatches what is queued for this thread. False once WM_QUIT was taken: it is kept in quitCode for
// posting again when the wait is over, so that the caller's loop still ends.
bool PumpPending(std::optional<WPARAM>& quitCode) {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quitCode = message.wParam;
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

int Start(const wchar_t* program, WideString commandLine, WideView workingFolder, int showMode, unsigned flags,
          UniqueKernelHandle* keptProcess = nullptr) {
  bool wait = (flags & kLaunchWait) != 0;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showMode);
  PROCESS_INFORMATION process{};
  WideString folder(workingFolder);
  BOOL started = FALSE;
  {
    RedirectionOff redirection((flags & kLaunchNoRedirection) != 0);
    started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &startup, &process);
  }
  if (!started) return wait ? -1 : 0;
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  if (!wait) {
    if (keptProcess) *keptProcess = std::move(processHandle);
    return static_cast<int>(process.dwProcessId);
  }
  HANDLE handle = processHandle.get();
  (void)WaitPumpingMessages(&handle, 1, INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(handle, &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

WideString ExpandEnvironment(WideView value) {
  WideString source(value);
  DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
  if (needed == 0) return source;
  WideString expanded(needed, L'\0');
  DWORD written = ExpandEnvironmentStringsW(source.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed) return source;
  expanded.resize(written - 1);
  return expanded;
}

std::optional<WideString> ResolveProgramPart(WideView part) {
  WideString expanded = ExpandEnvironment(part);
  if (expanded.empty()) return std::nullopt;
  if (IsExistingFile(expanded)) return expanded;
  WideString withExtension = expanded + L".exe";
  if (IsExistingFile(withExtension)) return withExtension;
  return ResolveProgram(expanded);
}

bool IsBlankCharacter(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

bool WaitPumpingMessages(const HANDLE* handles, size_t count, DWORD timeoutMs) {
  std::vector<HANDLE> pending(handles, handles + std::min<size_t>(count, MAXIMUM_WAIT_OBJECTS));
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  std::optional<WPARAM> quitCode;
  bool pumping = true;
  bool allEnded = false;
  while (true) {
    std::erase_if(pending, [](HANDLE handle) { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; });
    if (pending.empty()) {
      allEnded = true;
      break;
    }
    ULONGLONG now = GetTickCount64();
    if (timeoutMs != INFINITE && now >= deadline) break;
    if (pumping) pumping = PumpPending(quitCode);
    // A short slice, so that the deadline and the other handles are looked at again soon.
    DWORD slice = timeoutMs == INFINITE ? 10 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10));
    auto waitCount = static_cast<DWORD>(pending.size());
    if (pumping) {
      (void)MsgWaitForMultipleObjects(waitCount, pending.data(), FALSE, slice, QS_ALLINPUT);
    } else {
      (void)WaitForMultipleObjects(waitCount, pending.data(), FALSE, slice);
    }
  }
  if (quitCode) PostQuitMessage(static_cast<int>(*quitCode));
  return allEnded;
}

int LaunchProcess(WideView program, WideView arguments, WideView workingFolder, int showMode, unsigned flags) {
  bool wait = (flags & kLaunchWait) != 0;
  if (program.empty() || arguments.size() > kMaxArgumentText) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return wait ? -1 : 0;
  }
  WideString programText(program);
  return Start(programText.c_str(), WideString(arguments), workingFolder, showMode, flags);
}

LaunchedProcess LaunchProcessKeepingHandle(WideView program, WideView arguments, WideView workingFolder,
                                           int showMode, unsigned flags) {
  LaunchedProcess launched;
  if (program.empty() || arguments.size() > kMaxArgumentText) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return launched;
  }
  WideString programText(program);
  int id = Start(programText.c_str(), WideString(arguments), workingFolder, showMode, flags & ~kLaunchWait,
                 &launched.process);
  launched.processId = id > 0 ? static_cast<DWORD>(id) : 0;
  return launched;
}

int RunCommandLine(WideView commandLine, int showMode, unsigned flags) {
  WideView line = commandLine;
  while (!line.empty() && IsBlankCharacter(line.front())) line.remove_prefix(1);

  std::optional<WideString> program;
  WideView rest;
  if (!line.empty() && line.front() == L'"') {
    size_t closing = line.find(L'"', 1);
    if (closing != WideView::npos) {
      program = ResolveProgramPart(line.substr(1, closing - 1));
      rest = line.substr(closing + 1);
    }
  } else {
    // The whole text first, then ever shorter prefixes ending before a blank: "C:\Program Files\x.exe /a"
    // finds the program whose path holds a blank, and "notepad a.txt" the program on the search path.
    for (size_t end = line.size(); end > 0 && !program; end = line.find_last_of(L" \t", end - 1)) {
      if (end == WideView::npos) break;
      if (end < line.size() && end > 0 && IsBlankCharacter(line[end - 1])) continue;  // a run of blanks
      program = ResolveProgramPart(line.substr(0, end));
      rest = line.substr(end);
    }
  }
  if (program) {
    return LaunchProcess(*program, rest, text::FolderPart(*program), showMode, flags);
  }
  if (line.size() > kMaxArgumentText) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return (flags & kLaunchWait) ? -1 : 0;
  }
  return Start(nullptr, WideString(line), {}, showMode, flags);
}

DWORD OpenWithShell(WideView file) {
  WideString target(file);
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof(execute);
  // A failure is told by the result, as everywhere in the program: no system error box.
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  execute.lpFile = target.c_str();
  execute.nShow = SW_SHOW;
  if (!ShellExecuteExW(&execute)) return 0;
  if (!execute.hProcess) return 1;
  UniqueKernelHandle process(execute.hProcess);
  DWORD id = GetProcessId(process.get());
  return id != 0 ? id : 1;
}
