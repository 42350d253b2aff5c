#include "ini/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace std::string_literals;

namespace {

WideString Get(const IniFile& ini, WideView section, WideView key) {
  const wchar_t* value = ini.GetString(section, key, nullptr);
  return value ? WideString(value) : WideString(L"<none>");
}

class IniFileTest : public ::testing::Test {
 protected:
  // Loads the store from a file holding exactly these ANSI bytes.
  void LoadBytes(std::string_view bytes) {
    ASSERT_TRUE(WriteTestFile(path, bytes));
    ini.Load(path);
  }

  TempFolder root;
  WideString path = root / L"test.ini";
  IniFile ini;
};

TEST_F(IniFileTest, BlanksAroundTheEqualsSignAndLeadingValueBlanksAreSkipped) {
  LoadBytes("[Settings]\r\nFlag = 16\r\nName=\t  spaced value  \r\n");
  EXPECT_EQ(Get(ini, L"Settings", L"Flag"), L"16");
  EXPECT_EQ(Get(ini, L"Settings", L"Name"), L"spaced value");  // trailing blanks went at load time
  EXPECT_EQ(Get(ini, L"Settings", L"  Flag  "), L"16");          // the key is trimmed
}

TEST_F(IniFileTest, HeaderNeedsTheExactFirstLetterAndAnyCaseForTheRest) {
  struct Case {
    const char* header;
    bool found;
  } cases[] = {{"[Settings]", true}, {"[settings]", false}, {"[sETTINGS]", false}, {"[SeTTINGS]", true},
               {"[SETTINGS]", true},
               {"[Settings] trailing text", true}, {"[Setting]", false}, {"[Settingsx]", false}};
  for (const auto& c : cases) {
    LoadBytes(std::string(c.header) + "\r\nFlag=1\r\n");
    EXPECT_EQ(ini.GetString(L"Settings", L"Flag", nullptr) != nullptr, c.found) << c.header;
  }
}

TEST_F(IniFileTest, KeyMatchNeedsTheExactFirstLetterAndOnlyBlanksBeforeTheEquals) {
  LoadBytes("[S]\r\nFlags=1\r\nflag=2\r\nFLAG \t=3\r\nFlag x=4\r\nFlag\r\n");
  // "Flags" has more than blanks before its "=", "flag" the wrong first letter; "FLAG" matches.
  EXPECT_EQ(Get(ini, L"S", L"Flag"), L"3");
  EXPECT_EQ(Get(ini, L"S", L"FLAG"), L"3");
  EXPECT_EQ(Get(ini, L"S", L"Flags"), L"1");
  EXPECT_EQ(Get(ini, L"S", L"fLAG"), L"2");
  EXPECT_EQ(Get(ini, L"S", L"[Flag"), L"<none>");
  EXPECT_EQ(Get(ini, L"", L"Flag"), L"<none>");
  EXPECT_EQ(Get(ini, L"S", L""), L"<none>");
  EXPECT_STREQ(ini.GetString(L"S", L"Missing", L"fallback"), L"fallback");
}

TEST_F(IniFileTest, ValuesKeepLaterEqualsSigns) {
  LoadBytes("[Folders]\r\n0=C:\\a=b<|>D:\\x\r\n");
  EXPECT_EQ(Get(ini, L"Folders", L"0"), L"C:\\a=b<|>D:\\x");
}

TEST_F(IniFileTest, CommentLinesAreNoKeysButCanBeAskedForByName) {
  LoadBytes("[Settings]\r\n;Flag=1\r\nFlag=2\r\n");
  auto range = ini.SectionRange(L"Settings");
  ASSERT_TRUE(range);
  size_t line = ini.NextKeyLine(range->firstBody, range->end);
  ASSERT_NE(line, 0u);
  WideString key, value;
  ASSERT_TRUE(ini.GetKeyValueAt(line, key, value));
  EXPECT_EQ(key, L"Flag");
  EXPECT_EQ(value, L"2");
  EXPECT_EQ(ini.NextKeyLine(line, range->end), 0u);
  EXPECT_EQ(Get(ini, L"Settings", L";Flag"), L"1");
}

TEST_F(IniFileTest, EnumerationStopsAtTheNextHeaderAndSkipsShortAndBracketLines) {
  LoadBytes("[Folders]\r\nab\r\n0 = C:\\x<|>D:\\y\r\n[not a header\r\n=novalue\r\n1=E:\\p<|>F:\\q\r\n[Next]\r\n9=z\r\n");
  auto range = ini.SectionRange(L"Folders");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->firstBody, 1u);
  EXPECT_EQ(range->end, 6u);
  std::vector<std::pair<WideString, WideString>> found;
  for (size_t n = ini.NextKeyLine(range->firstBody, range->end); n != 0; n = ini.NextKeyLine(n, range->end)) {
    WideString key, value;
    ASSERT_TRUE(ini.GetKeyValueAt(n, key, value));
    found.emplace_back(key, value);
  }
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], std::make_pair(WideString(L"0"), WideString(L"C:\\x<|>D:\\y")));
  EXPECT_EQ(found[1], std::make_pair(WideString(L"1"), WideString(L"E:\\p<|>F:\\q")));
  // Without an end index the search runs into the next header and stops there.
  EXPECT_EQ(ini.NextKeyLine(6, 0), 0u);
  EXPECT_EQ(ini.NextKeyLine(5, 0), 6u);
  WideString key, value;
  EXPECT_FALSE(ini.GetKeyValueAt(0, key, value));
  EXPECT_FALSE(ini.GetKeyValueAt(99, key, value));
  EXPECT_FALSE(ini.GetKeyValueAt(5, key, value));  // "=novalue" has no "=" after its first character
}

