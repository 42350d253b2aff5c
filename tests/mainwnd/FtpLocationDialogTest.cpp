// The FTP location dialog, for real under Xvfb: a helper thread fills its fields and clicks its buttons
// once it is on screen, as a user would, while the owner's loop runs the dialog.

#include "mainwnd/FtpLocationDialog.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "jobs/FtpLocation.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusForAllTests);

constexpr wchar_t kDialogClass[] = L"Brimlark_MsgBox";
constexpr wchar_t kDialogTitle[] = L"Set FTP directory";
enum Field { kServer, kDirectory, kUserName, kPassword, kPort };

HWND FindShown(const wchar_t* windowClass, const wchar_t* title) {
  struct Search {
    const wchar_t* windowClass;
    const wchar_t* title;
    HWND found;
  } search{windowClass, title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) || wcscmp(name, search.windowClass) != 0) {
          return TRUE;
        }
        wchar_t title[128] = {};
        GetWindowTextW(window, title, 128);
        if (search.title && wcscmp(title, search.title) != 0) return TRUE;
        search.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog() {
  HWND found = nullptr;
  (void)WaitUntil([&] { return (found = FindShown(kDialogClass, kDialogTitle)) != nullptr; }, 10000);
  return found;
}

// The dialog's edit fields in the order they were made (the up-down control is no edit).
HWND FieldOf(HWND dialog, Field field) {
  HWND edit = nullptr;
  for (int i = 0; i <= field; ++i) edit = FindWindowExW(dialog, edit, L"Edit", nullptr);
  return edit;
}

WideString TextOf(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

void SetText(HWND window, const wchar_t* text) { SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }

void Click(HWND dialog, const wchar_t* button) {
  PostMessageW(FindWindowExW(dialog, nullptr, L"Button", button), BM_CLICK, 0, 0);
}

// A click on a check box's label half, as the check box reports it to its window.
void ClickCheckBox(HWND dialog, const wchar_t* label) {
  HWND labelWindow = FindWindowExW(dialog, nullptr, L"Static", label);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(labelWindow), STN_CLICKED),
               reinterpret_cast<LPARAM>(labelWindow));
}

// Clicks OK and gives back the message it brings up, empty when none comes.
WideString MessageAfterOk(HWND dialog) {
  HWND label = ChildWindowFromPointEx(dialog, POINT{220, 193}, CWP_SKIPINVISIBLE);
  SetText(label, L"");
  Click(dialog, L"OK");
  WideString message;
  (void)WaitUntil([&] { return !(message = TextOf(label)).empty(); }, 10000);
  return message;
}

// Runs the script on a thread of its own. Whatever it leaves open is closed afterwards, so that a failing
// test ends instead of waiting for ever.
class Driver {
 public:
  explicit Driver(std::function<void()> script) : script_(std::move(script)), thread_([this] { Run(); }) {}
  ~Driver() {
    thread_.join();
    EXPECT_FALSE(forced_) << "a window the script should have ended was left open";
  }

 private:
  void Run() {
    script_();
    ULONGLONG end = GetTickCount64() + 10000;
    while (GetTickCount64() < end) {
      HWND open = FindShown(kDialogClass, nullptr);
      if (!open) return;
      if (GetTickCount64() + 5000 < end) {
        Sleep(20);  // it may still be closing by itself
        continue;
      }
      forced_ = true;
      PostMessageW(open, WM_CLOSE, 0, 0);
      Sleep(20);
    }
  }
  std::function<void()> script_;
  bool forced_ = false;
  std::thread thread_;
};

class FtpLocationDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(owner.Create(L"BrimlarkTestOwner", L"Owner", 515, 250, kCentred, kCentred, kDefaultWindowStyle,
                             kDefaultExtendedStyle, nullptr));
    owner.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowFlush);
  }

  UiWindow owner;
};

TEST_F(FtpLocationDialogTest, RefusesEmptyFieldsInOrderThenStoresWhatWasTyped) {
  WideString stored, display;
  Driver driver([&] {
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(owner.handle()));
    EXPECT_EQ(TextOf(FieldOf(dialog, kPort)), L"21");
    SetText(FieldOf(dialog, kPort), L"");
    EXPECT_EQ(MessageAfterOk(dialog), L"The Server Name field can not be empty!");
    SetText(FieldOf(dialog, kServer), L"ftp://backupsrv");
    EXPECT_EQ(MessageAfterOk(dialog), L"The Port Number field can not be empty!");
    SetText(FieldOf(dialog, kPort), L"2121");
    EXPECT_EQ(MessageAfterOk(dialog), L"The FTP User Password field can not be empty!");
    SetText(FieldOf(dialog, kPassword), L"s\u00e9cret");
    EXPECT_EQ(MessageAfterOk(dialog), L"The FTP User Name field can not be empty!");
    SetText(FieldOf(dialog, kUserName), L"backup");
    SetText(FieldOf(dialog, kDirectory), L"/backups/my_backup");
    ClickCheckBox(dialog, L" Use passive FTP");
    Click(dialog, L"OK");
  });
  ASSERT_TRUE(EditFtpLocation(owner, stored, display));
  EXPECT_TRUE(text::StartsWith(stored, L"FTP:"));
  EXPECT_EQ(display, L"ftp://backupsrv/backups/my_backup");
  std::optional<FtpLocation> location = ReadLocation(stored);
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(location->server, L"backupsrv");
  EXPECT_EQ(location->remoteDirectory, L"/backups/my_backup");
  EXPECT_EQ(location->userName, L"backup");
  EXPECT_EQ(location->password, L"s\u00e9cret");
  EXPECT_EQ(location->port, L"2121");
  EXPECT_EQ(location->flags, L"2");
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
}

