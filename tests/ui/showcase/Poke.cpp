// Acts on a window of another process for scripts/screenshot.sh, as a user would: waits (up to ten
// seconds) until a visible window of the class (and title, unless "-") exists, and with a button text
// clicks that button in it (texts compared without their leading and trailing blanks).
//   ui_poke <class> <title or -> [button text]
// Exit code 0 when done, 1 when the window or the button never appeared.

#include <windows.h>

#include <string>

namespace {

std::wstring Trimmed(std::wstring text) {
  size_t first = text.find_first_not_of(L' ');
  size_t last = text.find_last_not_of(L' ');
  return first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
}

struct Search {
  std::wstring text;
  HWND found = nullptr;
};

BOOL CALLBACK MatchButton(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  wchar_t name[32], caption[256];
  GetClassNameW(child, name, 32);
  GetWindowTextW(child, caption, 256);
  if (lstrcmpiW(name, L"Button") == 0 && Trimmed(caption) == search->text) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const wchar_t* title = std::wstring(argv[2]) == L"-" ? nullptr : argv[2];
  for (int round = 0; round < 1000; ++round) {
    HWND window = FindWindowW(argv[1], title);
    if (window && IsWindowVisible(window)) {
      if (argc < 4) return 0;
      Search search{Trimmed(argv[3])};
      EnumChildWindows(window, MatchButton, reinterpret_cast<LPARAM>(&search));
      if (search.found) {
        PostMessageW(search.found, BM_CLICK, 0, 0);
        return 0;
      }
    }
    Sleep(10);
  }
  return 1;
}