TEST_F(IniFileTest, HeaderWithTrailingTextStartsTheSection) {
  LoadBytes("[Folders] old style\r\n0=x\r\n");
  auto range = ini.SectionRange(L"Folders");
  ASSERT_TRUE(range);
  EXPECT_EQ(Get(ini, L"Folders", L"0"), L"x");
}

TEST_F(IniFileTest, SetStringReplacesInsertsAtTheEndOfTheBodyOrAppendsTheSection) {
  LoadBytes("[Settings]\r\nFlag=1\r\n[Folders]\r\n0=a\r\n");
  EXPECT_NE(ini.SetString(L"Settings", L"Flag", L"16"), 0);
  EXPECT_NE(ini.SetString(L"Settings", L"SkipAttributes", L"6"), 0);
  EXPECT_NE(ini.SetString(L"History", L"1", L"C:\\x"), 0);
  EXPECT_EQ(ini.SetString(L"", L"k", L"v"), 0);
  EXPECT_EQ(ini.SetString(L"S", L"", L"v"), 0);
  std::vector<WideString> expected = {L"[Settings]", L"Flag=16", L"SkipAttributes=6", L"[Folders]",
                                      L"0=a",        L"[History]", L"1=C:\\x"};
  EXPECT_EQ(ini.lines(), expected);
}

TEST_F(IniFileTest, SetStringOnAnEmptyStoreCreatesTheSection) {
  IniFile empty;
  EXPECT_STREQ(empty.GetString(L"Settings", L"Flag", L"d"), L"d");
  EXPECT_NE(empty.SetString(L"Settings", L"Flag", L"=odd= value "), 0);
  EXPECT_EQ(Get(empty, L"Settings", L"Flag"), L"=odd= value ");
}

TEST_F(IniFileTest, DeleteKeyAndSection) {
  LoadBytes("[Scheduled backups]\r\nA=1\r\nB=2\r\n[Folders]\r\n0=x\r\n1=y\r\n[Tail]\r\nT=1\r\n");
  EXPECT_EQ(ini.DeleteKey(L"Scheduled backups", L"A"), 1);
  EXPECT_EQ(ini.DeleteKey(L"Scheduled backups", L"A"), 2);
  EXPECT_EQ(ini.DeleteKey(L"Nowhere", L"A"), 2);
  EXPECT_EQ(ini.DeleteKey(L"Scheduled backups", L""), 0);
  EXPECT_EQ(ini.DeleteSection(L"Folders"), 1);
  EXPECT_EQ(ini.DeleteSection(L"Folders"), 2);
  std::vector<WideString> expected = {L"[Scheduled backups]", L"B=2", L"[Tail]", L"T=1"};
  EXPECT_EQ(ini.lines(), expected);
}

