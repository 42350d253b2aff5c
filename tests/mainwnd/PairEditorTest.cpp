// The folder-pair editor, for real under Xvfb: a helper thread types into its fields, drops folders on
// them and clicks its buttons once it is on screen, as a user would, while the main window's loop runs it.

#include "mainwnd/PairEditor.h"

#include "GdiplusSession.h"
#include "TestSupport.h"
#include "WindowScript.h"
#include "jobs/FtpLocation.h"
#include "ui/ShellLink.h"
#include "ui/Controls.h"
#include "ui/ListView.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <functional>
#include <thread>

using namespace testing_support;

namespace {

const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusForAllTests);

constexpr wchar_t kWindowClass[] = L"Brimlark_MsgBox";
constexpr wchar_t kQuestionClass[] = L"_WINDOW_MsgBoxClass";
constexpr wchar_t kQuestion[] = L"Do you want to append a sub-folder with the same name as the source?";

HWND SourceField(HWND editor) { return NthEdit(editor, 0); }
HWND DestinationField(HWND editor) { return NthEdit(editor, 1); }

void Drop(HWND window, POINT at, WideView path) { DropAt(window, at, path); }
constexpr POINT kOnDestination{20, 145};

WideString MessageAfterOk(HWND editor) { return testing_support::MessageAfterOk(editor, POINT{220, 188}); }

constexpr wchar_t kNoLogin[] = L"The FTP location has no login details! Press the FTP button to enter them.";

// Sets a side (0 the source, 1 the destination) up on a server through its FTP button, as a user would.
void EnterFtpLocation(HWND editor, int side, const wchar_t* server, const wchar_t* directory) {
  HWND button = nullptr;
  for (int i = 0; i <= side; ++i) button = FindWindowExW(editor, button, L"Button", L"FTP ...");
  PostMessageW(button, BM_CLICK, 0, 0);
  HWND ftp = WaitForShown(kWindowClass, L"Set FTP directory");
  ASSERT_NE(ftp, nullptr);
  SetText(NthEdit(ftp, 0), server);
  SetText(NthEdit(ftp, 1), directory);
  SetText(NthEdit(ftp, 2), L"user");
  SetText(NthEdit(ftp, 3), L"password");
  Click(ftp, L"OK");
  WideString shown = text::Concat(L"ftp://", server, directory);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(NthEdit(editor, side)) == shown; }, 10000));
}

bool WaitForFocus(HWND field) {
  return WaitUntil([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(field, nullptr), &info) && info.hwndFocus == field;
  }, 10000);
}

// A click at the right end of a field, which gives it the focus with the caret after its text. Waits for
// the focus, so that what is sent to the field next comes after the click.
void ClickInto(HWND field) {
  PostMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(350, 8));
  PostMessageW(field, WM_LBUTTONUP, 0, MAKELPARAM(350, 8));
  EXPECT_TRUE(WaitForFocus(field));
}

void Type(HWND field, WideView text) {
  for (wchar_t c : text) PostMessageW(field, WM_CHAR, c, 1);
}

// A script that runs against the editor and the windows it opens.
struct Driver : testing_support::Driver {
  explicit Driver(std::function<void()> script)
      : testing_support::Driver({kQuestionClass, kWindowClass}, std::move(script)) {}
};

class PairEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_TRUE(main.Create(L"BrimlarkTestMain", L"Main", 750, 560, kCentred, kCentred, kDefaultWindowStyle,
                            kDefaultExtendedStyle, nullptr));
    list = AddListView(main, L"Source\nDestination\nItemId\nSourceLocation\nDestinationLocation", 10, 60, 730, 400,
                       LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ASSERT_NE(list, 0);
    main.Show(SW_SHOW, UiWindow::kShowUpdate | UiWindow::kShowFlush);
  }
  void TearDown() override {
    if (comStarted) CoUninitialize();
  }
  WideString History(const wchar_t* key) {
    return WideString(text::View(appIni.GetString(L"History", key, L"<none>")));
  }

  bool comStarted = false;
  TempFolder root;
  IniFile appIni{root / L"Brimlark.ini"};
  UiWindow main;
  int list = 0;
};

