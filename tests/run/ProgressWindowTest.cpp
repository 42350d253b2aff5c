// The progress window driven through the real run controller under Xvfb: input is posted to its buttons
// while a run goes on, and the window's state is read back.

#include "run/ProgressWindow.h"

#include "RunTestSupport.h"
#include "engine/LocalSide.h"
#include "run/RunController.h"
#include "ui/Controls.h"

#include "TestSupport.h"

#include <objidl.h>
#include <gdiplus.h>

#include "GdiplusSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new testing_support::GdiplusForAllTests);

// The real window, watched: every status text it was given, and when the controller let it handle its
// messages. A test hook runs at each of those moments, as the user acting on the live window.
class WatchedWindow final : public ProgressView {
 public:
  void Open(WideView caption) override { window.Open(caption); }
  void Close() override {
    closedTitle = ControlText(window.window(), window.titleLine());
    window.Close();
  }
  void ShowLocations(WideView source, WideView destination) override { window.ShowLocations(source, destination); }
  void ShowStatus(WideView text) override {
    window.ShowStatus(text);
    statuses.emplace_back(text);
  }
  void ShowMarquee(bool on) override { window.ShowMarquee(on); }
  void ShowProgress(uint32_t permille) override { window.ShowProgress(permille); }
  void ShowPaused(bool paused) override { window.ShowPaused(paused); }
  ProgressEvent NextEvent() override {
    ULONGLONG now = GetTickCount64();
    if (lastPump != 0) longestGap = std::max(longestGap, now - lastPump);
    lastPump = now;
    if (onPump) onPump();
    return window.NextEvent();
  }
  bool ConfirmCancel(WideView question) override { return Asked(question, window.ConfirmCancel(question)); }
  bool ConfirmDeletions(WideView question) override { return Asked(question, window.ConfirmDeletions(question)); }
  bool Asked(WideView question, bool answer) {
    asked.emplace_back(question);
    lastPump = GetTickCount64();  // the question's own loop handled the messages meanwhile
    return answer;
  }
  int CompletionChoice() override {
    int choice = window.CompletionChoice();
    choiceReadAt = GetTickCount64();
    return choice;
  }

  HWND Control(int id) { return window.window().ControlHandle(id); }
  WideString Text(int id) { return ControlText(window.window(), id); }

  ProgressWindow window;
  std::vector<WideString> statuses;
  std::vector<WideString> asked;
  std::function<void()> onPump;
  ULONGLONG lastPump = 0;
  ULONGLONG longestGap = 0;
  ULONGLONG choiceReadAt = 0;
  WideString closedTitle;
};

// Answers the cancel question from another thread once it is on screen: Yes or No.
class QuestionAnswerer {
 public:
  // whenShown: called on the answering thread once the question is there, before it is answered.
  explicit QuestionAnswerer(bool yes, std::function<void()> whenShown = {})
      : whenShown_(std::move(whenShown)), thread_([this, yes] { Run(yes); }) {}
  ~QuestionAnswerer() { thread_.join(); }
  bool answered() const { return answered_; }

 private:
  void Run(bool yes) {
    ULONGLONG end = GetTickCount64() + 10000;
    while (GetTickCount64() < end) {
      if (HWND box = FindProcessWindow(L"_WINDOW_MsgBoxClass", GetCurrentProcessId())) {
        HWND button = FindWindowExW(box, nullptr, L"Button", yes ? L"Yes" : L"No");
        if (button) {
          if (whenShown_) whenShown_();
          PostMessageW(button, BM_CLICK, 0, 0);
          answered_ = true;
          return;
        }
      }
      Sleep(10);
    }
  }
  std::atomic<bool> answered_{false};
  std::function<void()> whenShown_;
  std::thread thread_;
};

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = root / L"source";
    target = root / L"target";
    ASSERT_TRUE(WriteTestFile(source + L"\\one.bin", std::string(1 << 20, 'x')));
    ASSERT_TRUE(WriteTestFile(source + L"\\two.bin", std::string(1 << 20, 'y')));
  }

  RunSummary Run(BackupMode mode, DWORD delayMs) {
    JobList jobs;
    jobs.Add({source, target, L"", L"", L"", true});
    RunController controller(progress, log, view, power, 6.1);
    controller.SetLocalSideMaker([delayMs] { return SlowLocalSide([delayMs](int) { return delayMs; }); });
    controller.Prepare(BackupOptions{mode, false, 0});
    return controller.Run(jobs);
  }

  TempFolder root;
  WideString source, target;
  ErrorLog log{root / L"log.txt"};
  RunProgress progress;
  RecordingPower power;
  WatchedWindow view;
};