TEST_F(IniFileTest, SplittingByLineEnds) {
  LoadBytes("[S]\nA=1\nB=2\n");
  EXPECT_EQ(ini.lines().size(), 3u);
  EXPECT_EQ(Get(ini, L"S", L"B"), L"2");

  // With CR LF present, a lone LF does not split.
  LoadBytes("[S]\r\nA=1\nB=2\r\nC=3\r\n");
  EXPECT_EQ(ini.lines().size(), 3u);
  EXPECT_EQ(Get(ini, L"S", L"A"), L"1\nB=2");
  EXPECT_EQ(Get(ini, L"S", L"C"), L"3");

  // Bare CR never splits.
  LoadBytes("[S]\rA=1\rB=2");
  EXPECT_EQ(ini.lines().size(), 1u);
}

TEST_F(IniFileTest, SaveDropsBlankLinesAndWritesUtf16WithMark) {
  LoadBytes("  [S]  \r\n\r\n   \r\n\tA=1\t\r\n\r\n");
  EXPECT_EQ(ini.lines().size(), 3u);  // the blank-only line is kept in memory as an empty line
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[S]\r\nA=1\r\n"));
}

TEST_F(IniFileTest, SavedFileLoadsBackTheSame) {
  ini.Load(path);
  ini.SetString(L"Settings", L"Name", L"Gr\u00fc\u00dfe \u65e5\u672c");
  ini.SetString(L"Folders", L"0", L"C:\\a<|>D:\\b");
  ASSERT_TRUE(ini.Save());
  IniFile reread(path);
  EXPECT_EQ(reread.lines(), ini.lines());
  EXPECT_EQ(Get(reread, L"Settings", L"Name"), L"Gr\u00fc\u00dfe \u65e5\u672c");
}

TEST_F(IniFileTest, ReadsEveryEncodingByItsMark) {
  std::string utf16be = "\xFE\xFF";
  for (wchar_t c : WideString(L"[S]\r\nK=\u00e4\r\n")) {
    utf16be += static_cast<char>(c >> 8);
    utf16be += static_cast<char>(c & 0xFF);
  }
  const std::string files[] = {Utf16FileBytes(L"[S]\r\nK=\u00e4\r\n"), utf16be, "\xEF\xBB\xBF[S]\r\nK=\xC3\xA4\r\n"};
  for (const auto& bytes : files) {
    LoadBytes(bytes);
    EXPECT_EQ(Get(ini, L"S", L"K"), L"\u00e4");
  }
}

TEST_F(IniFileTest, SavingAStoreWithoutTextLeavesOnlyTheMarkAndFails) {
  LoadBytes("[S]\r\nA=1\r\n");
  IniFile blank;
  EXPECT_FALSE(blank.Save());  // no path yet
  blank.Load(root / L"missing.ini");
  EXPECT_FALSE(blank.Save(path));
  EXPECT_EQ(ReadTestFile(path), "\xFF\xFE");
}

TEST_F(IniFileTest, MissingFileLoadsEmptyAndSaveCreatesItWithItsFolders) {
  WideString nested = root / L"a\\b\\new.ini";
  EXPECT_FALSE(ini.Load(nested));
  EXPECT_EQ(ini.path(), nested);
  EXPECT_TRUE(ini.lines().empty());
  ini.SetString(L"S", L"K", L"V");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadTestFile(nested), Utf16FileBytes(L"[S]\r\nK=V\r\n"));
}

TEST_F(IniFileTest, AutoSaveWritesOnDestructionAndBeforeTheNextLoad) {
  WideString other = root / L"other.ini";
  ASSERT_TRUE(WriteTestFile(other, "[O]\r\nX=1\r\n"));
  {
    IniFile store(path);
    store.SetAutoSave(true);
    store.SetString(L"S", L"K", L"first");
    store.Load(other);  // writes path first
    EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[S]\r\nK=first\r\n"));
    store.SetString(L"O", L"X", L"2");
  }
  EXPECT_EQ(ReadTestFile(other), Utf16FileBytes(L"[O]\r\nX=2\r\n"));
}