TEST_F(PairEditorTest, RefusesEmptySameAndNestedLocationsInOrderAndStoresTheFirstGoodPair) {
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(IsWindowEnabled(main.handle()));
    struct Case {
      const wchar_t* source;
      const wchar_t* destination;
      const wchar_t* message;
    };
    const Case cases[] = {
        {L"", L"", L"The \"Source location\" field is empty!"},
        {L"D:\\Data", L"", L"The \"Destination location\" field is empty!"},
        {L"", L"D:\\Data", L"The \"Source location\" field is empty!"},
        {L"D:\\Data\\", L"d:\\data", L"The Source and destination locations are the same!"},
        {L"D:\\Data", L"D:\\Data\\Backup", L"The destination location can not be a sub-folder of the source!"},
        {L"D:\\Data\\Backup", L"d:\\DATA", L"The source location can not be a sub-folder of the destination!"},
        {L"ftp://srv/data", L"FTP://SRV/data/", L"The Source and destination locations are the same!"},
        {L"ftp://srv/data", L"ftp://srv/data/sub", L"The destination location can not be a sub-folder of the source!"},
        {L"ftp://srv/data", L"D:\\Data", kNoLogin},
        {L"D:\\Data", L"ftp://srv/backup", kNoLogin},
    };
    for (const Case& c : cases) {
      SetText(SourceField(editor), c.source);
      SetText(DestinationField(editor), c.destination);
      EXPECT_EQ(MessageAfterOk(editor), c.message) << text::ToUtf8(c.source) << " / " << text::ToUtf8(c.destination);
    }
    // The separator added before the comparison keeps these two apart.
    SetText(SourceField(editor), L"D:\\Data\\");
    SetText(DestinationField(editor), L"D:\\Database");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, kAddPair, L"", appIni));
  EXPECT_TRUE(IsWindowEnabled(main.handle()));
  ASSERT_EQ(ListRowCount(main, list), 1);
  EXPECT_EQ(ListCell(main, list, 0, 0), L"D:\\Data");
  EXPECT_EQ(ListCell(main, list, 0, 1), L"D:\\Database");
  EXPECT_EQ(ListCell(main, list, 0, 3), L"");
  EXPECT_EQ(ListCell(main, list, 0, 4), L"");
  EXPECT_TRUE(IsListRowChecked(main, list, 0));
  EXPECT_EQ(History(L"LastSrcFolder"), L"D:\\Data");
  EXPECT_EQ(History(L"LastDstFolder"), L"D:\\Database");
  IniFile saved(root / L"Brimlark.ini");
  EXPECT_STREQ(saved.GetString(L"History", L"LastDstFolder", L""), L"D:\\Database");
}

TEST_F(PairEditorTest, AnFtpSourceIsNeverNestedWithALocalDestination) {
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    EnterFtpLocation(editor, 0, L"srv", L"/data");
    SetText(DestinationField(editor), L"D:\\Data");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, kAddPair, L"", appIni));
  EXPECT_EQ(ListCell(main, list, 0, 0), L"ftp://srv/data");
  EXPECT_EQ(ListCell(main, list, 0, 1), L"D:\\Data");
  EXPECT_EQ(History(L"LastSrcFolder"), L"<none>");
  EXPECT_EQ(History(L"LastDstFolder"), L"D:\\Data");
}

TEST_F(PairEditorTest, AddingPrefillsTheLastFoldersAndAnFtpSourceLeavesLastSrcFolderAlone) {
  appIni.SetString(L"History", L"LastSrcFolder", L"C:\\Old\\Source");
  appIni.SetString(L"History", L"LastDstFolder", L"E:\\Backups");
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(TextOf(SourceField(editor)), L"C:\\Old\\Source");
    EXPECT_EQ(TextOf(DestinationField(editor)), L"E:\\Backups");
    EnterFtpLocation(editor, 0, L"backupsrv", L"/backups/my_backup");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, kAddPair, L"", appIni));
  ASSERT_EQ(ListRowCount(main, list), 1);
  EXPECT_EQ(ListCell(main, list, 0, 0), L"ftp://backupsrv/backups/my_backup");
  std::optional<FtpLocation> location = ReadLocation(ListCell(main, list, 0, 3));
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(location->server, L"backupsrv");
  EXPECT_EQ(location->password, L"password");
  EXPECT_EQ(ListCell(main, list, 0, 1), L"E:\\Backups");
  EXPECT_EQ(ListCell(main, list, 0, 4), L"");
  EXPECT_EQ(History(L"LastSrcFolder"), L"C:\\Old\\Source");
  EXPECT_EQ(History(L"LastDstFolder"), L"E:\\Backups");
}

