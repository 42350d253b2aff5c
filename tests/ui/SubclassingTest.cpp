// The in-process subclass chain: order, removal while a message is being handled, the chain going with
// the window, and the tooltips it now feeds.

#include "ui/Controls.h"
#include "ui/Subclassing.h"
#include "ui/UiWindow.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr UINT kProbe = WM_APP + 40;

// Each procedure adds its letter on the way in and answers with what the rest of the chain answered + 1.
struct Trace {
  std::string calls;
};

LRESULT CALLBACK Letter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR reference) {
  if (message == kProbe) {
    reinterpret_cast<Trace*>(reference)->calls += static_cast<char>(id);
    return CallNextProcedure(window, message, wParam, lParam) + 1;
  }
  return CallNextProcedure(window, message, wParam, lParam);
}

// Removes itself the first time it sees the probe, and sends the window a second probe meanwhile.
LRESULT CALLBACK RemovesItself(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR reference) {
  if (message == kProbe) {
    auto* trace = reinterpret_cast<Trace*>(reference);
    trace->calls += static_cast<char>(id);
    RemoveSubclass(window, RemovesItself, id);
    trace->calls += '[';
    SendMessageW(window, kProbe, 0, 0);
    trace->calls += ']';
  }
  return CallNextProcedure(window, message, wParam, lParam);
}

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe) return 100;
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND PlainWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Plain;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"BrimlarkSubclassProbe";
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, L"BrimlarkSubclassProbe", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TEST(SubclassingTest, TheLastInstalledSeesMessagesFirstAndEachPassesThemOn) {
  HWND window = PlainWindow();
  ASSERT_TRUE(window);
  Trace trace;
  ASSERT_TRUE(InstallSubclass(window, Letter, 'a', reinterpret_cast<DWORD_PTR>(&trace)));
  ASSERT_TRUE(InstallSubclass(window, Letter, 'b', reinterpret_cast<DWORD_PTR>(&trace)));
  EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), 102);
  EXPECT_EQ(trace.calls, "ba");

  // Removing the one installed first leaves the other in place; removing both gives the window back its
  // own procedure.
  ASSERT_TRUE(RemoveSubclass(window, Letter, 'a'));
  trace.calls.clear();
  EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), 101);
  EXPECT_EQ(trace.calls, "b");
  ASSERT_TRUE(RemoveSubclass(window, Letter, 'b'));
  EXPECT_FALSE(RemoveSubclass(window, Letter, 'b'));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)), Plain);
  EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), 100);
  DestroyWindow(window);
}

TEST(SubclassingTest, AProcedureRemovedWhileHandlingAMessageFinishesItAndSeesNoMore) {
  HWND window = PlainWindow();
  ASSERT_TRUE(window);
  Trace trace;
  ASSERT_TRUE(InstallSubclass(window, Letter, 'a', reinterpret_cast<DWORD_PTR>(&trace)));
  ASSERT_TRUE(InstallSubclass(window, RemovesItself, 'r', reinterpret_cast<DWORD_PTR>(&trace)));
  // The inner probe skips the removed procedure; the outer one still reaches the procedure below it.
  EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), 101);
  EXPECT_EQ(trace.calls, "r[a]a");
  trace.calls.clear();
  EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), 101);
  EXPECT_EQ(trace.calls, "a");
  DestroyWindow(window);
}

TEST(SubclassingTest, TheChainGoesWithTheWindow) {
  Trace trace;
  for (int round = 0; round < 3; ++round) {
    HWND window = PlainWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(InstallSubclass(window, Letter, 'a', reinterpret_cast<DWORD_PTR>(&trace)));
    DestroyWindow(window);
    // Window handles are used again; a new window under an old handle starts with no procedure of ours.
    EXPECT_FALSE(RemoveSubclass(window, Letter, 'a'));
  }
  EXPECT_TRUE(trace.calls.empty());
}

// A control's tooltip shows when the pointer rests on it: its mouse messages reach the tooltip.
TEST(SubclassingTest, TooltipShowsWhenThePointerRestsOnTheControl) {
  UiWindow window;
  ASSERT_TRUE(window.Create(L"BrimlarkTooltipTest", L"Test", 300, 200, 100, 100, kDefaultWindowStyle,
                            kDefaultExtendedStyle, nullptr));
  window.Show(SW_SHOW, UiWindow::kShowUpdate);
  int button = AddPushButton(window, L"Hover", 20, 20, 120, 40);
  ASSERT_TRUE(SetTooltip(window, button, L"The tip"));
  HWND tip = window.tooltipWindow();
  SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 10);
  HWND control = window.ControlHandle(button);
  RECT box{};
  GetWindowRect(control, &box);
  POINT centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  // The pointer arrives once and rests: the control's one mouse message starts the tooltip's delay.
  SetCursorPos(centre.x, centre.y);
  POINT client = centre;
  ScreenToClient(control, &client);
  PostMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
  bool shown = testing_support::WaitUntil(
      [&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        return IsWindowVisible(tip) != FALSE;
      },
      5000);
  EXPECT_TRUE(shown);
}

}  // namespace
