// The window framework driven for real under Xvfb: windows are made, input is posted as a user's would
// be, and the event loop is run until the expected event arrives or a deadline passes.

#include "ui/Controls.h"
#include "ui/ListView.h"
#include "ui/Menus.h"
#include "ui/MessageBox.h"
#include "ui/UiWindow.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shlobj.h>

#include "TestSupport.h"

#include "GdiplusSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new testing_support::GdiplusForAllTests);

// Runs the window's loop until an event satisfies the condition or the deadline passes.
bool LoopUntil(UiWindow& window, const std::function<bool(const UiEvent&)>& wanted, DWORD deadlineMs = 5000) {
  ULONGLONG end = GetTickCount64() + deadlineMs;
  while (GetTickCount64() < end) {
    const UiEvent& event = window.NextEvent();
    if (event.code != kEventNone && wanted(event)) return true;
    if (event.code == kEventNone) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return false;
}

// Runs the window's loop until the condition holds or the deadline passes; true when it held.
bool PumpUntil(UiWindow& window, const std::function<bool()>& done, DWORD deadlineMs = 5000) {
  ULONGLONG end = GetTickCount64() + deadlineMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    if (window.NextEvent().code == kEventNone) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

// A 14 x 14 picture in one colour, for check boxes and radio buttons.
UniqueBitmap Square(COLORREF colour) {
  WindowDc screen(nullptr);
  UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 14, 14));
  UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
  SelectedObject selected(dc.get(), bitmap.get());
  UniqueBrush brush(CreateSolidBrush(colour));
  RECT all{0, 0, 14, 14};
  FillRect(dc.get(), &all, brush.get());
  return bitmap;
}

class UiWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create(L"BrimlarkTestWindow", L"Test", 640, 480, kCentred, kCentred, kDefaultWindowStyle,
                              kDefaultExtendedStyle, nullptr));
    window.Show(SW_SHOW, UiWindow::kShowUpdate);
    window.Flush();
  }

  int AddCheck(WideView text, int y, uint32_t state = kStateUnchecked) {
    return AddCheckBox(window, text, Square(RGB(255, 255, 255)), Square(RGB(0, 128, 0)), 20, y, 200, state);
  }
  int AddRadio(WideView text, int y, uint32_t state = kStateUnchecked) {
    return AddRadioButton(window, text, Square(RGB(255, 255, 255)), Square(RGB(0, 128, 0)), 20, y, 200, state);
  }
  bool Checked(int id) { return (window.GetState(id) & kStateChecked) != 0; }

  UiWindow window;
};

TEST_F(UiWindowTest, AButtonClickRaisesItsId) {
  int first = AddPushButton(window, L"First", 10, 10, 80, 25);
  int second = AddPushButton(window, L"Second", 100, 10, 80, 25);
  ASSERT_GT(second, first);
  PostMessageW(window.ControlHandle(second), BM_CLICK, 0, 0);
  int seen = 0;
  EXPECT_TRUE(LoopUntil(window, [&](const UiEvent& event) {
    seen = event.code;
    return event.code > 0;
  }));
  EXPECT_EQ(seen, second);
  EXPECT_EQ(window.event().source, &window);
}