TEST_F(PairEditorTest, TypingAnFtpAddressOpensTheFtpDialogForItsCredentials) {
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    for (wchar_t c : WideView(L"ftp://")) PostMessageW(DestinationField(editor), WM_CHAR, c, 1);
    HWND ftp = WaitForShown(kWindowClass, L"Set FTP directory");
    ASSERT_NE(ftp, nullptr);
    SetText(NthEdit(ftp, 0), L"ftp://backupsrv");
    SetText(NthEdit(ftp, 2), L"user");
    SetText(NthEdit(ftp, 3), L"password");
    Click(ftp, L"OK");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(DestinationField(editor)) == L"ftp://backupsrv/"; }, 10000));
    EXPECT_EQ(FindShown(kWindowClass, L"Set FTP directory"), nullptr);  // the dialog's own text opens nothing
    SetText(SourceField(editor), L"D:\\Data");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, kAddPair, L"", appIni));
  EXPECT_EQ(ListCell(main, list, 0, 1), L"ftp://backupsrv/");
  std::optional<FtpLocation> location = ReadLocation(ListCell(main, list, 0, 4));
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(location->server, L"backupsrv");
  EXPECT_EQ(ListCell(main, list, 0, 3), L"");
  EXPECT_EQ(History(L"LastSrcFolder"), L"D:\\Data");
  EXPECT_EQ(History(L"LastDstFolder"), L"<none>");
}

TEST_F(PairEditorTest, ATypedAddressFillsTheFtpDialogWhichOpensOncePerVisitOfTheField) {
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    HWND destination = DestinationField(editor);
    ClickInto(destination);
    // The scheme typed last, in front: the address is whole when it becomes one.
    Type(destination, L"anna@backupsrv:2121/backups/my_backup");
    PostMessageW(destination, WM_KEYDOWN, VK_HOME, 1);
    Type(destination, L"ftp://");
    HWND ftp = WaitForShown(kWindowClass, L"Set FTP directory");
    ASSERT_NE(ftp, nullptr);
    EXPECT_EQ(TextOf(NthEdit(ftp, 0)), L"backupsrv");
    EXPECT_EQ(TextOf(NthEdit(ftp, 1)), L"/backups/my_backup");
    EXPECT_EQ(TextOf(NthEdit(ftp, 2)), L"anna");
    EXPECT_EQ(TextOf(NthEdit(ftp, 3)), L"");
    EXPECT_EQ(TextOf(NthEdit(ftp, 4)), L"2121");
    Click(ftp, L"Cancel");
    ASSERT_TRUE(WaitForFocus(destination));  // given back to the field the user was typing in
    // Typing on in the same visit of the field opens nothing.
    PostMessageW(destination, WM_KEYDOWN, VK_END, 1);
    Type(destination, L"x");
    ASSERT_TRUE(WaitUntil([&] { return text::EndsWith(TextOf(destination), L"_backupx"); }, 10000));
    SendMessageW(editor, WM_NULL, 0, 0);  // answered once the loop has taken the change
    EXPECT_EQ(FindShown(kWindowClass, L"Set FTP directory"), nullptr);
    // Leaving the field and coming back is a new visit: the next key offers the dialog again.
    ClickInto(SourceField(editor));
    ClickInto(destination);
    Type(destination, L"y");
    ftp = WaitForShown(kWindowClass, L"Set FTP directory");
    ASSERT_NE(ftp, nullptr);
    EXPECT_EQ(TextOf(NthEdit(ftp, 1)), L"/backups/my_backupxy");
    Click(ftp, L"Cancel");
    ASSERT_TRUE(WaitForFocus(destination));
    // The address alone is no location to back up to.
    SetText(SourceField(editor), L"D:\\Data");
    EXPECT_EQ(MessageAfterOk(editor), kNoLogin);
    Click(editor, L"Cancel");
  });
  EXPECT_FALSE(EditPair(main, list, kAddPair, L"", appIni));
  EXPECT_EQ(ListRowCount(main, list), 0);
}

TEST_F(PairEditorTest, ADroppedFolderOrFileGetsTheLastDestinationWithItsName) {
  ASSERT_TRUE(MakeTestFolder(root / L"Photos"));
  ASSERT_TRUE(WriteTestFile(root / L"Photos\\a.jpg", "x"));
  appIni.SetString(L"History", L"LastDstFolder", root / L"Backups\\");
  struct Case {
    WideString dropped, source, destination;
  };
  const Case cases[] = {
      {root / L"Photos\\", root / L"Photos", root / L"Backups\\Photos"},
      {root / L"Photos\\a.jpg", root / L"Photos", root / L"Backups\\Photos"},
      {root / L"Missing\\b.jpg", root / L"Missing\\b.jpg", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::ToUtf8(c.dropped));
    WideString source, destination;
    Driver driver([&] {
      HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
      ASSERT_NE(editor, nullptr);
      source = TextOf(SourceField(editor));
      destination = TextOf(DestinationField(editor));
      Click(editor, L"Cancel");
    });
    EXPECT_FALSE(EditPair(main, list, kAddDroppedPair, c.dropped, appIni));
    EXPECT_EQ(source, c.source);
    EXPECT_EQ(destination, c.destination);
  }
  EXPECT_EQ(ListRowCount(main, list), 0);
}

