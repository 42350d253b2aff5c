// The busy indicator and keep-alive threads against real windows under Xvfb. The test thread owns the
// windows and pumps their messages while it waits, with a deadline, for what the threads do.

#include "ui/BusyIndicator.h"
#include "ui/GdiOwners.h"

#include "GdiplusSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

using testing_support::GdiplusSession;

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kDeadlineMs = 10000;
constexpr COLORREF kWindowColour = RGB(0, 0, 255);
constexpr Gdiplus::ARGB kPenColour = 0xFFFF0000;
constexpr int kSize = 32;


// Handles the thread's messages until condition holds or the deadline passes; returns its last answer.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = kDeadlineMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (condition()) return true;
    if (Clock::now() >= deadline) return condition();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Waits for a thread to end while handling this thread's messages.
bool ThreadEnds(HANDLE thread, DWORD timeoutMs = kDeadlineMs) {
  return PumpUntil([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

// A frameless top-level window painted in kWindowColour, hidden until shown.
class TestWindow {
 public:
  TestWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    // The class owns its brush and deletes it when it is unregistered.
    windowClass.hbrBackground = CreateSolidBrush(kWindowColour);
    if (!RegisterClassExW(&windowClass)) DeleteObject(windowClass.hbrBackground);
    window_.reset(CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, L"busy", WS_POPUP, 20, 20, 64, 64,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  }
  ~TestWindow() {
    window_.reset();
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  [[nodiscard]] HWND get() const { return window_.get(); }
  void Show() {
    ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    UpdateWindow(window_.get());
  }
  void Hide() { ShowWindow(window_.get(), SW_HIDE); }
  void Destroy() { window_.reset(); }

 private:
  static constexpr const wchar_t* kClassName = L"BrimlarkBusyIndicatorTest";
  UniqueWindow window_;
};

// What the window shows in its top-left kSize square, one snapshot.
class Snapshot {
 public:
  explicit Snapshot(HWND window) : pixels_(kSize * kSize) {
    WindowDc source(window);
    UniqueMemoryDc memory(CreateCompatibleDC(source.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap copy(CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!copy || !bits) return;
    {
      SelectedObject selected(memory.get(), copy.get());
      if (!BitBlt(memory.get(), 0, 0, kSize, kSize, source.get(), 0, 0, SRCCOPY)) return;
    }
    GdiFlush();
    const auto* words = static_cast<const uint32_t*>(bits);
    pixels_.assign(words, words + kSize * kSize);
    valid_ = true;
  }
  [[nodiscard]] bool valid() const { return valid_; }
  [[nodiscard]] COLORREF at(int x, int y) const {
    uint32_t word = pixels_[static_cast<size_t>(y) * kSize + x];
    return RGB((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF);
  }
  [[nodiscard]] int Count(COLORREF colour, int tolerance = 24) const {
    int count = 0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        COLORREF pixel = at(x, y);
        if (std::abs(GetRValue(pixel) - GetRValue(colour)) <= tolerance &&
            std::abs(GetGValue(pixel) - GetGValue(colour)) <= tolerance &&
            std::abs(GetBValue(pixel) - GetBValue(colour)) <= tolerance) {
          ++count;
        }
      }
    }
    return count;
  }

 private:
  std::vector<uint32_t> pixels_;
  bool valid_ = false;
};

class BusyIndicatorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gdiplus_.started());
    ASSERT_TRUE(window_.get());
  }

  // Order matters: the window goes before GDI+, after the threads that draw into it.
  GdiplusSession gdiplus_;
  TestWindow window_;
};

// The time the indicator takes for count frames, measured from one frame to the count-th after it.
Clock::duration TimeForFrames(const BusyIndicator& indicator, uint32_t count) {
  uint32_t first = 0;
  EXPECT_TRUE(PumpUntil([&] { return (first = indicator.frames()) > 0; }));
  // Start at the moment a frame arrives, not somewhere within the wait before it.
  EXPECT_TRUE(PumpUntil([&] { return indicator.frames() > first; }));
  const uint32_t start = indicator.frames();
  const auto began = Clock::now();
  EXPECT_TRUE(PumpUntil([&] { return indicator.frames() >= start + count; }));
  return Clock::now() - began;
}

TEST_F(BusyIndicatorTest, DrawsNothingWhileHiddenAndStartsWhenShown) {
  BusyIndicator indicator;
  ASSERT_TRUE(indicator.Start(window_.get(), kSize, kPenColour, 100, RGB(0, 255, 0)));

  // The thread has looked at the hidden window a few times and drawn nothing.
  ASSERT_TRUE(PumpUntil([&] { return indicator.hiddenPolls() >= 5; }));
  EXPECT_EQ(indicator.frames(), 0u);

  window_.Show();
  ASSERT_TRUE(PumpUntil([&] { return indicator.frames() >= 3; }));
  // The arc in the pen colour over the given background, where the window itself is blue. The window
  // paints its own background once it is shown, maybe after a frame: the next frames draw over it.
  ASSERT_TRUE(PumpUntil([&] { return Snapshot(window_.get()).Count(RGB(0, 255, 0)) > 100; }));
  Snapshot shown(window_.get());
  ASSERT_TRUE(shown.valid());
  EXPECT_GT(shown.Count(RGB(255, 0, 0)), 30);
  EXPECT_GT(shown.Count(RGB(0, 255, 0)), 100);
  EXPECT_EQ(shown.at(0, 0), RGB(0, 255, 0));

  // Hidden again, it goes back to waiting: once it has seen that, the frames stop.
  window_.Hide();
  const uint32_t pollsBefore = indicator.hiddenPolls();
  ASSERT_TRUE(PumpUntil([&] { return indicator.hiddenPolls() > pollsBefore; }));
  const uint32_t framesWhileHidden = indicator.frames();
  const uint32_t polls = indicator.hiddenPolls();
  ASSERT_TRUE(PumpUntil([&] { return indicator.hiddenPolls() >= polls + 5; }));
  EXPECT_EQ(indicator.frames(), framesWhileHidden);

  window_.Show();
  ASSERT_TRUE(PumpUntil([&] { return indicator.frames() > framesWhileHidden + 2; }));
}

TEST_F(BusyIndicatorTest, EndsWhenItsWindowIsDestroyedWhileHidden) {
  BusyIndicator indicator;
  ASSERT_TRUE(indicator.Start(window_.get(), kSize, kPenColour, 50, RGB(0, 255, 0)));
  ASSERT_TRUE(PumpUntil([&] { return indicator.hiddenPolls() >= 3; }));

  window_.Destroy();
  EXPECT_TRUE(ThreadEnds(indicator.thread()));
  EXPECT_EQ(indicator.frames(), 0u);
}

TEST_F(BusyIndicatorTest, EndsWhenItsWindowIsDestroyedWhileDrawing) {
  window_.Show();
  BusyIndicator indicator;
  ASSERT_TRUE(indicator.Start(window_.get(), kSize, kPenColour, 100, RGB(0, 255, 0)));
  ASSERT_TRUE(PumpUntil([&] { return indicator.frames() >= 3; }));

  window_.Destroy();
  EXPECT_TRUE(ThreadEnds(indicator.thread()));
}

TEST_F(BusyIndicatorTest, CopiesWhatTheWindowShowsAsItsBackground) {
  window_.Show();
  // The window's own paint has reached the screen before the indicator copies it.
  ASSERT_TRUE(PumpUntil([&] {
    Snapshot painted(window_.get());
    return painted.valid() && painted.Count(kWindowColour, 0) == kSize * kSize;
  }));

  BusyIndicator indicator;
  ASSERT_TRUE(indicator.Start(window_.get(), kSize, kPenColour, 100, kCopyWindowBackground));
  ASSERT_TRUE(PumpUntil([&] { return indicator.frames() >= 3; }));
  Snapshot shown(window_.get());
  ASSERT_TRUE(shown.valid());
  EXPECT_EQ(shown.at(0, 0), kWindowColour);
  EXPECT_EQ(shown.at(kSize - 1, kSize - 1), kWindowColour);
  EXPECT_GT(shown.Count(RGB(255, 0, 0)), 30);
  EXPECT_GT(shown.Count(kWindowColour), 100);
}

TEST_F(BusyIndicatorTest, SpeedSetsTheDelayBetweenFrames) {
  window_.Show();
  {
    BusyIndicator slow;
    ASSERT_TRUE(slow.Start(window_.get(), kSize, kPenColour, 0, RGB(0, 255, 0)));
    const auto elapsed = TimeForFrames(slow, 5);
    // 100 ms after each frame: five frames cannot come sooner than that.
    EXPECT_GE(elapsed, std::chrono::milliseconds(5 * 95));
    EXPECT_TRUE(slow.Stop());
  }
  {
    BusyIndicator fast;
    ASSERT_TRUE(fast.Start(window_.get(), kSize, kPenColour, 100, RGB(0, 255, 0)));
    // With no delay, twenty frames take well under the two seconds they would take at speed 0.
    const auto elapsed = TimeForFrames(fast, 20);
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
    EXPECT_TRUE(fast.Stop());
  }
}

TEST_F(BusyIndicatorTest, StopsWhenAskedAndRefusesNoWindow) {
  window_.Show();
  BusyIndicator indicator;
  ASSERT_TRUE(indicator.Start(window_.get(), kSize, kPenColour, 0, RGB(0, 255, 0)));
  ASSERT_TRUE(PumpUntil([&] { return indicator.frames() >= 1; }));
  HANDLE thread = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), indicator.thread(), GetCurrentProcess(), &thread, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  UniqueKernelHandle threadCopy(thread);
  // Asked while it waits 100 ms between frames, it ends at once rather than after the wait.
  EXPECT_TRUE(indicator.Stop(50));
  EXPECT_EQ(WaitForSingleObject(threadCopy.get(), 0), WAIT_OBJECT_0);
  const uint32_t frames = indicator.frames();
  ASSERT_TRUE(IsWindow(window_.get()));

  BusyIndicator none;
  EXPECT_FALSE(none.Start(nullptr, kSize, kPenColour, 50, RGB(0, 255, 0)));
  EXPECT_FALSE(none.Start(window_.get(), 0, kPenColour, 50, RGB(0, 255, 0)));
  EXPECT_EQ(indicator.frames(), frames);
}

class KeepAliveTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.get()); }
  TestWindow window_;
};