TEST_F(UiWindowTest, ACloseRequestBecomesOneCloseEventAndClosesNothing) {
  PostMessageW(window.handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(LoopUntil(window, [](const UiEvent& event) { return event.code == kEventClose; }));
  EXPECT_TRUE(IsWindow(window.handle()));  // the owner decides
  EXPECT_TRUE(window.event().closing);
}

TEST_F(UiWindowTest, ACloseRequestDuringAModalBoxReachesTheOwnerAfterwards) {
  MessageBoxWindow box;
  // The request arrives while the box is open and sharing the owner's record.
  PostMessageW(window.handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(box.Ask(&window, L"Still there?", MessageKind::kYesNo), kAnswerClosed);
  EXPECT_FALSE(IsWindow(box.box().handle()));
  EXPECT_TRUE(LoopUntil(window, [](const UiEvent& event) { return event.code == kEventClose; }, 1000));
}

TEST_F(UiWindowTest, EnterOnAFocusedCheckBoxTogglesItLikeAClick) {
  int box = AddCheck(L" Skip copying hidden files.", 20);
  ASSERT_GT(box, 0);
  EXPECT_FALSE(Checked(box));
  SetFocus(window.ControlHandle(box));
  PostMessageW(window.ControlHandle(box), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(LoopUntil(window, [&](const UiEvent& event) { return event.code == box; }));
  EXPECT_TRUE(Checked(box));
  // A click on the picture half toggles it back and reports the label's id.
  PostMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(box - 1, STN_CLICKED),
               reinterpret_cast<LPARAM>(window.ControlHandle(box - 1)));
  EXPECT_TRUE(LoopUntil(window, [&](const UiEvent& event) { return event.code == box; }));
  EXPECT_FALSE(Checked(box));
}

TEST_F(UiWindowTest, APairIsCreatedInTheStateAskedAndSetStateMovesBothHalves) {
  int on = AddRadio(L"On", 20, kStateChecked);
  window.StartGroup();
  int off = AddRadio(L"Off", 50, 12345);  // anything but "checked" is unchecked
  EXPECT_TRUE(Checked(on));
  EXPECT_FALSE(Checked(off));
  EXPECT_TRUE(window.SetState(on, kStateHide | kStateDisable));
  EXPECT_FALSE(IsWindowVisible(window.ControlHandle(on)));
  EXPECT_FALSE(IsWindowVisible(window.ControlHandle(on - 1)));
  EXPECT_FALSE(IsWindowEnabled(window.ControlHandle(on - 1)));
  EXPECT_TRUE(window.SetState(on, kStateShow | kStateEnable));
  EXPECT_TRUE(IsWindowVisible(window.ControlHandle(on - 1)));
  EXPECT_TRUE(IsWindowEnabled(window.ControlHandle(on)));
}

TEST_F(UiWindowTest, CheckingARadioButtonUnchecksItsGroupInBothDirectionsAndNoFurther) {
  window.StartGroup();
  int a1 = AddRadio(L"a1", 20);
  int label = AddLabel(window, L"between", 20, 40, 100, 16);
  int a2 = AddRadio(L"a2", 60);
  int a3 = AddRadio(L"a3", 80);
  window.StartGroup();
  int b1 = AddRadio(L"b1", 120, kStateChecked);
  int b2 = AddRadio(L"b2", 140);
  ASSERT_GT(label, 0);
  window.SetState(a1, kStateChecked);
  window.SetState(a3, kStateChecked);  // backwards over a2 and the label to a1, which starts the group
  EXPECT_FALSE(Checked(a1));
  EXPECT_TRUE(Checked(a3));
  EXPECT_TRUE(Checked(b1));  // the next group is left alone
  window.SetState(a1, kStateChecked);  // forwards, stopping before b1
  EXPECT_TRUE(Checked(a1));
  EXPECT_FALSE(Checked(a2));
  EXPECT_FALSE(Checked(a3));
  EXPECT_TRUE(Checked(b1));
  window.SetState(b2, kStateChecked);  // backwards from the second group stops at its own start
  EXPECT_FALSE(Checked(b1));
  EXPECT_TRUE(Checked(a1));
}

TEST(Relayout, EveryRuleInIntegerArithmetic) {
  const ControlBox created{100, 50, 80, 20};
  const ControlBox current{7, 9, 11, 13};
  struct Case {
    uint32_t flags;
    ControlBox expected;
  };
  // The parent grows from 400 x 300 to 600 x 450.
  const Case cases[] = {
      {0, {7, 9, 11, 13}},                                           // no flags: nothing moves
      {kKeepLeft | kKeepTop, {100, 50, 80, 20}},                     // near edges kept
      {kKeepRight | kKeepBottom, {300, 200, 80, 20}},                // far edges kept
      {kKeepLeft | kKeepRight | kKeepTop | kKeepBottom, {100, 50, 280, 170}},  // stretched
      {kKeepHorizontalCentre | kKeepVerticalCentre, {200, 125, 80, 20}},       // offset from the centre
      {kProportionalX | kProportionalY, {150, 75, 80, 20}},
      {kProportionalX | kProportionalWidth | kProportionalY | kProportionalHeight, {150, 75, 120, 30}},
      // proportional centre: 600*1000 / (400*1000 / (40 + 100)) - 40 = 600000/2857 - 40
      {kProportionalHorizontalCentre | kKeepTop, {600000 / (400000 / 140) - 40, 50, 80, 20}},
  };
  for (const Case& c : cases) {
    ControlBox box = RelaidOut(c.flags, created, current, 400, 300, 600, 450);
    EXPECT_EQ(box.x, c.expected.x) << std::hex << c.flags;
    EXPECT_EQ(box.y, c.expected.y) << std::hex << c.flags;
    EXPECT_EQ(box.width, c.expected.width) << std::hex << c.flags;
    EXPECT_EQ(box.height, c.expected.height) << std::hex << c.flags;
  }
}

TEST_F(UiWindowTest, ResizingMovesAnchoredControlsOnly) {
  int fixed = AddLabel(window, L"fixed", 10, 10, 50, 16);
  window.SetDefaultResize(kKeepRight | kKeepBottom);
  int anchored = AddPushButton(window, L"OK", 540, 440, 80, 25);
  SetWindowPos(window.handle(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
  window.Flush();
  RECT client{}, button{}, label{};
  GetClientRect(window.handle(), &client);
  GetWindowRect(window.ControlHandle(anchored), &button);
  GetWindowRect(window.ControlHandle(fixed), &label);
  MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&button), 2);
  MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&label), 2);
  EXPECT_EQ(button.left, 540 + (client.right - 640));
  EXPECT_EQ(button.top, 440 + (client.bottom - 480));
  EXPECT_EQ(label.left, 10);
  EXPECT_EQ(label.top, 10);
}