TEST_F(IniFileTest, ReloadingTheSameFileKeepsWhatIsOnDisk) {
  LoadBytes("[S]\r\nA=1\r\n");
  ini.SetAutoSave(true);
  ASSERT_TRUE(WriteTestFile(path, "[S]\r\nA=changed elsewhere\r\n"));
  ini.Load(path, true);
  EXPECT_EQ(Get(ini, L"S", L"A"), L"changed elsewhere");
  EXPECT_EQ(ReadTestFile(path), "[S]\r\nA=changed elsewhere\r\n");
  // Unsaved changes in memory are still written back first.
  ini.SetString(L"S", L"A", L"mine");
  ini.Load(path, true);
  EXPECT_EQ(Get(ini, L"S", L"A"), L"mine");
}

TEST_F(IniFileTest, SaveFailsWhileAnotherProcessHoldsTheFileAndKeepsItIntact) {
  LoadBytes("[S]\r\nA=1\r\n");
  ini.SetString(L"S", L"A", L"2");
  {
    HeldOpenFile held(path);
    ASSERT_TRUE(held.held());
    EXPECT_FALSE(ini.Save());
  }
  EXPECT_EQ(ReadTestFile(path), "[S]\r\nA=1\r\n");
  // No temporary file is left behind.
  int files = 0;
  WIN32_FIND_DATAW found;
  HANDLE listing = FindFirstFileW((root / L"*").c_str(), &found);
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  EXPECT_EQ(files, 1);
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[S]\r\nA=2\r\n"));
}

TEST_F(IniFileTest, AutoSaveLeavesAFileAloneThatCouldNotBeRead) {
  ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nImportant=yes\r\n"));
  {
    HeldOpenFile held(path);
    ASSERT_TRUE(held.held());
    IniFile store;
    store.SetAutoSave(true);
    EXPECT_FALSE(store.Load(path));
    EXPECT_TRUE(store.loadFailedOnExistingFile());
    held.Release();
    store.SetString(L"Settings", L"Other", L"1");
  }  // AutoSave fires here
  EXPECT_EQ(ReadTestFile(path), "[Settings]\r\nImportant=yes\r\n");

  // Saving to its own path leaves the file alone too; only a path given to Save is written.
  {
    HeldOpenFile held(path);
    IniFile store;
    EXPECT_FALSE(store.Load(path));
    held.Release();
    store.SetString(L"Settings", L"Other", L"1");
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(ReadTestFile(path), "[Settings]\r\nImportant=yes\r\n");
    EXPECT_TRUE(store.Save(path));
    EXPECT_FALSE(store.writeBackRefused());
    store.SetString(L"Settings", L"Other", L"2");
    EXPECT_TRUE(store.Save());
  }
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nOther=2\r\n"));
}

// The bytes of text as UTF-16LE without a byte-order mark.
std::string Utf16BytesWithoutMark(WideView text) { return Utf16FileBytes(text).substr(2); }

TEST_F(IniFileTest, FilesThatGaveNoFullTextAreNeverWrittenBack) {
  const std::string version0 = "[Settings]\r\nFlag=16\r\n[Folders]\r\nE:\\src=D:\\dst\r\n";
  const WideString text = L"[Settings]\r\nversion=1\r\n[Folders]\r\n0=E:\\src<|>D:\\dst\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    bool loadFailed;     // nothing could be read at all
    size_t linesLoaded;  // otherwise the lines that were read stay loaded
  } cases[] = {
      {"zero byte first", "\0"s + version0, false, 4},
      {"zero byte inside an ANSI line", version0 + "0=E:\\a\0b<|>D:\\c\r\n"s, false, 5},
      {"UTF-16BE without mark", "\0[\0S\0]\0\r\0\n"s, false, 1},
      {"zero character in UTF-16LE", Utf16FileBytes(text + L"1=E:\\s\0rc<|>D:\\x\r\n"s), false, 5},
      {"zero character in UTF-16LE without mark", Utf16BytesWithoutMark(text + L"1=E:\\s\0rc<|>D:\\x\r\n"s), false, 5},
      {"binary", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0\0\0\x01\0\x08\x06\0\0\0\x1F\x15\xC4\x89"s, false, 2},
      {"UTF-16LE mark and one more byte", "\xFF\xFE\x41", true, 0},
      {"UTF-8 mark and a zero byte", "\xEF\xBB\xBF\0"s, false, 1},
      {"larger than 16 MiB", std::string((16u << 20) + 1, 'x'), true, 0},
  };
  WideString other = root / L"other.ini";
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTestFile(path, c.bytes));
    ASSERT_TRUE(WriteTestFile(other, "[O]\r\nX=1\r\n"));
    {
      IniFile store;
      store.SetAutoSave(true);
      store.Load(path);
      EXPECT_EQ(store.loadFailedOnExistingFile(), c.loadFailed) << c.name;
      EXPECT_TRUE(store.writeBackRefused()) << c.name;
      EXPECT_EQ(store.lines().size(), c.linesLoaded) << c.name;
      store.SetString(L"Settings", L"version", L"1");
      EXPECT_FALSE(store.Save()) << c.name;
      store.Load(path, true);  // the same file again, now with changes in memory
      store.SetString(L"Settings", L"version", L"1");
      store.Load(other, true);
      EXPECT_FALSE(store.writeBackRefused()) << c.name;
      store.SetString(L"O", L"X", L"2");
    }  // saves other, which it could read
    EXPECT_TRUE(ReadTestFile(path) == c.bytes) << c.name;
    EXPECT_EQ(ReadTestFile(other), Utf16FileBytes(L"[O]\r\nX=2\r\n")) << c.name;
  }
}

