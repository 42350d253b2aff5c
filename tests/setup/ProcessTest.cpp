#include "base/Process.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

WideString CommandShell() {
  wchar_t path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ComSpec", path, MAX_PATH);
  return path;
}

// Ends at once with 2 when given fewer than two arguments; with a file it can open and a marker path, it
// makes the marker and holds the file until it is ended.
WideString HoldFileProgram() { return ExecutableFolder() + L"\\hold_file.exe"; }

WideString FirstLine(WideView path) {
  std::string written = ReadTestFile(path);
  return text::FromAnsi(written.substr(0, written.find_first_of("\r\n")));
}

TEST(LaunchProcess, ExitCodeWhenWaitingProcessIdOtherwise) {
  EXPECT_EQ(LaunchProcess(CommandShell(), L" /c exit 7", L"", SW_HIDE, kLaunchWait), 7);
  int processId = LaunchProcess(CommandShell(), L" /c exit 3", L"", SW_HIDE);
  ASSERT_GT(processId, 0);
  UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(process.get(), &exitCode) && exitCode == 3);

  EXPECT_EQ(LaunchProcess(L"C:\\no such folder\\x.exe", L" a", L"", SW_HIDE), 0);
  EXPECT_EQ(LaunchProcess(L"C:\\no such folder\\x.exe", L" a", L"", SW_HIDE, kLaunchWait), -1);

  TempFolder root;
  ASSERT_EQ(LaunchProcess(CommandShell(), L" /c cd > where.txt", root.path(), SW_HIDE, kLaunchWait), 0);
  EXPECT_EQ(FirstLine(root / L"where.txt"), root.path());
}

TEST(LaunchProcess, ArgumentTextUpTo32000CharactersGoesWhole) {
  WideString longest = L" " + WideString(31999, L'a');  // one argument: hold_file ends with 2
  EXPECT_EQ(LaunchProcess(HoldFileProgram(), longest, L"", SW_HIDE, kLaunchWait), 2);
  EXPECT_EQ(LaunchProcess(HoldFileProgram(), longest + L"a", L"", SW_HIDE, kLaunchWait), -1);
}

// The caller's windows stay answered while it waits, and a quit request still reaches its loop.
TEST(LaunchProcess, WaitingHandlesTheCallersMessagesAndKeepsTheQuitRequest) {
  static int delivered = 0;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_APP) ++delivered;
    return DefWindowProcW(window, message, wParam, lParam);
  };
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"BrimlarkLaunchWaitTest";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_APP, 0, 0);
  PostQuitMessage(9);

  EXPECT_EQ(LaunchProcess(CommandShell(), L" /c exit 4", L"", SW_HIDE, kLaunchWait), 4);
  EXPECT_EQ(delivered, 1);
  MSG message{};
  EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.wParam == 9);
  DestroyWindow(window);
}

// A program in a folder whose names hold blanks, beside a shorter program the text also begins with.
// hold_file opens the held file by its bare name, so the marker appears only when the right program runs
// in its own folder with both arguments.
class CommandLineRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeTestFolder(folder));
    ASSERT_TRUE(CopyFileW(HoldFileProgram().c_str(), (folder + L"\\hold file.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(HoldFileProgram().c_str(), (folder + L"\\hold.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteTestFile(folder + L"\\held.txt", "held"));
  }
  void TearDown() override {
    for (int processId : started) {
      UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
      TerminateProcess(process.get(), kKilledExitCode);
      WaitForSingleObject(process.get(), 10000);
    }
  }
  bool MarkerMade(WideView commandLine, WideView marker) {
    int processId = RunCommandLine(commandLine, SW_HIDE);
    if (processId != 0) started.push_back(processId);
    return processId != 0 && WaitUntil([&] { return Exists(folder + L"\\" + WideString(marker)); });
  }

  TempFolder root;
  WideString folder = root / L"my tools";
  std::vector<int> started;
};

TEST_F(CommandLineRunnerTest, ProgramWithBlanksQuotedOrAsTheLongestNameThatExists) {
  EXPECT_TRUE(MarkerMade(L"\"" + folder + L"\\hold file.exe\" held.txt quoted.mark", L"quoted.mark"));
  EXPECT_TRUE(MarkerMade(folder + L"\\hold file.exe held.txt unquoted.mark", L"unquoted.mark"));
  EXPECT_TRUE(MarkerMade(folder + L"\\hold file held.txt bare.mark", L"bare.mark"));
}

TEST_F(CommandLineRunnerTest, BareNamesAndVariablesAreResolvedAndRunInTheirOwnFolder) {
  // Found by us, the shell runs in its own folder; the system alone would have kept ours.
  WideString where = root / L"where.txt";
  ASSERT_EQ(RunCommandLine(L"cmd /c cd > \"" + where + L"\"", SW_HIDE, kLaunchWait), 0);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_TRUE(text::EqualsNoCase(FirstLine(where), system)) << text::ToUtf8(FirstLine(where));

  EXPECT_EQ(RunCommandLine(L"  cmd.exe /c exit 6", SW_HIDE, kLaunchWait), 6);
  EXPECT_EQ(RunCommandLine(L"%ComSpec% /c exit 8", SW_HIDE, kLaunchWait), 8);
  EXPECT_EQ(RunCommandLine(L"\"%ComSpec%\" /c exit 9", SW_HIDE, kLaunchWait), 9);
  EXPECT_EQ(RunCommandLine(L"brimlark-no-such-program /c exit 5", SW_HIDE), 0);
  EXPECT_EQ(RunCommandLine(L"\"C:\\no such folder\\x.exe\" /a", SW_HIDE, kLaunchWait), -1);
}

TEST(OpenWithShell, OpensADocumentWithItsProgramAndFailsSilentlyOnAMissingOne) {
  TempFolder root;
  ASSERT_TRUE(WriteTestFile(root / L"make marker.bat", "@echo made> \"%~dp0opened.mark\"\r\n"));
  DWORD processId = OpenWithShell(root / L"make marker.bat");
  EXPECT_NE(processId, 0u);
  EXPECT_TRUE(WaitUntil([&] { return Exists(root / L"opened.mark"); }, 15000));
  // The shell still reads the batch file; the test folder goes only once it has ended.
  UniqueKernelHandle shell(OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (shell) WaitForSingleObject(shell.get(), 10000);
  // Without SEE_MASK_FLAG_NO_UI the shell would wait on an error box here.
  EXPECT_EQ(OpenWithShell(root / L"no such document.bat"), 0u);
}

}  // namespace