TEST_F(UiWindowTest, The513thControlGrowsTheTableAndKeepsEveryRecord) {
  std::vector<int> ids;
  for (int i = 0; i < 513; ++i) ids.push_back(AddLabel(window, L"x", i % 600, (i / 600) * 20, 5, 5));
  EXPECT_EQ(ids.front(), 1);
  EXPECT_EQ(ids.back(), 513);
  EXPECT_GE(window.Capacity(), 1024u);
  EXPECT_EQ(window.Record(1)->type, ControlType::kLabel);
  EXPECT_EQ(window.IdOf(window.ControlHandle(1)), 1);
  EXPECT_EQ(window.IdOf(window.ControlHandle(513)), 513);
  EXPECT_EQ(window.Record(514), nullptr);
  EXPECT_EQ(window.ControlHandle(-1), window.ControlHandle(513));
}

// A large window centred over a small one in the screen's corner stays on the screen.
TEST_F(UiWindowTest, CentringNeverPutsAWindowOffTheScreen) {
  UiWindow small, large;
  ASSERT_TRUE(small.Create(L"BrimlarkTestSmall", L"Small", 200, 100, 0, 0, WS_POPUP, 0, nullptr));
  ASSERT_TRUE(large.Create(L"BrimlarkTestLarge", L"Large", 700, 500, 0, 0, WS_POPUP, 0, nullptr));
  UiWindow::Centre(large.handle(), small.handle());
  RECT placed{}, work{};
  ASSERT_TRUE(GetWindowRect(large.handle(), &placed));
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_GE(placed.left, work.left);
  EXPECT_GE(placed.top, work.top);
  EXPECT_LE(placed.right, work.right);
  EXPECT_LE(placed.bottom, work.bottom);
}