TEST_F(IniFileTest, ASaveToAGivenPathReplacesAFileThatGaveNoFullText) {
  ASSERT_TRUE(WriteTestFile(path, "[S]\r\nA=1\0\r\n"s));
  ini.Load(path);
  ASSERT_TRUE(ini.writeBackRefused());
  EXPECT_EQ(Get(ini, L"S", L"A"), L"1");
  ini.SetString(L"S", L"A", L"2");
  EXPECT_TRUE(ini.Save(path));
  EXPECT_FALSE(ini.writeBackRefused());
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[S]\r\nA=2\r\n"));
}

TEST_F(IniFileTest, EmptyOrOnlyAMarkOrMissingMayBeWritten) {
  struct Case {
    const char* name;
    std::optional<std::string> bytes;  // none: no file
  } cases[] = {{"empty", ""}, {"UTF-16LE mark", "\xFF\xFE"}, {"UTF-8 mark", "\xEF\xBB\xBF"},
               {"missing", std::nullopt}};
  for (const auto& c : cases) {
    DeleteFileW(path.c_str());
    if (c.bytes) {
      ASSERT_TRUE(WriteTestFile(path, *c.bytes));
    }
    {
      IniFile store;
      store.SetAutoSave(true);
      EXPECT_FALSE(store.Load(path)) << c.name;
      EXPECT_FALSE(store.loadFailedOnExistingFile()) << c.name;
      EXPECT_FALSE(store.writeBackRefused()) << c.name;
      store.SetString(L"S", L"K", L"V");
    }
    EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[S]\r\nK=V\r\n")) << c.name;
  }
}

TEST_F(IniFileTest, SixteenMebibytesAreReadAndOneByteMoreIsRefused) {
  std::string line = "K=" + std::string(1020, 'v') + "\r\n";
  std::string bytes = "[S]\r\n";
  while (bytes.size() + line.size() <= (16u << 20)) bytes += line;
  bytes.append((16u << 20) - bytes.size(), 'x');
  ASSERT_EQ(bytes.size(), 16u << 20);
  ASSERT_TRUE(WriteTestFile(path, bytes));
  EXPECT_TRUE(ini.Load(path));
  EXPECT_FALSE(ini.writeBackRefused());
  EXPECT_EQ(Get(ini, L"S", L"K"), WideString(1020, L'v'));

  ASSERT_TRUE(WriteTestFile(path, bytes + "x"));
  EXPECT_FALSE(ini.Load(path));
  EXPECT_TRUE(ini.loadFailedOnExistingFile());
  EXPECT_TRUE(ini.lines().empty());
}

