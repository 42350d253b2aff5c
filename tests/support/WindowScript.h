#pragma once
// Acting on this process's windows from a thread of the test, as a user would, while the window's own loop
// runs on the test's main thread: finding them, typing, clicking, dropping paths.

#include "TestSupport.h"
#include "base/WideString.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <thread>
#include <vector>

namespace testing_support {

// A visible top-level window of this process of a class, and of a title unless title is null.
inline HWND FindShown(const wchar_t* windowClass, const wchar_t* title = nullptr) {
  struct Search {
    const wchar_t* windowClass;
    const wchar_t* title;
    HWND found;
  } search{windowClass, title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) || wcscmp(name, search.windowClass) != 0) {
          return TRUE;
        }
        wchar_t title[128] = {};
        GetWindowTextW(window, title, 128);
        if (search.title && wcscmp(title, search.title) != 0) return TRUE;
        search.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline HWND WaitForShown(const wchar_t* windowClass, const wchar_t* title = nullptr) {
  HWND found = nullptr;
  (void)WaitUntil([&] { return (found = FindShown(windowClass, title)) != nullptr; }, 10000);
  return found;
}

// The first child window, at any depth, of a class with exactly the text.
inline HWND FindDescendant(HWND parent, const wchar_t* windowClass, WideView text) {
  struct Search {
    const wchar_t* windowClass;
    WideView text;
    HWND found;
  } search{windowClass, text, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        wchar_t caption[512] = {};
        GetClassNameW(child, name, 64);
        GetWindowTextW(child, caption, 512);
        if (_wcsicmp(name, search.windowClass) != 0 || search.text != caption) return TRUE;
        search.found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The index-th edit field of a window, in the order they were made.
inline HWND NthEdit(HWND window, int index) {
  HWND edit = nullptr;
  for (int i = 0; i <= index; ++i) edit = FindWindowExW(window, edit, L"Edit", nullptr);
  return edit;
}

inline WideString TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

inline void SetText(HWND window, WideView text) {
  WideString value(text);
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

inline void Click(HWND window, const wchar_t* button) {
  PostMessageW(FindWindowExW(window, nullptr, L"Button", button), BM_CLICK, 0, 0);
}

// A click on a check box's label half, as the check box reports it to its window.
inline void ClickCheckBox(HWND window, const wchar_t* label) {
  HWND labelWindow = FindWindowExW(window, nullptr, L"Static", label);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(labelWindow), STN_CLICKED),
               reinterpret_cast<LPARAM>(labelWindow));
}

// What the shell posts when a path is dropped at a point of the window's client area.
inline void DropAt(HWND window, POINT at, WideView path) {
  WideString paths(path);
  paths.push_back(L'\0');
  size_t bytes = sizeof(DROPFILES) + (paths.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = at;
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), paths.data(), paths.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// Clicks OK and gives back the message the label at messageAt then shows, empty when none comes.
inline WideString MessageAfterOk(HWND window, POINT messageAt) {
  HWND label = ChildWindowFromPointEx(window, messageAt, CWP_SKIPINVISIBLE);
  SetText(label, L"");
  Click(window, L"OK");
  WideString message;
  (void)WaitUntil([&] { return !(message = TextOf(label)).empty(); }, 10000);
  return message;
}

// Runs the script on a thread of its own. A window of the given classes it leaves open is closed
// afterwards (and the test fails), so that a failing test ends instead of waiting for ever.
class Driver {
 public:
  Driver(std::initializer_list<const wchar_t*> windowClasses, std::function<void()> script)
      : classes_(windowClasses), script_(std::move(script)), thread_([this] { Run(); }) {}
  ~Driver() {
    thread_.join();
    EXPECT_FALSE(forced_) << "a window the script should have ended was left open";
  }

 private:
  HWND AnyOpen() const {
    for (const wchar_t* windowClass : classes_) {
      if (HWND open = FindShown(windowClass)) return open;
    }
    return nullptr;
  }
  void Run() {
    script_();
    ULONGLONG end = GetTickCount64() + 10000;
    while (GetTickCount64() < end) {
      HWND open = AnyOpen();
      if (!open) return;
      if (GetTickCount64() + 5000 < end) {
        Sleep(20);  // it may still be closing by itself
        continue;
      }
      forced_ = true;
      PostMessageW(open, WM_CLOSE, 0, 0);
      Sleep(20);
    }
  }
  std::vector<const wchar_t*> classes_;
  std::function<void()> script_;
  bool forced_ = false;
  std::thread thread_;
};

}  // namespace testing_support