// A picture button has a picture for each state (normal, hot, pressed, disabled, default, stylus hot);
// the disabled one is a picture of its own.
TEST_F(UiWindowTest, PictureButtonHasItsOwnDisabledPicture) {
  int button = AddImageButton(window, L"  Add", Square(RGB(0, 160, 0)), 10, 10, 120, 30);
  ASSERT_GT(button, 0);
  BUTTON_IMAGELIST list{};
  ASSERT_TRUE(SendMessageW(window.ControlHandle(button), BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list)));
  ASSERT_TRUE(list.himl);
  EXPECT_EQ(ImageList_GetImageCount(list.himl), 6);
  // Drawn on white: the normal picture is green, the disabled one a light grey.
  auto drawn = [&](int index) {
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    UniqueBitmap canvas(CreateCompatibleBitmap(screen.get(), 14, 14));
    SelectedObject selected(dc.get(), canvas.get());
    RECT all{0, 0, 14, 14};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(list.himl, index, dc.get(), 0, 0, ILD_NORMAL);
    return GetPixel(dc.get(), 7, 7);
  };
  EXPECT_EQ(drawn(0), RGB(0, 160, 0));
  COLORREF disabled = drawn(3);
  EXPECT_EQ(GetRValue(disabled), GetGValue(disabled));
  EXPECT_EQ(GetGValue(disabled), GetBValue(disabled));
  EXPECT_GT(GetRValue(disabled), 128);
}

TEST_F(UiWindowTest, OneTooltipWindowServesEveryControl) {
  int first = AddPushButton(window, L"A", 10, 10, 80, 25);
  int second = AddPushButton(window, L"B", 100, 10, 80, 25);
  ASSERT_TRUE(SetTooltip(window, first, L"First line\r\nSecond line"));
  HWND tip = window.tooltipWindow();
  ASSERT_TRUE(tip);
  ASSERT_TRUE(SetTooltip(window, second, L"Other"));
  ASSERT_TRUE(SetTooltip(window, first, L"Changed"));  // replaced, not added
  EXPECT_EQ(window.tooltipWindow(), tip);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
  EXPECT_GE(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 100000);
}

TEST_F(UiWindowTest, ListRowsSwapCheckAndSort) {
  int list = AddListView(window, L"Source\nBackup", 10, 10, 500, 200, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
  ASSERT_GT(list, 0);
  AddListRow(window, list, L"b 10\nB");
  AddListRow(window, list, L"a\nA");
  AddListRow(window, list, L"b 9\nC");
  ASSERT_EQ(ListRowCount(window, list), 3);
  SetListRowChecked(window, list, 0, true);
  EXPECT_TRUE(SwapListRows(window, list, 0, 1));
  EXPECT_EQ(ListCell(window, list, 0, 0), L"a");
  EXPECT_EQ(ListCell(window, list, 1, 1), L"B");
  EXPECT_TRUE(IsListRowChecked(window, list, 1));  // the check mark travels with its row
  EXPECT_FALSE(IsListRowChecked(window, list, 0));
  CheckAllListRows(window, list, true);
  for (int row = 0; row < 3; ++row) EXPECT_TRUE(IsListRowChecked(window, list, row));
  CheckAllListRows(window, list, false);
  for (int row = 0; row < 3; ++row) EXPECT_FALSE(IsListRowChecked(window, list, row));

  SetListSortable(window, list, true);
  HWND header = reinterpret_cast<HWND>(SendMessageW(window.ControlHandle(list), LVM_GETHEADER, 0, 0));
  auto clickHeading = [&](int column) {
    NMLISTVIEW click{};
    click.hdr.hwndFrom = window.ControlHandle(list);
    click.hdr.idFrom = static_cast<UINT_PTR>(list);
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(window.handle(), WM_NOTIFY, static_cast<WPARAM>(list), reinterpret_cast<LPARAM>(&click));
  };
  clickHeading(0);
  EXPECT_EQ(ListCell(window, list, 0, 0), L"a");
  EXPECT_EQ(ListCell(window, list, 1, 0), L"b 9");  // numbers in their numeric order
  EXPECT_EQ(ListCell(window, list, 2, 0), L"b 10");
  HDITEMW heading{};
  heading.mask = HDI_FORMAT;
  SendMessageW(header, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&heading));
  EXPECT_TRUE(heading.fmt & HDF_SORTUP);
  clickHeading(0);
  EXPECT_EQ(ListCell(window, list, 0, 0), L"b 10");
  SendMessageW(header, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&heading));
  EXPECT_TRUE(heading.fmt & HDF_SORTDOWN);
  clickHeading(1);
  EXPECT_EQ(ListCell(window, list, 0, 1), L"A");
  SendMessageW(header, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&heading));
  EXPECT_FALSE(heading.fmt & (HDF_SORTUP | HDF_SORTDOWN));  // only the clicked heading shows an arrow
}