TEST_F(PairEditorTest, ADroppedDestinationAsksWhetherToAppendTheSourcesName) {
  ASSERT_TRUE(MakeTestFolder(root / L"Photos"));
  ASSERT_TRUE(MakeTestFolder(root / L"Backups"));
  ASSERT_TRUE(MakeTestFolder(root / L"Elsewhere"));
  ASSERT_TRUE(MakeTestFolder(root / L"Elsewhere\\PHOTOS"));
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    HWND destination = DestinationField(editor);
    SetText(SourceField(editor), root / L"Photos");
    for (const wchar_t* answer : {L"Yes", L"No"}) {
      Drop(editor, kOnDestination, root / L"Backups\\");
      HWND question = WaitForShown(kQuestionClass, nullptr);
      ASSERT_NE(question, nullptr);
      EXPECT_FALSE(IsWindowVisible(editor));
      EXPECT_NE(FindWindowExW(question, nullptr, L"Static", kQuestion), nullptr);
      Click(question, answer);
      WideString expected = wcscmp(answer, L"Yes") == 0 ? root / L"Backups\\Photos" : root / L"Backups";
      EXPECT_TRUE(WaitUntil([&] { return TextOf(destination) == expected; }, 10000)) << text::ToUtf8(answer);
      EXPECT_TRUE(IsWindowVisible(editor));
    }
    // A folder of the source's name, in any case, is taken as it is: the question would hold it back.
    Drop(editor, kOnDestination, root / L"Elsewhere\\PHOTOS");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(destination) == root / L"Elsewhere\\PHOTOS"; }, 10000));
    EXPECT_EQ(FindShown(kQuestionClass, nullptr), nullptr);
    // A file is no folder: the field keeps its text.
    ASSERT_TRUE(WriteTestFile(root / L"Backups\\file.txt", "x"));
    Drop(editor, kOnDestination, root / L"Backups\\file.txt");
    Drop(editor, kOnDestination, root / L"Backups");
    ASSERT_NE(WaitForShown(kQuestionClass, nullptr), nullptr);  // only the folder asks
    Click(FindShown(kQuestionClass, nullptr), L"Yes");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(destination) == root / L"Backups\\Photos"; }, 10000));
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, kAddPair, L"", appIni));
  EXPECT_EQ(ListCell(main, list, 0, 1), root / L"Backups\\Photos");
  EXPECT_EQ(History(L"LastDstFolder"), root / L"Backups\\Photos");
}

TEST_F(PairEditorTest, AShortcutToAFolderStandsForTheFolder) {
  ASSERT_TRUE(MakeTestFolder(root / L"Backups"));
  WideString shortcut = root / L"Backups.lnk";
  {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
      GTEST_SKIP() << "no shell-link object to make a shortcut with";
    }
    WideString target = root / L"Backups";
    link->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file))) && SUCCEEDED(file->Save(shortcut.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    if (!saved) GTEST_SKIP() << "the system cannot save a shortcut";
  }
  EXPECT_TRUE(text::EqualsNoCase(ShortcutTarget(shortcut), root / L"Backups"));
  EXPECT_EQ(ShortcutTarget(root / L"none.lnk"), L"");
  Driver driver([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    Drop(editor, kOnDestination, shortcut);  // the source is empty: nothing to ask
    EXPECT_TRUE(WaitUntil(
        [&] { return text::EqualsNoCase(TextOf(DestinationField(editor)), root / L"Backups"); }, 10000));
    Click(editor, L"Cancel");
  });
  EXPECT_FALSE(EditPair(main, list, kAddPair, L"", appIni));
}

