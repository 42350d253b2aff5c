#include "TestSupport.h"

#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"

#include <algorithm>

namespace testing_support {

namespace {

void RemoveTree(const WideString& folder) {
  DirectoryIterator entries;
  for (bool found = entries.Open(folder + L"\\*", DirectoryIterator::kAll); found; found = entries.Next()) {
    WideString child = folder + L"\\" + entries.name();
    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (entries.IsDirectory() && !entries.IsReparsePoint()) {
      RemoveTree(child);
    } else if (entries.IsDirectory()) {
      RemoveDirectoryW(child.c_str());
    } else {
      DeleteFileW(child.c_str());
    }
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  static LONG counter = 0;
  WideString candidate;
  do {
    candidate = text::Concat(base, L"brlk-test-", text::Hex(GetCurrentProcessId()), L"-",
                             text::Hex(static_cast<uint64_t>(InterlockedIncrement(&counter))), L"-",
                             text::Hex(GetTickCount64()));
  } while (!CreateDirectoryW(candidate.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
  path_ = candidate;
}

TempFolder::~TempFolder() { RemoveTree(LongPathForm(path_)); }

WideString TempFolder::operator/(WideView relative) const { return text::Concat(path_, L"\\", relative); }

bool MakeTestFolder(WideView path) {
  return CreateDirectoryW(LongPathForm(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteTestFile(WideView path, const FileContent& content) {
  WideString longPath = LongPathForm(path);
  WideString folder(text::FolderPart(path));
  for (size_t slash = folder.find(L'\\', 3); slash != WideString::npos; slash = folder.find(L'\\', slash + 1)) {
    MakeTestFolder(folder.substr(0, slash));
  }
  MakeTestFolder(folder);
  {
    UniqueHandle file(CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!content.bytes.empty() &&
        (!WriteFile(file.get(), content.bytes.data(), static_cast<DWORD>(content.bytes.size()), &written, nullptr) ||
         written != content.bytes.size())) {
      return false;
    }
    if (content.lastWriteTime) {
      const FILETIME& time = *content.lastWriteTime;
      if (!SetFileTime(file.get(), &time, &time, &time)) return false;
    }
  }
  if (content.attributes != 0 && !SetFileAttributesW(longPath.c_str(), content.attributes)) return false;
  return true;
}

bool WriteTestFile(WideView path, std::string_view bytes) { return WriteTestFile(path, FileContent(std::string(bytes))); }

std::string ReadTestFile(WideView path) {
  UniqueHandle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

HeldOpenFile::HeldOpenFile(WideView path)
    : handle_(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

FileHeldByAnotherProcess::FileHeldByAnotherProcess(WideView path) {
  WideString marker = text::Concat(path, L".held-marker");
  DeleteFileW(LongPathForm(marker).c_str());
  WideString program = text::Concat(ExecutableFolder(), L"\\hold_file.exe");
  WideString commandLine = text::Concat(L"\"", program, L"\" \"", path, L"\" \"", marker, L"\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  CloseHandle(process.hThread);
  process_.reset(process.hProcess);
  held_ = WaitUntil([&] { return Exists(marker) || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }) &&
          Exists(marker);
  DeleteFileW(LongPathForm(marker).c_str());
}

void FileHeldByAnotherProcess::Release() {
  if (!process_) return;
  TerminateProcess(process_.get(), 0);
  WaitForSingleObject(process_.get(), 10000);
  process_.reset();
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= deadline) return condition();
    Sleep(1);
  }
  return true;
}

std::string UnixPathOf(WideView path) {
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unixPath = toUnix(WideString(path).c_str());
  if (!unixPath) return {};
  std::string result = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

bool ResizeAsLinuxProgram(const std::string& unixPath, uint64_t length) {
#if defined(__x86_64__)
  if (!IsWine() || unixPath.empty()) return false;
  constexpr long kLinuxTruncate = 76;
  long result = 0;
  asm volatile("syscall"
               : "=a"(result)
               : "a"(kLinuxTruncate), "D"(unixPath.c_str()), "S"(static_cast<long>(length))
               : "rcx", "r11", "memory");
  return result == 0;
#else
  (void)unixPath;
  (void)length;
  return false;
#endif
}

bool WriteAsLinuxProgram(const std::string& unixPath, std::string_view bytes) {
#if defined(__x86_64__)
  if (!IsWine() || unixPath.empty()) return false;
  using Word = long long;  // a Linux register, which Windows' long is not
  auto call = [](Word number, Word a, Word b, Word c) {
    Word result = 0;
    asm volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
    return result;
  };
  constexpr Word kOpen = 2, kWrite = 1, kClose = 3;
  constexpr Word kWriteCreateTruncate = 01 | 0100 | 01000;
  Word descriptor = call(kOpen, reinterpret_cast<Word>(unixPath.c_str()), kWriteCreateTruncate, 0644);
  if (descriptor < 0) return false;
  Word written = call(kWrite, descriptor, reinterpret_cast<Word>(bytes.data()), static_cast<Word>(bytes.size()));
  call(kClose, descriptor, 0, 0);
  return written == static_cast<Word>(bytes.size());
#else
  (void)unixPath;
  (void)bytes;
  return false;
#endif
}

std::string Utf16FileBytes(WideView text) {
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return bytes;
}

std::vector<WideString> ReadLogMessages(WideView logPath) {
  std::string bytes = ReadTestFile(logPath);
  std::vector<WideString> messages;
  if (bytes.size() < 2) return messages;
  WideString content(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
  for (const WideString& line : text::Split(content, L"\r\n")) {
    size_t equals = line.find(L'=');
    if (!line.empty() && line[0] != L'[' && equals != WideString::npos) messages.push_back(line.substr(equals + 1));
  }
  return messages;
}

bool IsWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(year);
  system.wMonth = static_cast<WORD>(month);
  system.wDay = static_cast<WORD>(day);
  system.wHour = static_cast<WORD>(hour);
  system.wMinute = static_cast<WORD>(minute);
  system.wSecond = static_cast<WORD>(second);
  FILETIME file{};
  SystemTimeToFileTime(&system, &file);
  return file;
}

DWORD AttributesOf(WideView path) { return GetFileAttributesW(LongPathForm(path).c_str()); }

bool Exists(WideView path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

namespace {

void AddTree(const WideString& folder, const WideString& relative, const std::vector<WideString>& leaveOut,
             std::map<WideString, std::string>& tree) {
  DirectoryIterator listing;
  for (bool more = listing.Open(text::Concat(folder, L"\\*"), DirectoryIterator::kAll); more; more = listing.Next()) {
    WideString path = relative.empty() ? WideString(listing.name()) : text::Concat(relative, L"\\", listing.name());
    if (std::find(leaveOut.begin(), leaveOut.end(), path) != leaveOut.end()) continue;
    WideString full = text::Concat(folder, L"\\", listing.name());
    if (listing.IsDirectory()) {
      tree[path] = "<folder>";
      AddTree(full, path, leaveOut, tree);
    } else {
      tree[path] = ReadTestFile(full);
    }
  }
}

}  // namespace

std::map<WideString, std::string> TreeOf(WideView folder, const std::vector<WideString>& leaveOut) {
  std::map<WideString, std::string> tree;
  AddTree(WideString(folder), L"", leaveOut, tree);
  return tree;
}

WideString ExecutableFolder() {
  wchar_t buffer[1024];
  DWORD length = GetModuleFileNameW(nullptr, buffer, 1024);
  return WideString(text::FolderPart(WideView(buffer, length)));
}

int RunProgram(WideView program, WideView arguments, DWORD timeoutMs, WideView workingFolder) {
  RunningProgram running;
  if (!running.Start(program, arguments, workingFolder)) return -1;
  if (!running.WaitForEnd(timeoutMs)) return -1;  // ended by force as the holder goes
  return static_cast<int>(running.ExitCode());
}

}  // namespace testing_support

HWND testing_support::FindProcessWindow(const wchar_t* windowClass, DWORD processId) {
  for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, nullptr); window;
       window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) return window;
  }
  return nullptr;
}
