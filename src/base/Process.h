#pragma once
// Starting other programs: a program with its argument text, a command line as a person would type it,
// and a document or link through the shell.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

enum LaunchFlags : unsigned {
  // Wait for the process to end, handling this thread's messages meanwhile so that its windows stay
  // answered; the result is then the exit code.
  kLaunchWait = 0x01,
  // A 32-bit process under 64-bit Windows starts the program with file-system redirection off, so that
  // "System32" means the real one.
  kLaunchNoRedirection = 0x02,
};

// The longest argument text handed to a process.
inline constexpr size_t kMaxArgumentText = 32000;

// Starts program with arguments as its command line exactly as given: callers begin it with a blank, so
// that the started program's start-up code, which skips a first word as its own name, skips nothing.
// workingFolder may be empty (this process's). showMode is an SW_ value. Returns the process id, or 0
// when it did not start; with kLaunchWait the exit code, or -1 when it did not start.
int LaunchProcess(WideView program, WideView arguments, WideView workingFolder, int showMode, unsigned flags = 0);

// A started process with its handle kept, for a caller that wants to know later whether it still runs.
struct LaunchedProcess {
  DWORD processId = 0;  // 0 when it did not start
  UniqueKernelHandle process;
};
// As LaunchProcess without waiting (kLaunchWait is ignored).
[[nodiscard]] LaunchedProcess LaunchProcessKeepingHandle(WideView program, WideView arguments,
                                                         WideView workingFolder, int showMode, unsigned flags = 0);

// Runs a command line: the program is the quoted prefix, or else the longest prefix before a blank that
// names a program (as a file, with ".exe" added, or through the search path and App Paths, after expanding
// environment variables); the rest is the argument text, and the program's folder the working folder.
// When no prefix names a program, the whole text goes to the system as the command line. Results as for
// LaunchProcess.
int RunCommandLine(WideView commandLine, int showMode, unsigned flags = 0);

// Opens a file, folder or address as the shell would on a double click, shown normally. Returns the
// process id, 1 when the shell started no process of its own (or gave none back), 0 on failure (which the
// shell does not report to the user: the caller decides).
DWORD OpenWithShell(WideView file);

// Waits until every handle is signalled or timeoutMs have passed (INFINITE: no limit), handling this
// thread's messages meanwhile. At most MAXIMUM_WAIT_OBJECTS handles. True when all were signalled.
bool WaitPumpingMessages(const HANDLE* handles, size_t count, DWORD timeoutMs);
