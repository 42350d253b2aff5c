// The FTP location dialog, for real under Xvfb: a helper thread fills its fields and clicks its buttons
// once it is on screen, as a user would, while the owner's loop runs the dialog.

#include "mainwnd/FtpLocationDialog.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "WindowScript.h"
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

HWND WaitForDialog() { return WaitForShown(kDialogClass, kDialogTitle); }

// The dialog's edit fields in the order they were made (the up-down control is no edit).
HWND FieldOf(HWND dialog, Field field) { return NthEdit(dialog, field); }

WideString MessageAfterOk(HWND dialog) { return testing_support::MessageAfterOk(dialog, POINT{220, 193}); }

// A script that runs against the dialog.
struct Driver : testing_support::Driver {
  explicit Driver(std::function<void()> script) : testing_support::Driver({kDialogClass}, std::move(script)) {}
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
    for (const wchar_t* unusable : {L"abc", L"0", L"65536", L"-21"}) {
      SetText(FieldOf(dialog, kPort), unusable);
      EXPECT_EQ(MessageAfterOk(dialog), L"The Port Number must be a number from 1 to 65535!") << text::ToUtf8(unusable);
    }
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

TEST_F(FtpLocationDialogTest, ALocationWithoutPortProposes21AndCancelOrEscChangesNothing) {
  std::optional<WideString> made = MakeStoredForm(FtpLocation{L"srv", L"", L"u", L"p", L"", L"0"});
  ASSERT_TRUE(made.has_value());
  for (bool escape : {false, true}) {
    WideString stored = *made;
    WideString display = L"ftp://srv";  // the location's own address, though written without the last "/"
    Driver driver([&] {
      HWND dialog = WaitForDialog();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(TextOf(FieldOf(dialog, kServer)), L"srv");
      EXPECT_EQ(TextOf(FieldOf(dialog, kUserName)), L"u");
      EXPECT_EQ(TextOf(FieldOf(dialog, kPort)), L"21");
      SetText(FieldOf(dialog, kServer), L"other");
      if (escape) {
        PostMessageW(FieldOf(dialog, kServer), WM_KEYDOWN, VK_ESCAPE, 1);
      } else {
        Click(dialog, L"Cancel");
      }
    });
    EXPECT_FALSE(EditFtpLocation(owner, stored, display)) << escape;
    EXPECT_EQ(stored, *made);
    EXPECT_EQ(display, L"ftp://srv");
  }
}

// A field's address that names another place than the stored location starts the dialog with its parts;
// the stored account stays only for the same server.
TEST_F(FtpLocationDialogTest, AnAddressOfAnotherPlaceFillsInWhatItGives) {
  std::optional<WideString> made = MakeStoredForm(FtpLocation{L"srv.example", L"/data", L"alice", L"pw", L"2121", L"3"});
  ASSERT_TRUE(made.has_value());
  struct Case {
    WideString stored;
    const wchar_t* address;
    const wchar_t* fields[5];  // server, directory, user, password, port
  };
  const Case cases[] = {
      {*made, L"ftp://SRV.example/other", {L"SRV.example", L"/other", L"alice", L"pw", L"2121"}},
      {*made, L"ftp://bob@elsewhere:990", {L"elsewhere", L"", L"bob", L"", L"990"}},
      {L"", L"ftp://h/x", {L"h", L"/x", L"", L"", L"21"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::ToUtf8(c.address));
    WideString stored = c.stored;
    WideString display = c.address;
    Driver driver([&] {
      HWND dialog = WaitForDialog();
      ASSERT_NE(dialog, nullptr);
      for (Field field : {kServer, kDirectory, kUserName, kPassword, kPort}) {
        EXPECT_EQ(TextOf(FieldOf(dialog, field)), c.fields[field]) << field;
      }
      Click(dialog, L"Cancel");
    });
    EXPECT_FALSE(EditFtpLocation(owner, stored, display));
  }
}

TEST(ParseFtpAddress, TakesEveryPartThatIsGiven) {
  struct Case {
    const wchar_t* address;
    const wchar_t* server;
    const wchar_t* directory;
    const wchar_t* user;
    const wchar_t* password;
    const wchar_t* port;
  };
  const Case cases[] = {
      {L"ftp://h", L"h", L"", L"", L"", L""},
      {L"FTP://anna@h:2121/dir/sub", L"h", L"/dir/sub", L"anna", L"", L"2121"},
      {L"ftp://anna:p@ss@h/", L"h", L"/", L"anna", L"p@ss", L""},
      {L"ftp://[::1]:21/x", L"[::1]", L"/x", L"", L"", L"21"},
      {L"ftp://[::1]/x", L"[::1]", L"/x", L"", L"", L""},
      {L"ftp://", L"", L"", L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::ToUtf8(c.address));
    std::optional<FtpLocation> parsed = ParseFtpAddress(c.address);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->server, c.server);
    EXPECT_EQ(parsed->remoteDirectory, c.directory);
    EXPECT_EQ(parsed->userName, c.user);
    EXPECT_EQ(parsed->password, c.password);
    EXPECT_EQ(parsed->port, c.port);
  }
  for (const wchar_t* other : {L"sftp://h", L"ftp:/h", L"D:\\ftp://h", L""}) {
    EXPECT_FALSE(ParseFtpAddress(other).has_value()) << text::ToUtf8(other);
  }
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