TEST_F(IniFileTest, Utf16LeWithoutMarkLoadsItsPairs) {
  const WideString text = L"[Settings]\r\nversion=1\r\n[Folders]\r\n0=E:\\\u00e9t\u00e9<|>D:\\dst\r\n";
  ASSERT_TRUE(WriteTestFile(path, Utf16BytesWithoutMark(text)));
  ASSERT_TRUE(ini.Load(path));
  EXPECT_FALSE(ini.writeBackRefused());
  EXPECT_EQ(Get(ini, L"Settings", L"version"), L"1");
  EXPECT_EQ(Get(ini, L"Folders", L"0"), L"E:\\\u00e9t\u00e9<|>D:\\dst");
  // Written back with its mark, the text is the same.
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(text));
}

TEST_F(IniFileTest, SetKeyValueAtReplacesTheLineWhereItStands) {
  LoadBytes("[Folders]\r\nE:\\a=D:\\b\r\n1=x\r\n");
  EXPECT_TRUE(ini.SetKeyValueAt(2, L"0", L"E:\\a<|>D:\\b"));
  EXPECT_FALSE(ini.SetKeyValueAt(0, L"0", L"v"));
  EXPECT_FALSE(ini.SetKeyValueAt(4, L"0", L"v"));
  EXPECT_FALSE(ini.SetKeyValueAt(3, L"", L"v"));
  std::vector<WideString> expected = {L"[Folders]", L"0=E:\\a<|>D:\\b", L"1=x"};
  EXPECT_EQ(ini.lines(), expected);
}

// Two instances hold the same file: each save brings only its own changes, made again on the file as the
// other left it.
TEST_F(IniFileTest, ASaveMergesItsOwnChangesIntoWhatAnotherStoreWroteMeanwhile) {
  LoadBytes("[Settings]\r\nKeep=1\r\nGone=1\r\n[Folders]\r\nE:\\a=D:\\b\r\n[Old]\r\nx=1\r\n[Pairs]\r\n0=a\r\n");
  IniFile other(path);
  other.SetString(L"Settings", L"Theirs", L"2");
  other.SetString(L"Folders", L"E:\\c", L"D:\\d");
  other.SetString(L"Pairs", L"9", L"theirs");
  ASSERT_TRUE(other.Save());

  ini.SetString(L"Settings", L"Mine", L"3");
  EXPECT_EQ(ini.DeleteKey(L"Settings", L"Gone"), 1);
  EXPECT_EQ(ini.DeleteSection(L"Old"), 1);
  ini.ReplaceSection(L"Pairs", {L"0=mine"});
  ASSERT_TRUE(ini.SetKeyValueAt(5, L"0", L"E:\\a<|>D:\\b"));
  ASSERT_TRUE(ini.Save());
  const std::vector<WideString> merged = {L"[Settings]", L"Keep=1", L"Theirs=2", L"Mine=3", L"[Folders]",
                                          L"0=E:\\a<|>D:\\b", L"E:\\c=D:\\d", L"[Pairs]", L"0=mine"};
  EXPECT_EQ(IniFile(path).lines(), merged);
  EXPECT_EQ(ini.lines(), merged);  // the store now holds what it wrote

  // Its next save carries only what changed after this one.
  ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nKeep=edited by hand\r\n"));
  ini.SetString(L"Settings", L"Later", L"4");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(IniFile(path).lines(), (std::vector<WideString>{L"[Settings]", L"Keep=edited by hand", L"Later=4"}));
}

TEST_F(IniFileTest, AStoreThatChangedNothingWritesNothingBack) {
  LoadBytes("[Settings]\r\nA=1\r\n");
  {
    IniFile store(path);
    store.SetAutoSave(true);
    ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nA=written by another instance\r\n"));
    store.Load(root / L"other.ini");  // saving first, had it changed anything
    EXPECT_EQ(ReadTestFile(path), "[Settings]\r\nA=written by another instance\r\n");
    store.Load(path);
  }  // and at destruction
  EXPECT_EQ(ReadTestFile(path), "[Settings]\r\nA=written by another instance\r\n");
  EXPECT_FALSE(Exists(root / L"other.ini"));
}

TEST_F(IniFileTest, SaveKeepsHiddenMarkOfTheReplacedFile) {
  ASSERT_TRUE(WriteTestFile(path, FileContent("[S]\r\nA=1\r\n", FILE_ATTRIBUTE_HIDDEN)));
  ini.Load(path);
  ini.SetString(L"S", L"A", L"2");
  ASSERT_TRUE(ini.Save());
  EXPECT_TRUE(AttributesOf(path) & FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace
