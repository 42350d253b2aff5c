#include "base/Registry.h"

#include "SetupTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(RegistryPath, RootsViewsAndFailures) {
  struct Case {
    const wchar_t* path;
    HKEY root;  // null: the path must fail
    const wchar_t* subkey;
    REGSAM view;
  };
  const Case cases[] = {
      {L"HKLM\\Software", HKEY_LOCAL_MACHINE, L"Software", 0},
      {L"hklm64\\Software", HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_64KEY},
      {L"HKCU32\\Test", HKEY_CURRENT_USER, L"Test", KEY_WOW64_32KEY},
      {L"hkey_local_machine\\SOFTWARE\\Classes", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", 0},
      {L"HKEY_CLASSES_ROOT32\\x", HKEY_CLASSES_ROOT, L"x", KEY_WOW64_32KEY},
      {L"HKCR\\.brlk", HKEY_CLASSES_ROOT, L".brlk", 0},
      {L"HKU\\.DEFAULT", HKEY_USERS, L".DEFAULT", 0},
      {L"HKEY_CURRENT_CONFIG64\\Software", HKEY_CURRENT_CONFIG, L"Software", KEY_WOW64_64KEY},
      {L"HKCU", HKEY_CURRENT_USER, L"", 0},
      {L"", nullptr, L"", 0},
      {L"HKXX\\Software", nullptr, L"", 0},
      {L"HKXX64\\Software", nullptr, L"", 0},
      {L"64\\Software", nullptr, L"", 0},
      {L"HKLM16\\Software", nullptr, L"", 0},
      {L"\\HKLM\\Software", nullptr, L"", 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(text::ToUtf8(test.path));
    std::optional<RegistryPath> parsed = ParseRegistryPath(test.path);
    ASSERT_EQ(parsed.has_value(), test.root != nullptr);
    if (!parsed) continue;
    EXPECT_EQ(parsed->root, test.root);
    EXPECT_EQ(parsed->subkey, test.subkey);
    EXPECT_EQ(parsed->view, test.view);
  }
  // A bad root fails before any registry call; a root alone is never deleted.
  EXPECT_FALSE(SetRegistryString(L"HKXX\\Software\\BrimlarkTest", L"v", L"x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DeleteRegistryTree(L"HKXX\\Software"));
  EXPECT_FALSE(DeleteRegistryTree(L"HKCU\\"));
  EXPECT_TRUE(RegistryKeyExists(L"HKCU\\Software"));
}

class RegistryKeyTest : public ::testing::Test {
 protected:
  void TearDown() override { (void)DeleteRegistryTree(base); }
  WideString base = L"HKCU\\Software\\BrimlarkTests-Registry-" + text::Decimal(GetCurrentProcessId());
};

TEST_F(RegistryKeyTest, TextGoesInWithItsZeroAndComesBackAsWritten) {
  ASSERT_TRUE(SetRegistryString(base + L"\\a", L"Name", L"value"));
  std::optional<StoredValue> stored = ReadStoredValue(base + L"\\a", L"Name");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored->bytes.size(), 6 * sizeof(wchar_t));
  ASSERT_TRUE(SetRegistryString(base + L"\\a", L"", L"default"));
  EXPECT_EQ(ReadRegistryString(base + L"\\a", L""), L"default");
  ASSERT_TRUE(SetRegistryString(base, L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ));
  EXPECT_EQ(ReadRegistryString(base, L"Expand"), L"%SystemRoot%\\x");

  EXPECT_FALSE(ReadRegistryString(base, L"Missing"));
  DWORD number = 5;
  ASSERT_TRUE(SetRegistryValue(base, L"Number", REG_DWORD, &number, sizeof(number)));
  EXPECT_FALSE(ReadRegistryString(base, L"Number"));
  // Written by another program without its zero, and longer than a first guess of a buffer.
  WideString longText(700, L'x');
  ASSERT_TRUE(SetRegistryValue(base, L"Unterminated", REG_SZ, longText.data(),
                               static_cast<DWORD>(longText.size() * sizeof(wchar_t))));
  EXPECT_EQ(ReadRegistryString(base, L"Unterminated"), longText);
}

TEST_F(RegistryKeyTest, DeletingATreeRemovesEveryLevelAndLeavesItsParent) {
  ASSERT_TRUE(SetRegistryString(base + L"\\tree\\one\\two\\three", L"v", L"3"));
  // Many siblings with long names: the listing must survive the deletions that follow it.
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(SetRegistryString(base + L"\\tree\\one\\two\\" + text::Decimal(i) + WideString(100, L'n'), L"", L"x"));
  }
  ASSERT_TRUE(SetRegistryString(base + L"\\kept", L"v", L"kept"));
  EXPECT_TRUE(DeleteRegistryTree(base + L"\\tree"));
  EXPECT_FALSE(RegistryKeyExists(base + L"\\tree"));
  EXPECT_EQ(ReadRegistryString(base + L"\\kept", L"v"), L"kept");
  EXPECT_TRUE(DeleteRegistryTree(base + L"\\never\\made"));
}

// A 64-bit process sees HKLM\SOFTWARE in the 64-bit view, and the 32-bit view keeps keys of its own:
// every operation, the deletion of a tree at each level, stays in the view its path names.
TEST(RegistryViews, SixtyFourAndThirtyTwoBitViewsAreKeptApart) {
  WideString key = L"SOFTWARE\\BrimlarkTests-Views-" + text::Decimal(GetCurrentProcessId());
  WideString in64 = L"HKLM64\\" + key, in32 = L"HKLM32\\" + key;
  ASSERT_TRUE(SetRegistryString(in64 + L"\\child", L"View", L"64"));
  ASSERT_TRUE(SetRegistryString(in32 + L"\\child", L"View", L"32"));
  if (ReadRegistryString(in64 + L"\\child", L"View") == ReadRegistryString(in32 + L"\\child", L"View")) {
    (void)DeleteRegistryTree(in64);
    GTEST_SKIP() << "this system keeps one HKLM\\SOFTWARE for both views";
  }
  EXPECT_EQ(ReadRegistryString(L"HKLM\\" + key + L"\\child", L"View"), sizeof(void*) == 8 ? L"64" : L"32");
  EXPECT_TRUE(DeleteRegistryTree(in32));
  EXPECT_FALSE(RegistryKeyExists(in32));
  EXPECT_EQ(ReadRegistryString(in64 + L"\\child", L"View"), L"64");
  EXPECT_TRUE(DeleteRegistryTree(in64));
}

class ResolveProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const WideString& key : made) (void)DeleteRegistryTree(key);
  }
  void Register(WideView name, WideView value, DWORD type = REG_SZ) {
    made.push_back(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + WideString(name));
    ASSERT_TRUE(SetRegistryString(made.back(), L"", value, type));
  }
  WideString shell = [] {
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ComSpec", path, MAX_PATH);
    return WideString(path);
  }();
  WideString unique = L"brlktest" + text::Decimal(GetCurrentProcessId());
  std::vector<WideString> made;
};

