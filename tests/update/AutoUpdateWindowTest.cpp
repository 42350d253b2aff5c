// The "Auto Update" window, for real under Xvfb, through the whole update check against the test run's
// HTTPS server: shown only in Normal mode, its Cancel (and a close request) ends the check at once and
// keeps the old executable, and it hands its owner back as it found it.

#include "GdiplusSession.h"
#include "HttpsTestServer.h"
#include "WindowScript.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusForAllTests);

constexpr wchar_t kWindowClass[] = L"Brimlark_AutoUpdate";
constexpr wchar_t kWindowTitle[] = L"Brimlark Backup";

// Any visible top-level window of this process, whatever its class.
bool AnyWindowShown() {
  bool shown = false;
  EnumWindows(
      [](HWND window, LPARAM found) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&shown));
  return shown;
}

HWND Label(HWND window, const wchar_t* text) { return FindWindowExW(window, nullptr, L"Static", text); }
HWND Bar(HWND window) { return FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr); }

class AutoUpdateWindowTest : public UpdateFixture {
 protected:
  void MakeOwner(UiWindow& owner) {
    ASSERT_TRUE(owner.Create(L"BrimlarkTestOwner", L"Owner", 500, 300, kCentred, kCentred, kDefaultWindowStyle,
                             kDefaultExtendedStyle, nullptr));
    owner.Show(SW_SHOW, UiWindow::kShowUpdate);
    owner.Flush();
  }
};

TEST_F(AutoUpdateWindowTest, PassiveAndQuietChecksShowNoWindow) {
  for (UiMode mode : {UiMode::kPassive, UiMode::kQuiet}) {
    ASSERT_TRUE(WriteTestFile(paths.modulePath, original));
    DeleteFileW(paths.updateTempPath.c_str());
    Publish(VersionAnswer("2.9.0.0", replacement), replacement);
    std::atomic<bool> done{false};
    std::atomic<int> looks{0};
    std::atomic<int> windowsSeen{0};
    std::thread watcher([&] {
      while (!done.load()) {
        if (AnyWindowShown()) ++windowsSeen;
        ++looks;
        Sleep(5);
      }
    });
    // The slow site makes the check last most of a second: long enough to be watched.
    UpdateOutcome outcome = Check(site.Site(L"slow"), mode);
    done.store(true);
    watcher.join();
    EXPECT_EQ(outcome, UpdateOutcome::kNewVersionInstalled) << static_cast<int>(mode);
    ExpectInstalled();
    EXPECT_EQ(windowsSeen.load(), 0) << "mode " << static_cast<int>(mode) << " showed a window";
    EXPECT_GT(looks.load(), 20) << "the watcher looked while the check ran";
  }
}