TEST_F(ProgressWindowTest, TheStatusLineFollowsTheJobAndTheWindowStaysLive) {
  // Two files of 16 reads of 80 ms, copied side by side: the copy takes more than a second, and the
  // elapsed time shows.
  RunSummary summary = Run(BackupMode::kCommon, 80);
  EXPECT_EQ(summary.result, RunResult::kFinished);
  EXPECT_EQ(ReadTestFile(target + L"\\two.bin"), std::string(1 << 20, 'y'));
  ASSERT_GE(view.statuses.size(), 4u);
  EXPECT_EQ(view.statuses[0], L"Preparing...");
  EXPECT_EQ(view.statuses[1], L"Enumerating files.");
  EXPECT_EQ(view.statuses[2], L"Copying files, job 1 of 1");
  // A few times a second, how much is done of how much (the counted folder is an item too) and how fast.
  EXPECT_EQ(view.statuses[3].rfind(L"Copying files, job 1 of 1\r\n", 0), 0u) << text::ToUtf8(view.statuses[3]);
  EXPECT_NE(view.statuses[3].find(L" of 2 items, "), WideString::npos);
  EXPECT_NE(view.statuses[3].find(L" of 2.0 MB"), WideString::npos);
  auto shown = [&](WideView piece) {
    return std::any_of(view.statuses.begin(), view.statuses.end(), [&](const WideString& status) {
      return status.find(piece) != WideString::npos;
    });
  };
  EXPECT_TRUE(shown(L"Copying files, job 1 of 1 | 1 second elapsed\r\n"));
  EXPECT_TRUE(shown(L"B/s")) << "the speed, once two readings of the counters are there";
  EXPECT_EQ(view.closedTitle, L"Backup operation progress");
  // The UI thread handled its messages all along, though every read of the worker was slow.
  EXPECT_LE(view.longestGap, 50u);
}

TEST_F(ProgressWindowTest, PausingTwiceGivesBackTheButtonAndTheStatusLine) {
  int step = 0;
  uint64_t bytesWhenPaused = 0;
  bool heldStill = false;
  ULONGLONG pausedAt = 0;
  view.onPump = [&] {
    HWND pause = view.Control(view.window.pauseButton());
    if (step == 0 && progress.bytesDone.load() > 1) {
      PostMessageW(pause, BM_CLICK, 0, 0);
      step = 1;
    } else if (step == 1 && view.Text(view.window.pauseButton()) == L"  Resume" && progress.pause.Holders() >= 2) {
      // The two files are copied at once: both workers stand still (one may hold before taking its file).
      EXPECT_EQ(view.Text(view.window.statusLine()), L"Paused. Press \"Resume\" to continue.");
      bytesWhenPaused = progress.bytesDone.load();
      pausedAt = GetTickCount64();
      step = 2;
    } else if (step == 2 && GetTickCount64() - pausedAt > 300) {
      heldStill = progress.bytesDone.load() == bytesWhenPaused;
      PostMessageW(pause, BM_CLICK, 0, 0);
      step = 3;
    } else if (step == 3 && view.Text(view.window.pauseButton()) == L"  Pause") {
      EXPECT_EQ(view.Text(view.window.statusLine()).rfind(L"Copying files, job 1 of 1", 0), 0u);
      step = 4;
    }
  };
  RunSummary summary = Run(BackupMode::kCommon, 20);
  EXPECT_EQ(summary.result, RunResult::kFinished);
  EXPECT_EQ(step, 4);
  EXPECT_TRUE(heldStill);  // nothing was written while paused
  EXPECT_EQ(ReadTestFile(target + L"\\one.bin").size(), 1u << 20);
}

TEST_F(ProgressWindowTest, CancelAnsweredNoGoesOnAndTheWindowComesBack) {
  bool pressed = false;
  std::atomic<bool> heldWhileAsked{false};
  std::unique_ptr<QuestionAnswerer> answerer;
  view.onPump = [&] {
    if (!pressed && progress.bytesDone.load() > 1) {
      // While the question is open nothing is copied: the workers come to stand still, and stay so.
      answerer = std::make_unique<QuestionAnswerer>(false, [&] {
        if (!WaitUntil([&] { return progress.pause.Holders() >= 1; }, 5000)) return;
        Sleep(200);  // a read already under way when the question came ends first
        uint64_t bytes = progress.bytesDone.load();
        Sleep(300);
        heldWhileAsked = progress.bytesDone.load() == bytes && progress.pause.Holders() >= 1;
      });
      PostMessageW(view.Control(view.window.cancelButton()), BM_CLICK, 0, 0);
      pressed = true;
    }
  };
  RunSummary summary = Run(BackupMode::kCommon, 40);
  answerer.reset();
  EXPECT_EQ(summary.result, RunResult::kFinished);
  ASSERT_EQ(view.asked.size(), 1u);
  EXPECT_EQ(view.asked[0], L"Are you sure you want to cancel the backup operation?");
  EXPECT_TRUE(heldWhileAsked);
  EXPECT_EQ(ReadTestFile(target + L"\\two.bin").size(), 1u << 20);  // the run went on to the end
}