TEST_F(UiWindowTest, SeveralDroppedFoldersAreOneEventWithTheirPathsOnLines) {
  int list = AddListView(window, L"Source\nBackup", 10, 10, 500, 200);
  const wchar_t kPaths[] = L"C:\\one\0D:\\two\\three\0";
  size_t bytes = sizeof(DROPFILES) + sizeof(kPaths) + sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = {50, 50};  // over the list
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), kPaths, sizeof(kPaths));
  GlobalUnlock(memory);
  PostMessageW(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  int drops = 0;
  EXPECT_TRUE(LoopUntil(window, [&](const UiEvent& event) {
    if (event.code == kEventDrop) ++drops;
    return event.code == kEventDrop;
  }));
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(window.event().param, list);
  EXPECT_EQ(WideString(reinterpret_cast<const wchar_t*>(window.event().extra)), L"C:\\one\r\nD:\\two\\three");
}

TEST_F(UiWindowTest, ALockDisablesItsRangeAndGivesBackOnlyWhatItDisabled) {
  int a = AddPushButton(window, L"A", 10, 10, 80, 25);
  int b = AddPushButton(window, L"B", 100, 10, 80, 25);
  int c = AddPushButton(window, L"C", 200, 10, 80, 25);
  EnableWindow(window.ControlHandle(b), FALSE);
  {
    UiLock lock(window, a, b);
    EXPECT_FALSE(IsWindowEnabled(window.ControlHandle(a)));
    EXPECT_TRUE(IsWindowEnabled(window.ControlHandle(c)));
  }
  EXPECT_TRUE(IsWindowEnabled(window.ControlHandle(a)));
  EXPECT_FALSE(IsWindowEnabled(window.ControlHandle(b)));  // it was disabled before
}

TEST_F(UiWindowTest, MenuItemsRaiseTheirIds) {
  int menu = AddPopupMenu(window, L"First");
  int second = AddMenuItem(window, menu, L"Second");
  ASSERT_GT(second, menu + 1);
  // The menu notifies by position, as a chosen item would.
  PostMessageW(window.handle(), WM_MENUCOMMAND, 1, reinterpret_cast<LPARAM>(window.Record(menu)->menu));
  EXPECT_TRUE(LoopUntil(window, [&](const UiEvent& event) { return event.code == second; }));
}

// Answers a message box from another thread once it is on screen: the n-th button from the left.
class BoxClicker {
 public:
  // When no box of this process appears, the owner gets a close request instead, so that the test ends.
  BoxClicker(int buttonFromLeft, HWND owner)
      : owner_(owner), thread_([this, buttonFromLeft] { Run(buttonFromLeft); }) {}
  ~BoxClicker() { thread_.join(); }
  bool clicked() const { return clicked_; }

 private:
  void Run(int index) {
    ULONGLONG end = GetTickCount64() + 5000;
    while (GetTickCount64() < end) {
      HWND box = testing_support::FindProcessWindow(L"_WINDOW_MsgBoxClass", GetCurrentProcessId());
      if (box) {
        std::vector<std::pair<LONG, HWND>> buttons;
        EnumChildWindows(box, [](HWND child, LPARAM list) {
          wchar_t name[32];
          GetClassNameW(child, name, 32);
          if (lstrcmpiW(name, L"Button") == 0) {
            RECT box{};
            GetWindowRect(child, &box);
            reinterpret_cast<std::vector<std::pair<LONG, HWND>>*>(list)->emplace_back(box.left, child);
          }
          return TRUE;
        }, reinterpret_cast<LPARAM>(&buttons));
        std::sort(buttons.begin(), buttons.end());
        if (static_cast<size_t>(index) < buttons.size()) {
          PostMessageW(buttons[static_cast<size_t>(index)].second, BM_CLICK, 0, 0);
          clicked_ = true;
          return;
        }
      }
      Sleep(10);
    }
    PostMessageW(owner_, WM_CLOSE, 0, 0);
  }
  HWND owner_;
  std::atomic<bool> clicked_{false};
  std::thread thread_;
};

