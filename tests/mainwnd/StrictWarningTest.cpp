// The Strict-mode warning, for real under Xvfb: its buttons are clicked from another thread once it is on
// screen, as a user would, while the main window's loop waits.

#include "mainwnd/StrictWarning.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusForAllTests);

// Once the warning is on screen: ticks " Dont ask again" when asked to, then clicks a button by its text
// (or presses Esc, with "Esc").
class WarningAnswerer {
 public:
  WarningAnswerer(WideView button, bool tickDontAsk)
      : button_(button), tick_(tickDontAsk), thread_([this] { Run(); }) {}
  ~WarningAnswerer() { thread_.join(); }
  bool shown() const { return shown_; }

 private:
  void Run() {
    ULONGLONG end = GetTickCount64() + 5000;
    while (GetTickCount64() < end) {
      HWND warning = FindProcessWindow(L"Brimlark_MsgBox", GetCurrentProcessId());
      if (warning) {
        shown_ = true;
        if (tick_) {
          HWND label = FindWindowExW(warning, nullptr, L"Static", L" Dont ask again");
          // A click on the label half, as the check box reports it to its window.
          PostMessageW(warning, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(label), STN_CLICKED), reinterpret_cast<LPARAM>(label));
        }
        if (button_ == L"Esc") {
          PostMessageW(FindWindowExW(warning, nullptr, L"Button", L"Yes"), WM_KEYDOWN, VK_ESCAPE, 1);
        } else {
          PostMessageW(FindWindowExW(warning, nullptr, L"Button", button_.c_str()), BM_CLICK, 0, 0);
        }
        return;
      }
      Sleep(10);
    }
  }
  WideString button_;
  bool tick_;
  std::atomic<bool> shown_{false};
  std::thread thread_;
};

class StrictWarningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(main.Create(L"BrimlarkTestMain", L"Main", 750, 560, kCentred, kCentred, kDefaultWindowStyle,
                            kDefaultExtendedStyle, nullptr));
    first = AddPushButton(main, L"Start", 10, 100, 80, 25);
    last = AddPushButton(main, L"Other", 100, 100, 80, 25);
    close = AddPushButton(main, L"x", 700, 5, 20, 20);
    main.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowFlush);
  }
  bool Confirm(UiMode mode = UiMode::kNormal) {
    return ConfirmStrictBackup(StrictWarningOwner{main, first, last, 0, close}, appIni, mode);
  }
  const wchar_t* Stored() { return appIni.GetString(L"Settings", L"SkipStrictWarning", nullptr); }

  TempFolder root;
  IniFile appIni{root / L"Brimlark.ini"};
  UiWindow main;
  int first = 0, last = 0, close = 0;
};

TEST_F(StrictWarningTest, YesGoesOnAndNoOrEscCancelsWithoutStoringAnything) {
  {
    WarningAnswerer answerer(L"Yes", false);
    EXPECT_TRUE(Confirm());
    EXPECT_TRUE(answerer.shown());
  }
  for (const wchar_t* no : {L"No", L"Esc"}) {
    WarningAnswerer answerer(no, false);
    EXPECT_FALSE(Confirm()) << text::ToUtf8(no);
    EXPECT_TRUE(answerer.shown());
  }
  EXPECT_EQ(Stored(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(main.ControlHandle(first)));  // the lock is given back
}

TEST_F(StrictWarningTest, DontAskAgainWithNoCancelsAndEndsTheWarnings) {
  {
    WarningAnswerer answerer(L"No", true);
    EXPECT_FALSE(Confirm());
    EXPECT_TRUE(answerer.shown());
  }
  ASSERT_NE(Stored(), nullptr);
  EXPECT_STREQ(Stored(), L"1");
  EXPECT_TRUE(Confirm());  // no window any more: nothing would answer it
}

TEST_F(StrictWarningTest, AZeroStillWarnsAndUnattendedRunsAreNeverAsked) {
  appIni.SetString(L"Settings", L"SkipStrictWarning", L"0");
  {
    WarningAnswerer answerer(L"Yes", false);
    EXPECT_TRUE(Confirm());
    EXPECT_TRUE(answerer.shown());
  }
  EXPECT_TRUE(Confirm(UiMode::kPassive));
  EXPECT_TRUE(Confirm(UiMode::kQuiet));
}

TEST_F(StrictWarningTest, TheMainWindowsCloseButtonCancels) {
  std::thread closer([this] {
    (void)WaitUntil([] { return FindProcessWindow(L"Brimlark_MsgBox", GetCurrentProcessId()) != nullptr; }, 5000);
    PostMessageW(main.ControlHandle(close), BM_CLICK, 0, 0);
  });
  EXPECT_FALSE(Confirm());
  closer.join();
  EXPECT_EQ(FindProcessWindow(L"Brimlark_MsgBox", GetCurrentProcessId()), nullptr);
}

}  // namespace
