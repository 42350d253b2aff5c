#include "ui/BusyIndicator.h"

#include "ui/GdiOwners.h"

#include <algorithm>
#include <atomic>

using namespace Gdiplus;

// What the owner and the thread share. The thread holds its own reference, so an owner that gave up
// waiting for it can go without pulling the state away from under it.
struct BusyIndicatorState {
  HWND window = nullptr;
  int size = 0;
  ARGB colour = 0;
  DWORD frameDelayMs = 0;
  int32_t background = kCopyWindowBackground;
  UniqueKernelHandle stop;  // manual-reset event: the owner wants the thread to end
  std::atomic<uint32_t> frames{0};
  std::atomic<uint32_t> hiddenPolls{0};
};

struct KeepAliveState {
  HWND window = nullptr;
  UniqueKernelHandle stop;
  std::atomic<uint32_t> posts{0};
};

namespace {

constexpr DWORD kHiddenPollMs = 10;
constexpr int kStartAngle = 280;
constexpr REAL kSweepAngle = 294;
constexpr int kAngleStep = 4;

template <typename State>
DWORD WINAPI ThreadEntry(void* parameter);

// Hands the thread its own reference to the shared state; the thread takes it back as its first act.
template <typename State>
UniqueKernelHandle StartThread(const std::shared_ptr<State>& state) {
  auto reference = std::make_unique<std::shared_ptr<State>>(state);
  UniqueKernelHandle thread(CreateThread(nullptr, 0, ThreadEntry<State>, reference.get(), 0, nullptr));
  if (thread) static_cast<void>(reference.release());
  return thread;
}

// Gives the state its stop event and starts the thread; the owner keeps the state only when it runs.
template <typename State>
bool Launch(std::shared_ptr<State> state, std::shared_ptr<State>& owned, UniqueKernelHandle& thread) {
  state->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!state->stop) return false;
  thread = StartThread(state);
  if (!thread) return false;
  owned = std::move(state);
  return true;
}

template <typename State>
bool StopThread(const std::shared_ptr<State>& state, UniqueKernelHandle& thread, DWORD timeoutMs) {
  if (!thread) return true;
  SetEvent(state->stop.get());
  const bool ended = WaitForSingleObject(thread.get(), timeoutMs) == WAIT_OBJECT_0;
  thread.reset();
  return ended;
}

// True when the owner asked the thread to end during the wait.
bool StopRequested(HANDLE stop, DWORD waitMs) { return WaitForSingleObject(stop, waitMs) == WAIT_OBJECT_0; }

// Polls until the window is visible; false when it was destroyed meanwhile or the owner wants the end.
bool WaitUntilVisible(BusyIndicatorState& state) {
  while (!IsWindowVisible(state.window)) {
    if (!IsWindow(state.window)) return false;
    ++state.hiddenPolls;
    if (StopRequested(state.stop.get(), kHiddenPollMs)) return false;
  }
  return true;
}

void RunBusyIndicator(BusyIndicatorState& state) {
  if (!WaitUntilVisible(state)) return;
  const int size = state.size;

  UniqueMemoryDc memory;
  UniqueBitmap canvas;
  UniqueBitmap backgroundCopy;  // outlives the pattern brush made from it
  UniqueBrush background;
  {
    WindowDc window(state.window);
    if (!window) return;
    memory.reset(CreateCompatibleDC(window.get()));
    canvas.reset(CreateCompatibleBitmap(window.get(), size, size));
    if (!memory || !canvas) return;
    if (state.background == kCopyWindowBackground) {
      backgroundCopy.reset(CreateCompatibleBitmap(window.get(), size, size));
      if (!backgroundCopy) return;
      SelectedObject selected(memory.get(), backgroundCopy.get());
      if (!BitBlt(memory.get(), 0, 0, size, size, window.get(), 0, 0, SRCCOPY)) return;
    }
  }
  background.reset(backgroundCopy ? CreatePatternBrush(backgroundCopy.get())
                                  : CreateSolidBrush(static_cast<COLORREF>(state.background)));
  if (!background) return;

  const int penWidth = std::max(1, size / 6 - 1);  // a pen at all below 12 pixels
  Pen pen(Color(state.colour), static_cast<REAL>(penWidth));
  pen.SetStartCap(LineCapTriangle);
  pen.SetEndCap(LineCapTriangle);
  const REAL offset = static_cast<REAL>(penWidth) / 2 + 1;
  const REAL side = static_cast<REAL>(size - penWidth - 2);
  const RECT whole{0, 0, size, size};

  SelectedObject selected(memory.get(), canvas.get());
  for (int angle = kStartAngle;; angle = (angle + kAngleStep) % 360) {
    FillRect(memory.get(), &whole, background.get());
    {
      // Made for each frame so that its drawing is flushed into the bitmap before the copy.
      Graphics graphics(memory.get());
      graphics.SetSmoothingMode(SmoothingModeHighQuality);
      graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
      graphics.DrawArc(&pen, offset, offset, side, side, static_cast<REAL>(angle), kSweepAngle);
    }
    // A handle that no longer names a window gives no DC; a DC of a window destroyed since fails the copy.
    if (!IsWindow(state.window)) return;
    {
      WindowDc window(state.window);
      if (!window || !BitBlt(window.get(), 0, 0, size, size, memory.get(), 0, 0, SRCCOPY)) return;
    }
    ++state.frames;
    if (StopRequested(state.stop.get(), state.frameDelayMs)) return;
    if (!WaitUntilVisible(state)) return;
  }
}

void RunKeepAlive(KeepAliveState& state) {
  while (IsWindow(state.window)) {
    if (PostMessageW(state.window, WM_NULL, 0, 0)) ++state.posts;
    if (StopRequested(state.stop.get(), KeepAlive::kIntervalMs)) return;
  }
}

void Run(BusyIndicatorState& state) { RunBusyIndicator(state); }
void Run(KeepAliveState& state) { RunKeepAlive(state); }

template <typename State>
DWORD WINAPI ThreadEntry(void* parameter) {
  std::unique_ptr<std::shared_ptr<State>> reference(static_cast<std::shared_ptr<State>*>(parameter));
  Run(**reference);
  return 0;
}

}  // namespace

BusyIndicator::~BusyIndicator() { Stop(); }

bool BusyIndicator::Start(HWND window, int size, ARGB colour, int speed, int32_t background) {
  Stop();
  if (!IsWindow(window) || size < 1) return false;
  auto state = std::make_shared<BusyIndicatorState>();
  state->window = window;
  state->size = size;
  state->colour = colour;
  state->frameDelayMs = static_cast<DWORD>(100 - std::clamp(speed, 0, 100));
  state->background = background;
  return Launch(std::move(state), state_, thread_);
}

bool BusyIndicator::Stop(DWORD timeoutMs) { return StopThread(state_, thread_, timeoutMs); }

uint32_t BusyIndicator::frames() const { return state_ ? state_->frames.load() : 0; }

uint32_t BusyIndicator::hiddenPolls() const { return state_ ? state_->hiddenPolls.load() : 0; }

KeepAlive::~KeepAlive() { Stop(); }

bool KeepAlive::Start(HWND window) {
  Stop();
  if (!IsWindow(window)) return false;
  auto state = std::make_shared<KeepAliveState>();
  state->window = window;
  return Launch(std::move(state), state_, thread_);
}

bool KeepAlive::Stop(DWORD timeoutMs) { return StopThread(state_, thread_, timeoutMs); }

uint32_t KeepAlive::posts() const { return state_ ? state_->posts.load() : 0; }