TEST_F(KeepAliveTest, WakesTheWindowsEventLoopUntilTheWindowGoes) {
  KeepAlive keepAlive;
  ASSERT_TRUE(keepAlive.Start(window_.get()));

  // A loop that sleeps until a message comes sees the keep-alive's messages, again and again.
  int seen = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kDeadlineMs);
  while (seen < 5 && Clock::now() < deadline) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, kDeadlineMs, QS_ALLINPUT) != WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_NULL && message.hwnd == window_.get()) ++seen;
      DispatchMessageW(&message);
    }
  }
  EXPECT_GE(seen, 5);

  window_.Destroy();
  EXPECT_TRUE(ThreadEnds(keepAlive.thread()));
  const uint32_t posts = keepAlive.posts();
  EXPECT_GE(posts, 5u);
}

TEST_F(KeepAliveTest, StopsWhenAskedWhileTheWindowLives) {
  KeepAlive keepAlive;
  ASSERT_TRUE(keepAlive.Start(window_.get()));
  ASSERT_TRUE(PumpUntil([&] { return keepAlive.posts() >= 2; }));
  EXPECT_TRUE(keepAlive.Stop(500));
  EXPECT_TRUE(IsWindow(window_.get()));
  EXPECT_FALSE(KeepAlive().Start(nullptr));
}

}  // namespace