TEST_F(ResolveProgramTest, BareNamesAreFoundOnTheSearchPathOrThroughAppPaths) {
  std::optional<WideString> notepad = ResolveProgram(L"notepad");
  ASSERT_TRUE(notepad);
  EXPECT_TRUE(Exists(*notepad));
  EXPECT_TRUE(text::EqualsNoCase(text::FileNamePart(*notepad), L"notepad.exe")) << text::ToUtf8(*notepad);
  EXPECT_FALSE(ResolveProgram(L"brimlark-no-such-program"));

  Register(unique + L".exe", L"%ComSpec%", REG_EXPAND_SZ);
  EXPECT_EQ(ResolveProgram(unique), shell);
  EXPECT_EQ(ResolveProgram(unique + L".EXE"), shell);
  Register(unique + L"q.exe", L"\"" + shell + L"\"");
  EXPECT_EQ(ResolveProgram(unique + L"q"), shell);
}

TEST_F(ResolveProgramTest, NamesWithADriveOrAFolderOrOneCharacterAreNotLookedUp) {
  // Each is registered, so only the rule keeps it from being found.
  Register(L"q:" + unique + L".exe", shell);
  Register(unique + L"\\tool.exe", shell);
  made.push_back(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + unique);
  Register(L"z.exe", shell);
  EXPECT_FALSE(ResolveProgram(L"q:" + unique));
  EXPECT_FALSE(ResolveProgram(unique + L"\\tool"));
  EXPECT_FALSE(ResolveProgram(L"z"));
}

}  // namespace