TEST_F(PairEditorTest, EditingKeepsAnUncheckedRowUncheckedUntilTheBoxIsTicked) {
  ASSERT_EQ(AddListRow(main, list, L"D:\\A\nE:\\B\n7\n\n"), 0);
  ASSERT_TRUE(SetListRowChecked(main, list, 0, false));
  Driver keep([&] {
    HWND editor = WaitForShown(kWindowClass, L"Edit folder pair");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(TextOf(SourceField(editor)), L"D:\\A");
    EXPECT_EQ(TextOf(DestinationField(editor)), L"E:\\B");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, 0, L"", appIni));
  EXPECT_FALSE(IsListRowChecked(main, list, 0));
  Driver tick([&] {
    HWND editor = WaitForShown(kWindowClass, L"Edit folder pair");
    ASSERT_NE(editor, nullptr);
    ClickCheckBox(editor, L" Item checked");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, 0, L"", appIni));
  EXPECT_TRUE(IsListRowChecked(main, list, 0));
  EXPECT_EQ(ListRowCount(main, list), 1);
  EXPECT_EQ(ListCell(main, list, 0, 2), L"7");  // the item id is not the editor's
}

TEST_F(PairEditorTest, APairAlreadyInTheListIsRefusedUnlessItIsTheRowBeingEdited) {
  ASSERT_EQ(AddListRow(main, list, L"D:\\A\nE:\\B\n7\n\n"), 0);
  ASSERT_EQ(AddListRow(main, list, L"D:\\C\nE:\\D\n8\n\n"), 1);
  constexpr wchar_t kInList[] = L"This folder pair is already in the list!";
  Driver add([&] {
    HWND editor = WaitForShown(kWindowClass, L"Add folder pair");
    ASSERT_NE(editor, nullptr);
    SetText(SourceField(editor), L"d:\\a\\");
    SetText(DestinationField(editor), L"E:\\B");
    EXPECT_EQ(MessageAfterOk(editor), kInList);
    SetText(DestinationField(editor), L"E:\\B\\Other");
    Click(editor, L"OK");
  });
  ASSERT_TRUE(EditPair(main, list, kAddPair, L"", appIni));
  ASSERT_EQ(ListRowCount(main, list), 3);
  Driver edit([&] {
    HWND editor = WaitForShown(kWindowClass, L"Edit folder pair");
    ASSERT_NE(editor, nullptr);
    SetText(SourceField(editor), L"D:\\A");
    SetText(DestinationField(editor), L"e:\\b\\");
    EXPECT_EQ(MessageAfterOk(editor), kInList);
    SetText(SourceField(editor), L"D:\\C");
    SetText(DestinationField(editor), L"E:\\D");
    Click(editor, L"OK");  // its own pair again
  });
  ASSERT_TRUE(EditPair(main, list, 1, L"", appIni));
  EXPECT_EQ(ListRowCount(main, list), 3);
  EXPECT_EQ(ListCell(main, list, 1, 1), L"E:\\D");
}

TEST_F(PairEditorTest, CancelCloseAndEscChangeNothing) {
  ASSERT_EQ(AddListRow(main, list, L"D:\\A\nE:\\B\n7\n\n"), 0);
  ASSERT_TRUE(SetListRowChecked(main, list, 0, true));
  for (const wchar_t* how : {L"Cancel", L"close", L"Esc"}) {
    SCOPED_TRACE(text::ToUtf8(how));
    Driver driver([&] {
      HWND editor = WaitForShown(kWindowClass, L"Edit folder pair");
      ASSERT_NE(editor, nullptr);
      SetText(SourceField(editor), L"D:\\Other");
      SetText(DestinationField(editor), L"E:\\Other");
      ClickCheckBox(editor, L" Item checked");
      if (wcscmp(how, L"close") == 0) {
        PostMessageW(editor, WM_CLOSE, 0, 0);
      } else if (wcscmp(how, L"Esc") == 0) {
        PostMessageW(DestinationField(editor), WM_KEYDOWN, VK_ESCAPE, 1);
      } else {
        Click(editor, L"Cancel");
      }
    });
    EXPECT_FALSE(EditPair(main, list, 0, L"", appIni));
  }
  EXPECT_EQ(ListCell(main, list, 0, 0), L"D:\\A");
  EXPECT_EQ(ListCell(main, list, 0, 1), L"E:\\B");
  EXPECT_TRUE(IsListRowChecked(main, list, 0));
  EXPECT_EQ(History(L"LastSrcFolder"), L"<none>");
  EXPECT_FALSE(Exists(root / L"Brimlark.ini"));
  EXPECT_TRUE(IsWindowEnabled(main.handle()));
  EXPECT_NE(main.NextEvent().code, kEventClose);  // the editor's own close request was answered
}

}  // namespace