TEST_F(AutoUpdateWindowTest, NormalCheckShowsTheWindowAndCancelEndsIt) {
  Publish(VersionAnswer("2.9.0.0", replacement), replacement);
  std::atomic<bool> shown{false}, checking{false}, marquee{false};
  UpdateOutcome outcome;
  ULONGLONG elapsed = 0;
  {
    Driver driver({kWindowClass}, [&] {
      HWND window = WaitForShown(kWindowClass, kWindowTitle);
      if (!window) return;
      shown = true;
      checking = Label(window, L"Checking for updates...") != nullptr;
      HWND bar = Bar(window);
      marquee = bar && (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
      Click(window, L"Cancel");
    });
    // The version answer comes one byte every 200 ms: the check would take about 16 s without the Cancel.
    ULONGLONG start = GetTickCount64();
    outcome = Check(site.Site(L"slowcheck"), UiMode::kNormal);
    elapsed = GetTickCount64() - start;
  }
  EXPECT_TRUE(shown.load());
  EXPECT_TRUE(checking.load()) << "the label says what goes on";
  EXPECT_TRUE(marquee.load()) << "the bar runs as a marquee while the version is asked for";
  EXPECT_EQ(outcome, UpdateOutcome::kNothingInstalled);
  EXPECT_LT(elapsed, 8000u) << "Cancel ends the check at once";
  EXPECT_FALSE(FindShown(kWindowClass));
  EXPECT_FALSE(site.WasAskedFor(kExecutablePath));
  ExpectOldExecutableKept();
}

TEST_F(AutoUpdateWindowTest, CancelDuringTheDownloadKeepsTheOldExecutable) {
  // A large file at the slow pace: about 14 s if nobody stopped it.
  std::string large = original;
  large.back() ^= 1;
  Publish(VersionAnswer("2.9.0.0", large), large);
  std::atomic<bool> downloading{false}, counting{false};
  UpdateOutcome outcome;
  ULONGLONG elapsed = 0;
  {
    Driver driver({kWindowClass}, [&] {
      HWND window = WaitForShown(kWindowClass, kWindowTitle);
      if (!window) return;
      downloading = WaitUntil([&] { return Label(window, L"Downloading update...") != nullptr; }, 20000);
      HWND bar = Bar(window);
      counting = WaitUntil([&] {
        return bar && (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) == 0 && SendMessageW(bar, PBM_GETPOS, 0, 0) > 0 &&
               SendMessageW(bar, PBM_GETRANGE, FALSE, 0) == 100;
      }, 20000);
      Click(window, L"Cancel");
    });
    ULONGLONG start = GetTickCount64();
    outcome = Check(site.Site(L"slow"), UiMode::kNormal);
    elapsed = GetTickCount64() - start;
  }
  EXPECT_TRUE(downloading.load()) << "the label changes when the download starts";
  EXPECT_TRUE(counting.load()) << "the bar shows the percentage on a 0 ... 100 scale";
  EXPECT_EQ(outcome, UpdateOutcome::kNothingInstalled);
  EXPECT_LT(elapsed, 12000u);
  EXPECT_TRUE(site.WasAskedFor(kExecutablePath));
  EXPECT_FALSE(FindShown(kWindowClass));
  ExpectOldExecutableKept();
}

TEST_F(AutoUpdateWindowTest, NormalCheckInstallsAndShowsTheProgress) {
  Publish(VersionAnswer("2.8.0.1", replacement), replacement);
  std::atomic<bool> downloading{false};
  std::atomic<LRESULT> highest{0};
  UpdateOutcome outcome;
  {
    Driver driver({kWindowClass}, [&] {
      HWND window = WaitForShown(kWindowClass, kWindowTitle);
      if (!window) return;
      HWND bar = Bar(window);
      // Watched until the window goes by itself.
      (void)WaitUntil([&] {
        if (!IsWindow(window)) return true;
        if (Label(window, L"Downloading update...")) downloading = true;
        LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
        if (downloading.load() && position > highest.load()) highest = position;
        return false;
      }, 20000);
    });
    outcome = Check(site.Site(L"slow"), UiMode::kNormal);
  }
  EXPECT_EQ(outcome, UpdateOutcome::kNewVersionInstalled);
  ExpectInstalled();
  EXPECT_TRUE(downloading.load());
  EXPECT_GT(highest.load(), 0);
  EXPECT_LE(highest.load(), 100);
  EXPECT_FALSE(FindShown(kWindowClass)) << "the window goes when the check ends";
}

// A close request for the owner ends the check and is still the owner's to answer afterwards; one for the
// update window itself is answered by closing it.
TEST_F(AutoUpdateWindowTest, CloseRequestsEndTheCheckAndReachTheirOwnWindow) {
  Publish(VersionAnswer("2.9.0.0", replacement), "");
  for (bool closeOwner : {true, false}) {
    UiWindow owner;
    MakeOwner(owner);
    std::atomic<bool> ownerDisabled{false};
    UpdateOutcome outcome;
    ULONGLONG elapsed = 0;
    {
      Driver driver({kWindowClass}, [&] {
        HWND window = WaitForShown(kWindowClass, kWindowTitle);
        if (!window) return;
        ownerDisabled = !IsWindowEnabled(owner.handle());
        PostMessageW(closeOwner ? owner.handle() : window, WM_CLOSE, 0, 0);
      });
      ULONGLONG start = GetTickCount64();
      outcome = Check(site.Site(L"slowcheck"), UiMode::kNormal, &owner);
      elapsed = GetTickCount64() - start;
    }
    EXPECT_EQ(outcome, UpdateOutcome::kNothingInstalled);
    EXPECT_LT(elapsed, 8000u);
    EXPECT_TRUE(ownerDisabled.load()) << "the owner waits while the update window is open";
    EXPECT_TRUE(IsWindowEnabled(owner.handle()));
    bool closeRequest = false;
    for (const UiEvent* event = &owner.NextEvent(); event->code != kEventNone; event = &owner.NextEvent()) {
      closeRequest = closeRequest || event->code == kEventClose;
    }
    EXPECT_EQ(closeRequest, closeOwner);
    ExpectOldExecutableKept();
  }
}

}  // namespace
