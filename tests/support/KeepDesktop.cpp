// Keeps Wine's desktop in use for a whole test run. Wine's desktop process (explorer.exe /desktop) ends
// soon after the last process that used the desktop, and the next window-using test program starts it
// again as its own child: that child holds the test's output pipe open, and CTest waits for it until the
// test's timeout, although the test passed and ended. Started by the test environment with its output
// going nowhere, this program uses the desktop until the run's wineserver is stopped.

#include <windows.h>

int main() {
  HWND window = CreateWindowExW(0, L"STATIC", L"Brimlark test desktop keeper", 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!window) return 1;
  Sleep(INFINITE);
  return 0;
}