TEST_F(UiWindowTest, MessageBoxAnswersForEveryKindAndButton) {
  struct Case {
    MessageKind kind;
    int button;
    int answer;
  };
  const Case cases[] = {{MessageKind::kOk, 0, 1},          {MessageKind::kYesNo, 0, 1},
                        {MessageKind::kYesNo, 1, 0},       {MessageKind::kOkCancel, 0, 1},
                        {MessageKind::kOkCancel, 1, -1},   {MessageKind::kYesNoCancel, 0, 1},
                        {MessageKind::kYesNoCancel, 1, 0}, {MessageKind::kYesNoCancel, 2, -1}};
  MessageBoxWindow box;
  for (const Case& c : cases) {
    int answer = 0;
    bool clicked = false;
    {
      BoxClicker clicker(c.button, window.handle());
      answer = box.Ask(&window, L"Question?", c.kind);
      clicked = clicker.clicked();
    }
    EXPECT_TRUE(clicked);
    EXPECT_EQ(answer, c.answer) << static_cast<int>(c.kind) << " button " << c.button;
    EXPECT_TRUE(IsWindowEnabled(window.handle()));
  }
  EXPECT_EQ(box.Ask(nullptr, L"No owner", MessageKind::kYesNo), 1);
}

TEST_F(UiWindowTest, AMessageBoxNarrowerThan160Is360WideWithItsButtonsPlaced) {
  MessageBoxWindow box;
  box.ShowBox(&window, L"Narrow", MessageKind::kYesNoCancel, 150, 100);
  RECT client{};
  GetClientRect(box.box().handle(), &client);
  EXPECT_EQ(client.right, 360);
  EXPECT_EQ(client.bottom, 150);
  // Three buttons: l = (360 - 240) / 4 = 30 at 30, 140, 250, all at y = 115.
  int expectedX[] = {30, 140, 250};
  for (int i = 0; i < 3; ++i) {
    RECT button{};
    GetWindowRect(box.box().ControlHandle(box.buttonId(i)), &button);
    MapWindowPoints(nullptr, box.box().handle(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(button.left, expectedX[i]);
    EXPECT_EQ(button.top, 115);
  }
  box.Close();
}

TEST_F(UiWindowTest, ATipSplitsItsCaptionAndIsAsHighAsItsLinesPlus45) {
  MessageBoxWindow box;
  auto height = [&] {
    RECT shown{};
    GetWindowRect(box.tip().handle(), &shown);
    return shown.bottom - shown.top;
  };
  box.ShowTip(window, L"Successfully saved.||Saved", 130);
  UiWindow& tip = box.tip();
  ASSERT_TRUE(tip.handle());
  EXPECT_EQ(ControlText(tip, 1), L"Successfully saved.");
  EXPECT_EQ(ControlText(tip, 2), L"Saved");
  HWND label = tip.ControlHandle(1);
  SIZE line{};
  {
    WindowDc dc(label);
    SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    ASSERT_TRUE(GetTextExtentPoint32W(dc.get(), L"Second line", 11, &line));
  }
  EXPECT_EQ(height(), line.cy + 45);
  box.ShowTip(window, L"First line\r\nSecond line\r\nThird line", 130);
  EXPECT_EQ(ControlText(box.tip(), 2), L"Information");
  EXPECT_EQ(height(), 3 * line.cy + 45);
  box.Close();
}

TEST_F(UiWindowTest, ATipGoesAtTheNextKeyOrClickInItsOwnerOrOnItself) {
  int button = AddPushButton(window, L"Other", 300, 300, 80, 25);
  MessageBoxWindow box;
  struct Case {
    const char* what;
    bool onTip;
    UINT message;
    WPARAM wParam;
  };
  const Case cases[] = {{"a click on the tip", true, WM_LBUTTONDOWN, MK_LBUTTON},
                        {"a key in the owner", false, WM_KEYDOWN, 'A'},
                        {"a click in the owner", false, WM_LBUTTONDOWN, MK_LBUTTON}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    box.ShowTip(window, L"Successfully saved.");
    window.Flush();  // the tip's own showing is no input
    ASSERT_TRUE(box.tip().handle());
    HWND target = c.onTip ? box.tip().ControlHandle(1) : window.ControlHandle(button);
    PostMessageW(target, c.message, c.wParam, MAKELPARAM(5, 5));
    if (c.message == WM_LBUTTONDOWN) PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(PumpUntil(window, [&] { return box.tip().handle() == nullptr; }));
  }
  // The box object may go before its owner: the owner forgets the tip.
  {
    MessageBoxWindow shortLived;
    shortLived.ShowTip(window, L"Gone first.");
  }
  PostMessageW(window.ControlHandle(button), WM_KEYDOWN, 'A', 0);
  window.Flush();
}

TEST_F(UiWindowTest, AHollowLabelsNewTextIsPaintedOnWhatLiesUnderIt) {
  constexpr COLORREF kGreen = RGB(0, 96, 0);
  window.SetBackgroundColour(kGreen);
  window.SetDefaultColours(static_cast<int32_t>(RGB(255, 255, 255)), kHollow);
  int label = AddLabel(window, L"", 20, 20, 300, 18, SS_RIGHT);
  // Only what is not covered by another window (of a test running beside this one) is painted.
  SetWindowPos(window.handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // Whether the left half of the label, where only the long text reaches, shows anything but the background.
  WindowDc dc(window.handle());
  auto leftHalfWritten = [&] {
    for (int y = 20; y < 38; ++y) {
      for (int x = 20; x < 170; ++x) {
        if (GetPixel(dc.get(), x, y) != kGreen) return true;
      }
    }
    return false;
  };
  if (!PumpUntil(window, [&] { return GetPixel(dc.get(), 10, 10) == kGreen; })) {
    GTEST_SKIP() << "this system gives no pixels of a window's surface";
  }
  ASSERT_TRUE(SetControlText(window, label, L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
  ASSERT_TRUE(PumpUntil(window, leftHalfWritten));
  ASSERT_TRUE(SetControlText(window, label, L"W"));
  EXPECT_TRUE(PumpUntil(window, [&] { return !leftHalfWritten(); }));
  EXPECT_EQ(ControlText(window, label), L"W");
}

// Every control kind, made and taken apart again.
std::vector<int> MakeEveryKind(UiWindow& window) {
  std::vector<int> made;
  made.push_back(AddPushButton(window, L"Push", 10, 10, 80, 25));
  made.push_back(AddImageButton(window, L"  Image", Square(RGB(200, 0, 0)), 100, 10, 100, 25));
  made.push_back(AddCloseButton(window, 600, 3));
  made.push_back(AddMinimiseButton(window));
  made.push_back(AddDropDownList(window, L"Do nothing\nClose application\nLog off", 10, 50, 150, 200));
  made.push_back(AddLabel(window, L"Label", 10, 80, 100, 16));
  made.push_back(AddFittedLabel(window, L"Fitted label", 120, 80));
  made.push_back(AddGroupBox(window, L"Group", 10, 100, 200, 80));
  made.push_back(AddInputField(window, L"21", 20, 120, 100, 22));
  made.push_back(AttachUpDown(window, made.back(), 1, 65535) ? 1 : 0);
  made.push_back(AddShapedButton(window, L"Shaped", 220, 140, 80, 25, 12));
  made.push_back(AddIcon(window, LoadIconW(nullptr, IDI_INFORMATION), 220, 100, 32, 32));
  made.push_back(AddPicture(window, Square(RGB(0, 0, 200)).get(), 260, 100, 14, 14));
  made.push_back(AddBrushPicture(window, Square(RGB(0, 200, 0)), 280, 100, 14, 14));
  made.push_back(AddLink(window, L"Help", L"https://example.invalid/help", 300, 60));
  made.push_back(AddProgressBar(window, 10, 190, 300, 20));
  int tabs = AddTabControl(window, 320, 180, 300, 200);
  made.push_back(AddTabPage(window, tabs, L"One"));
  made.push_back(AddLabel(window, L"On page one", 10, 10, 100, 16));
  made.push_back(AddTabPage(window, tabs, L"Two"));
  window.CloseContainer();
  int list = AddListView(window, L"A\nB", 10, 220, 300, 100);
  AddListRow(window, list, L"a\nb");
  SetListSmallIcon(window, list, LoadIconW(nullptr, IDI_APPLICATION), 16);
  UniqueBitmap unchecked = Square(RGB(255, 255, 255)), checked = Square(RGB(0, 0, 0));
  SetListCheckPictures(window, list, unchecked.get(), checked.get(), 14);
  made.push_back(AddCheckBox(window, L"Check", Square(RGB(255, 255, 255)), Square(RGB(0, 128, 0)), 10, 330, 150, kStateChecked));
  made.push_back(AddRadioButton(window, L"Radio", Square(RGB(255, 255, 255)), Square(RGB(0, 128, 0)), 10, 350, 150, kStateChecked));
  int menu = AddPopupMenu(window, L"Item", Square(RGB(1, 2, 3)));
  int submenu = AddMenuItem(window, menu, L"More", -1, kMenuItemSubmenu);
  made.push_back(AddMenuItem(window, submenu, L"Inner"));
  made.push_back(AddMenuItem(window, menu, L"", -1, kMenuItemSeparator));
  SetTooltip(window, 1, L"Tip");
  SetControlFont(window, 1, 12, 700, 1);
  SetControlColours(window, 6, RGB(200, 0, 0), RGB(255, 255, 200));
  made.insert(made.end(), {tabs, list, menu, submenu});
  return made;
}

TEST(UiWindowResources, OpeningAndClosingEveryKind200TimesLeaksNoHandles) {
  HANDLE process = GetCurrentProcess();
  auto counts = [process] { return std::pair{GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS)}; };
  if (counts().first == 0 && counts().second == 0) {
    // Without the system's counts, every handle the window's records held must be gone afterwards.
    std::vector<HGDIOBJ> objects;
    std::vector<HWND> windows;
    {
      UiWindow window;
      ASSERT_TRUE(window.Create(L"BrimlarkLeakWindow", L"Leak", 640, 400, kCentred, kCentred, kDefaultWindowStyle,
                                kDefaultExtendedStyle, nullptr));
      for (int id : MakeEveryKind(window)) ASSERT_GT(id, 0);
      for (int id = 1; id <= window.ControlCount(); ++id) {
        const ControlRecord* record = window.Record(id);
        if (!record) continue;
        if (record->font) objects.push_back(record->font.get());
        if (record->brush) objects.push_back(record->brush.get());
        if (record->window) windows.push_back(record->window);
      }
      windows.push_back(window.tooltipWindow());
    }
    ASSERT_GT(objects.size(), 20u);
    for (HGDIOBJ object : objects) EXPECT_EQ(GetObjectType(object), 0u) << object;
    for (HWND control : windows) EXPECT_FALSE(IsWindow(control)) << control;
    GTEST_SKIP() << "this system does not count GDI and USER objects; the window's own handles were checked";
  }
  auto round = [] {
    UiWindow window;
    ASSERT_TRUE(window.Create(L"BrimlarkLeakWindow", L"Leak", 640, 400, kCentred, kCentred, kDefaultWindowStyle,
                              kDefaultExtendedStyle, nullptr));
    for (int id : MakeEveryKind(window)) ASSERT_GT(id, 0);
    window.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowFlush);
  };
  for (int i = 0; i < 3; ++i) round();  // the system's own caches settle first
  auto before = counts();
  for (int i = 0; i < 200; ++i) round();
  auto after = counts();
  EXPECT_LE(after.first, before.first + 20) << "GDI objects";
  EXPECT_LE(after.second, before.second + 20) << "USER objects";
}

}  // namespace
