#pragma once
// Helpers for tests that work on real files under Wine or Windows.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the temporary folder, deleted with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const WideString& path() const { return path_; }
  // path() + "\" + relative
  [[nodiscard]] WideString operator/(WideView relative) const;

 private:
  WideString path_;
};

struct FileContent {
  explicit FileContent(std::string content, DWORD fileAttributes = 0, std::optional<FILETIME> writeTime = std::nullopt)
      : bytes(std::move(content)), attributes(fileAttributes), lastWriteTime(writeTime) {}

  std::string bytes;
  DWORD attributes = 0;                     // 0 leaves the attributes the system gives
  std::optional<FILETIME> lastWriteTime;    // also used for creation and last access when set
};

// Writes the file (creating its folders) with exactly the given bytes, then applies time and attributes.
bool WriteTestFile(WideView path, const FileContent& content);
bool WriteTestFile(WideView path, std::string_view bytes);
[[nodiscard]] std::string ReadTestFile(WideView path);
bool MakeTestFolder(WideView path);

// A file held open without any sharing, so that other openers fail with a sharing violation.
class HeldOpenFile {
 public:
  explicit HeldOpenFile(WideView path);
  [[nodiscard]] bool held() const { return handle_.valid(); }
  void Release() { handle_.reset(); }

 private:
  UniqueHandle handle_;
};

// Another process holding a file open for reading with read and delete sharing, as indexers and virus
// scanners do: the file can be deleted meanwhile, but the delete only takes effect when the holder lets go.
// The holder is the test program hold_file.exe beside the test executable.
class FileHeldByAnotherProcess {
 public:
  explicit FileHeldByAnotherProcess(WideView path);
  ~FileHeldByAnotherProcess() { Release(); }
  FileHeldByAnotherProcess(const FileHeldByAnotherProcess&) = delete;
  FileHeldByAnotherProcess& operator=(const FileHeldByAnotherProcess&) = delete;
  // True once the holder reported that it has the file open.
  [[nodiscard]] bool held() const { return held_; }
  // Ends the holder and waits until it is gone.
  void Release();

 private:
  UniqueKernelHandle process_;
  bool held_ = false;
};

// The exit code a RunningProgram gives the process it kills.
inline constexpr UINT kKilledExitCode = 0xDEAD;

// A child process (the real executable, say), ended by force if the test leaves before it ends.
class RunningProgram {
 public:
  // workingFolder: the child's current folder; empty: this process's. standardOutput: an inheritable
  // handle the child's standard output goes to.
  bool Start(WideView program, WideView arguments, WideView workingFolder = {}, HANDLE standardOutput = nullptr) {
    WideString commandLine = text::Concat(L"\"", program, L"\" ", arguments);
    WideString programText(program);
    WideString folder(workingFolder);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (standardOutput) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = standardOutput;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(programText.c_str(), commandLine.data(), nullptr, nullptr, standardOutput != nullptr, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
      return false;
    }
    process_.reset(process.hProcess);
    CloseHandle(process.hThread);
    return true;
  }

  ~RunningProgram() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), kKilledExitCode);
      WaitForSingleObject(process_.get(), 10000);
    }
  }

  // True when the process has ended within timeoutMs.
  bool WaitForEnd(DWORD timeoutMs) { return WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0; }
  [[nodiscard]] DWORD ProcessId() const { return GetProcessId(process_.get()); }
  // True once the program waits for input with none waiting (its windows built and its start-up events
  // handled), within timeoutMs.
  bool WaitForIdle(DWORD timeoutMs) { return WaitForInputIdle(process_.get(), timeoutMs) == 0; }
  // The exit code of the ended process (STILL_ACTIVE while it runs).
  [[nodiscard]] DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

  // Kills the process and waits for it; true when it was this kill that ended it.
  bool Kill() {
    TerminateProcess(process_.get(), kKilledExitCode);
    if (!WaitForEnd(10000)) return false;
    DWORD exitCode = 0;
    return GetExitCodeProcess(process_.get(), &exitCode) && exitCode == kKilledExitCode;
  }

 private:
  UniqueKernelHandle process_;
};

// The first visible top-level window of a class that belongs to a process (tests run side by side, each
// with windows of the same classes).
[[nodiscard]] HWND FindProcessWindow(const wchar_t* windowClass, DWORD processId);

// Polls condition until it holds or timeoutMs pass; returns its last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// The Linux path of a file under Wine; empty elsewhere.
[[nodiscard]] std::string UnixPathOf(WideView path);
// Under 64-bit Wine: sets the length of a file straight through the Linux kernel, as a Linux program
// would, past the sharing rules that keep Windows programs from changing a file being read. False
// elsewhere or when it fails.
bool ResizeAsLinuxProgram(const std::string& unixPath, uint64_t length);

// Under 64-bit Wine: creates (or replaces) a file with these bytes straight through the Linux kernel, as a
// Linux program would: in a Linux folder, a name that differs only in case from an existing one makes a
// second file, which Windows calls would take for the first. False elsewhere or when it fails.
bool WriteAsLinuxProgram(const std::string& unixPath, std::string_view bytes);

// The bytes of a file the INI store writes: UTF-16LE with its byte-order mark.
[[nodiscard]] std::string Utf16FileBytes(WideView text);
// The messages of an error log file, in file order (the values of its key lines).
[[nodiscard]] std::vector<WideString> ReadLogMessages(WideView logPath);

[[nodiscard]] bool IsWine();
[[nodiscard]] FILETIME MakeFileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
[[nodiscard]] DWORD AttributesOf(WideView path);
[[nodiscard]] bool Exists(WideView path);
// Everything below a folder by its path relative to it ("sub\\a.txt"): a file's bytes, or "<folder>".
// The entries named in leaveOut (relative paths) are left out with everything in them.
[[nodiscard]] std::map<WideString, std::string> TreeOf(WideView folder, const std::vector<WideString>& leaveOut = {});

// The folder that holds the running test executable (and Brimlark.exe beside it).
[[nodiscard]] WideString ExecutableFolder();

// Runs a program with arguments (in workingFolder, when given), waits up to timeoutMs and returns its exit
// code (or -1).
[[nodiscard]] int RunProgram(WideView program, WideView arguments, DWORD timeoutMs = 60000, WideView workingFolder = {});

}  // namespace testing_support