TEST_F(ProgressWindowTest, ARestoreRunCancelledWithYesNamesTheRestoreAndEnds) {
  // The restore reads the destination: put the files there.
  ASSERT_TRUE(WriteTestFile(target + L"\\one.bin", std::string(1 << 20, 'r')));
  ASSERT_TRUE(WriteTestFile(target + L"\\two.bin", std::string(1 << 20, 's')));
  bool pressed = false;
  std::unique_ptr<QuestionAnswerer> answerer;
  view.onPump = [&] {
    if (!pressed && progress.bytesDone.load() > 1) {
      answerer = std::make_unique<QuestionAnswerer>(true);
      // A close request for the window is a Cancel too.
      PostMessageW(view.window.window().handle(), WM_CLOSE, 0, 0);
      pressed = true;
    }
  };
  RunSummary summary = Run(BackupMode::kRestore, 20);
  answerer.reset();
  EXPECT_EQ(summary.result, RunResult::kCancelled);
  EXPECT_EQ(view.closedTitle, L"Restore operation progress");
  ASSERT_EQ(view.asked.size(), 1u);
  EXPECT_EQ(view.asked[0], L"Are you sure you want to cancel the restore operation?");
  EXPECT_TRUE(power.calls.empty());  // no completion action after a cancelled run
}

TEST_F(ProgressWindowTest, ACompletionListDroppedDownDelaysTheActionUntilItCloses) {
  ULONGLONG closedAt = 0;
  std::thread closer;
  bool dropped = false;
  view.onPump = [&] {
    HWND list = view.Control(view.window.completionList());
    if (!dropped && progress.bytesDone.load() > 1) {
      SendMessageW(list, CB_SETCURSEL, 2, 0);  // Log off
      SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
      dropped = SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != 0;
      if (!dropped) return;
      closer = std::thread([list, &closedAt] {
        Sleep(800);
        closedAt = GetTickCount64();
        PostMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
      });
    }
  };
  RunSummary summary = Run(BackupMode::kCommon, 5);
  if (closer.joinable()) closer.join();
  if (!dropped) GTEST_SKIP() << "the drop-down list does not open on this system";
  EXPECT_EQ(summary.result, RunResult::kFinishedAndClose);
  EXPECT_EQ(power.calls, std::vector<WideString>{L"log off"});
  EXPECT_GE(view.choiceReadAt, closedAt);  // read only once the list was closed up
}

TEST_F(ProgressWindowTest, ALongLocationIsCutAndTheWindowKeepsItsSize) {
  view.Open(L"Backup operation progress");
  RECT before{};
  GetWindowRect(view.window.window().handle(), &before);
  WideString longPath = L"C:\\" + std::wstring(600, L'a') + L"\\end";
  view.ShowLocations(L"Source: " + longPath, L"Destination: " + longPath);
  view.window.window().Flush();
  RECT after{};
  GetWindowRect(view.window.window().handle(), &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  view.Close();
}

TEST_F(ProgressWindowTest, AStuckWorkerNeverStopsTheWindowDuringTheGracePeriod) {
  // One read that takes five seconds: the cancelled worker outlives the two-second grace period.
  bool pressed = false;
  std::unique_ptr<QuestionAnswerer> answerer;
  ULONGLONG cancelledAt = 0;
  view.onPump = [&] {
    if (!pressed && progress.bytesDone.load() > 1) {
      answerer = std::make_unique<QuestionAnswerer>(true);
      PostMessageW(view.Control(view.window.cancelButton()), BM_CLICK, 0, 0);
      pressed = true;
    }
    if (pressed && cancelledAt == 0 && progress.CancelRequested()) cancelledAt = GetTickCount64();
  };
  JobList jobs;
  jobs.Add({source, target, L"", L"", L"", true});
  RunController controller(progress, log, view, power, 6.1);
  // Every read of the source is quick but the second, which takes five seconds.
  controller.SetLocalSideMaker([] {
    return SlowLocalSide([](int read) { return read == 2 ? DWORD{5000} : DWORD{10}; });
  });
  controller.Prepare(BackupOptions{BackupMode::kCommon, false, 0});
  RunSummary summary = controller.Run(jobs);
  answerer.reset();
  EXPECT_EQ(summary.result, RunResult::kCancelled);
  ASSERT_NE(cancelledAt, 0u);
  EXPECT_GE(GetTickCount64() - cancelledAt, 2000u);  // the worker did outlive the grace period
  // A window held up by the worker would stand still for seconds; a busy machine delays a turn by tens of ms.
  EXPECT_LE(view.longestGap, 250u);
}

// Strict from a source that came back empty: the window asks before anything goes, and No keeps it all.
TEST_F(ProgressWindowTest, DeletingTheWholeBackupIsAskedFirst) {
  ASSERT_TRUE(DeleteFileW((source + L"\\one.bin").c_str()));
  ASSERT_TRUE(DeleteFileW((source + L"\\two.bin").c_str()));
  ASSERT_TRUE(WriteTestFile(target + L"\\kept.txt", "precious"));
  for (bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    view.asked.clear();
    QuestionAnswerer answerer(yes);
    RunSummary summary = Run(BackupMode::kStrict, 0);
    EXPECT_EQ(summary.result, RunResult::kFinished);
    EXPECT_EQ(view.asked, std::vector<WideString>{L"This backup would delete 1 of the 1 files in " + target +
                                                  L". Delete them?"});
    EXPECT_EQ(Exists(target + L"\\kept.txt"), !yes);
    EXPECT_EQ(summary.failures, 0u);  // a No is the user's answer, not a failure
  }
}

}  // namespace