TEST_F(FtpLocationDialogTest, OnlyTheFtpSchemesAreTakenOffTheServerAndTheSslBoxStaysAsItWas) {
  struct Case {
    const wchar_t* typed;
    const wchar_t* server;
    bool tickSsl;
    const wchar_t* flags;
  };
  const Case cases[] = {
      {L"ftp://backupsrv", L"backupsrv", false, L"0"},   {L"FTP://backupsrv", L"backupsrv", true, L"1"},
      {L"sftp://backupsrv", L"backupsrv", false, L"0"},  {L"ftps://backupsrv", L"backupsrv", false, L"0"},
      {L"SFTP://backupsrv", L"backupsrv", true, L"1"},   {L"backupsrv", L"backupsrv", false, L"0"},
      {L"http://backupsrv", L"http://backupsrv", false, L"0"}, {L"ftp:/backupsrv", L"ftp:/backupsrv", false, L"0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << text::ToUtf8(c.typed));
    WideString stored, display;
    Driver driver([&] {
      HWND dialog = WaitForDialog();
      ASSERT_NE(dialog, nullptr);
      SetText(FieldOf(dialog, kServer), c.typed);
      SetText(FieldOf(dialog, kUserName), L"u");
      SetText(FieldOf(dialog, kPassword), L"p");
      if (c.tickSsl) ClickCheckBox(dialog, L" Use SSL encryption");
      Click(dialog, L"OK");
    });
    ASSERT_TRUE(EditFtpLocation(owner, stored, display));
    std::optional<FtpLocation> location = ReadLocation(stored);
    ASSERT_TRUE(location.has_value());
    EXPECT_EQ(location->server, c.server);
    EXPECT_EQ(location->port, L"21");
    EXPECT_EQ(location->flags, c.flags);
  }
}

TEST_F(FtpLocationDialogTest, AnExistingLocationFillsTheDialogAndComesBackUnchanged) {
  FtpLocation original{L"srv.example", L"/data/set", L"alice", L"pa\u00dfword", L"2121", L"3"};
  std::optional<WideString> made = MakeStoredForm(original);
  ASSERT_TRUE(made.has_value());
  WideString stored = *made;
  WideString display = L"old";
  Driver driver([&] {
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(FieldOf(dialog, kServer)), L"srv.example");
    EXPECT_EQ(TextOf(FieldOf(dialog, kDirectory)), L"/data/set");
    EXPECT_EQ(TextOf(FieldOf(dialog, kUserName)), L"alice");
    EXPECT_EQ(TextOf(FieldOf(dialog, kPassword)), L"pa\u00dfword");
    EXPECT_EQ(TextOf(FieldOf(dialog, kPort)), L"2121");
    Click(dialog, L"OK");
  });
  ASSERT_TRUE(EditFtpLocation(owner, stored, display));
  EXPECT_EQ(stored, *made);  // the same location gives the same stored form, both boxes included
  EXPECT_EQ(display, L"ftp://srv.example/data/set");
}

TEST_F(FtpLocationDialogTest, ALocationWithoutPortProposes21AndCancelChangesNothing) {
  std::optional<WideString> made = MakeStoredForm(FtpLocation{L"srv", L"", L"u", L"p", L"", L"0"});
  ASSERT_TRUE(made.has_value());
  WideString stored = *made;
  WideString display = L"ftp://srv/";
  Driver driver([&] {
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(FieldOf(dialog, kServer)), L"srv");
    EXPECT_EQ(TextOf(FieldOf(dialog, kPort)), L"21");
    SetText(FieldOf(dialog, kServer), L"other");
    Click(dialog, L"Cancel");
  });
  EXPECT_FALSE(EditFtpLocation(owner, stored, display));
  EXPECT_EQ(stored, *made);
  EXPECT_EQ(display, L"ftp://srv/");
}

TEST_F(FtpLocationDialogTest, ShowUnmasksThePasswordAndHidesItAgain) {
  WideString stored, display;
  WPARAM maskSeen = 0;
  Driver driver([&] {
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    HWND password = FieldOf(dialog, kPassword);
    auto mask = [&] { return static_cast<WPARAM>(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0)); };
    maskSeen = mask();
    ClickCheckBox(dialog, L" Show");
    EXPECT_TRUE(WaitUntil([&] { return mask() == 0; }, 10000));
    ClickCheckBox(dialog, L" Show");
    EXPECT_TRUE(WaitUntil([&] { return mask() == maskSeen; }, 10000));
    PostMessageW(dialog, WM_CLOSE, 0, 0);  // a close request cancels
  });
  EXPECT_FALSE(EditFtpLocation(owner, stored, display));
  EXPECT_NE(maskSeen, 0u);
  EXPECT_TRUE(stored.empty());
  EXPECT_TRUE(display.empty());
  // The dialog's own close request was answered by closing it: the owner does not see one.
  EXPECT_NE(owner.NextEvent().code, kEventClose);
}

}  // namespace
