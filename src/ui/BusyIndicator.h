#pragma once
// The spinning arc shown while the program waits on something it cannot measure, and the keep-alive that
// wakes a waiting event loop. Each runs on a thread of its own, the only drawing done off the UI thread.
// Both threads end by themselves when their window is destroyed, which is how the UI thread normally ends
// them. From their thread they only read the window's state, draw into it through GetDC and BitBlt, and
// post to it: nothing there waits for the UI thread, so the UI thread may block on them.

#include "base/UniqueHandle.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

// The background the indicator clears each frame with: what the window shows where the indicator sits,
// copied once when the window first becomes visible.
inline constexpr int32_t kCopyWindowBackground = -1;

struct BusyIndicatorState;
struct KeepAliveState;

class BusyIndicator {
 public:
  static constexpr DWORD kStopWaitMs = 1000;

  BusyIndicator() = default;
  // Stops the thread, waiting kStopWaitMs at most.
  ~BusyIndicator();
  BusyIndicator(const BusyIndicator&) = delete;
  BusyIndicator& operator=(const BusyIndicator&) = delete;

  // Draws a size × size arc at the top-left corner of the window's client area, in colour, turning one
  // step a frame. speed 0..100: 100 draws the frames back to back, 0 waits 100 ms between them.
  // background is a COLORREF or kCopyWindowBackground. Waits while the window is hidden. Stops an
  // indicator this object already runs. False when the thread could not be started.
  [[nodiscard]] bool Start(HWND window, int size, Gdiplus::ARGB colour, int speed, int32_t background);
  // Asks the thread to end and waits up to timeoutMs; true when it has ended or none was running.
  bool Stop(DWORD timeoutMs = kStopWaitMs);

  // The thread, signalled once it has ended; null when none was started.
  [[nodiscard]] HANDLE thread() const { return thread_.get(); }
  // Frames copied to the window so far.
  [[nodiscard]] uint32_t frames() const;
  // How often the thread found the window hidden and waited for it.
  [[nodiscard]] uint32_t hiddenPolls() const;

 private:
  std::shared_ptr<BusyIndicatorState> state_;  // shared with the thread, which may outlive this object
  UniqueKernelHandle thread_;
};

class KeepAlive {
 public:
  static constexpr DWORD kIntervalMs = 20;
  static constexpr DWORD kStopWaitMs = 1000;

  KeepAlive() = default;
  // Stops the thread, waiting kStopWaitMs at most.
  ~KeepAlive();
  KeepAlive(const KeepAlive&) = delete;
  KeepAlive& operator=(const KeepAlive&) = delete;

  // Posts WM_NULL to the window every kIntervalMs as long as the window exists. Stops a keep-alive this
  // object already runs. False when the thread could not be started.
  [[nodiscard]] bool Start(HWND window);
  bool Stop(DWORD timeoutMs = kStopWaitMs);

  [[nodiscard]] HANDLE thread() const { return thread_.get(); }
  // Messages posted so far.
  [[nodiscard]] uint32_t posts() const;

 private:
  std::shared_ptr<KeepAliveState> state_;
  UniqueKernelHandle thread_;
};
