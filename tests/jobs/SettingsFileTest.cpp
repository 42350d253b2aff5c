#include "jobs/SettingsFile.h"

#include "jobs/FtpLocation.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace std::string_literals;

namespace {


class SettingsFileTest : public ::testing::Test {
 protected:
  uint32_t Load(const WideString& path, std::string_view bytes) {
    EXPECT_TRUE(WriteTestFile(path, bytes));
    return LoadJob(jobIni, path, jobs, options);
  }

  TempFolder root;
  WideString path = root / L"job.brlk";
  IniFile jobIni;
  JobList jobs;
  BackupOptions options;
};

TEST_F(SettingsFileTest, FlagSelectsModeAndUpdateMethod) {
  struct Case {
    const char* flagLine;
    BackupMode mode;
    bool update;
    uint32_t returned;
  } cases[] = {
      {"Flag=3\r\n", BackupMode::kRestore, false, 3},  // Restore is tested before Strict
      {"Flag=1\r\n", BackupMode::kStrict, false, 1},
      {"Flag=17\r\n", BackupMode::kStrict, true, 17},
      {"Flag=4\r\n", BackupMode::kSync, true, 4},  // Sync always uses the update method
      {"Flag=18\r\n", BackupMode::kRestore, true, 18},
      {"Flag=0\r\n", BackupMode::kCommon, false, 0},
      {"", BackupMode::kCommon, true, 16},  // the default
  };
  for (const auto& c : cases) {
    uint32_t flag = Load(path, std::string("[Settings]\r\nversion=1\r\n") + c.flagLine + "[Folders]\r\n");
    EXPECT_EQ(flag, c.returned) << c.flagLine;
    EXPECT_EQ(options.mode, c.mode) << c.flagLine;
    EXPECT_EQ(options.useUpdateMethod, c.update) << c.flagLine;
  }
  EXPECT_TRUE((BackupOptions{BackupMode::kStrict, false, 0}.UpdateMethodEditable()));
  EXPECT_FALSE((BackupOptions{BackupMode::kSync, true, 0}.UpdateMethodEditable()));
  EXPECT_EQ((BackupOptions{BackupMode::kSync, true, 0}.FlagValue()), 0x14u);
}

TEST_F(SettingsFileTest, SkipAttributesDefaultsToBothAndZeroMeansNeither) {
  Load(path, "[Settings]\r\nversion=1\r\n");
  EXPECT_EQ(options.skipAttributes, 6u);
  Load(path, "[Settings]\r\nversion=1\r\nSkipAttributes=0\r\n");
  EXPECT_EQ(options.skipAttributes, 0u);
  Load(path, "[Settings]\r\nversion=1\r\nSkipAttributes=4\r\n");
  EXPECT_EQ(options.skipAttributes, 4u);
}

TEST_F(SettingsFileTest, UncheckedPairRoundTripsUnderItsRowNumber) {
  Load(path, "[Settings]\r\nversion=1\r\nFlag=16\r\nSkipAttributes=6\r\n[Folders]\r\n5=E:\\Data<|>0D:\\Backup\r\n");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].source, L"E:\\Data");
  EXPECT_EQ(jobs[0].destination, L"D:\\Backup");
  EXPECT_EQ(jobs[0].itemId, L"5");
  EXPECT_FALSE(jobs[0].checked);
  EXPECT_EQ(SaveJob(jobIni, path, jobs, options), 1u);
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nversion=1\r\nFlag=16\r\nSkipAttributes=6\r\n"
                                          L"[Folders]\r\n0=E:\\Data<|>0D:\\Backup\r\n"));
}

TEST_F(SettingsFileTest, PrefixOneMeansCheckedAndIsDropped) {
  Load(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\a<|>1D:\\b\r\n1=C:\\x<|>2D:\\y\r\n2=C:\\only\r\n"
             "3=C:\\p<|>D:\\q<|>ignored\r\n;4=C:\\comment<|>D:\\c\r\n=C:\\nokey\r\n");
  ASSERT_EQ(jobs.size(), 4u);
  EXPECT_TRUE(jobs[0].checked);
  EXPECT_EQ(jobs[0].destination, L"D:\\b");
  EXPECT_TRUE(jobs[1].checked);
  EXPECT_EQ(jobs[1].destination, L"2D:\\y");  // any other first character stays
  EXPECT_EQ(jobs[2].source, L"C:\\only");  // no separator: the same text on both sides
  EXPECT_EQ(jobs[2].destination, L"C:\\only");
  EXPECT_EQ(jobs[3].destination, L"D:\\q");  // only the first two parts count
  ASSERT_TRUE(SaveJob(jobIni, path, jobs, options));
  IniFile saved(path);
  EXPECT_STREQ(saved.GetString(L"Folders", L"0", L""), L"C:\\a<|>D:\\b");
}

TEST_F(SettingsFileTest, RowsWithAnEmptySideAreSkippedWithoutReusingNumbers) {
  jobs.Add({L"C:\\one", L"D:\\one", L"", L"", L"", true});
  jobs.Add({L"C:\\half", L"", L"", L"", L"", true});
  jobs.Add({L"C:\\three", L"D:\\three", L"", L"", L"", false});
  BackupOptions strict{BackupMode::kStrict, true, 2};
  EXPECT_EQ(SaveJob(jobIni, path, jobs, strict), 2u);
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nversion=1\r\nFlag=17\r\nSkipAttributes=2\r\n"
                                          L"[Folders]\r\n0=C:\\one<|>D:\\one\r\n2=C:\\three<|>0D:\\three\r\n"));
  // A job without pairs is saved with none; one that could not be written says so apart from that.
  JobList none;
  {
    HeldOpenFile held(path);
    ASSERT_TRUE(held.held());
    EXPECT_EQ(SaveJob(jobIni, path, none, strict), std::nullopt);
  }
  IniFile unchanged(path);
  EXPECT_STREQ(unchanged.GetString(L"Folders", L"0", L""), L"C:\\one<|>D:\\one") << "the old pairs are gone";
  EXPECT_EQ(SaveJob(jobIni, path, none, strict), 0u);
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nversion=1\r\nFlag=17\r\nSkipAttributes=2\r\n[Folders]\r\n"));
}

TEST_F(SettingsFileTest, UnknownLinesAndSectionsAreKept) {
  Load(path, "[Custom]\r\nmine=1\r\n[Settings]\r\nversion=1\r\nColour=blue\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n"
             "[After]\r\nx=y\r\n");
  EXPECT_EQ(SaveJob(jobIni, path, jobs, options), 1u);
  IniFile saved(path);
  EXPECT_STREQ(saved.GetString(L"Custom", L"mine", L""), L"1");
  EXPECT_STREQ(saved.GetString(L"Settings", L"Colour", L""), L"blue");
  EXPECT_STREQ(saved.GetString(L"After", L"x", L""), L"y");
  // Folders is written last.
  EXPECT_EQ(saved.lines().back(), L"0=C:\\a<|>D:\\b");
}

// The store holds what was read hours ago; another instance may have written the file since.
TEST_F(SettingsFileTest, LoadingASecondFileLeavesTheFirstOneAsItIs) {
  WideString second = root / L"second.brlk";
  Load(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n\r\n0=C:\\a<|>D:\\b\r\n");
  ASSERT_TRUE(WriteTestFile(second, "[Settings]\r\nversion=1\r\n"));
  ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n1=added<|>elsewhere\r\n"));
  LoadJob(jobIni, second, jobs, options);
  EXPECT_EQ(ReadTestFile(path), "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n1=added<|>elsewhere\r\n");
  EXPECT_TRUE(jobs.empty());
}

TEST_F(SettingsFileTest, MissingFileLoadsAsEmptyJobWithDefaults) {
  uint32_t flag = LoadJob(jobIni, root / L"none.brlk", jobs, options);
  EXPECT_EQ(flag, 16u);
  EXPECT_TRUE(jobs.empty());
  EXPECT_EQ(options.skipAttributes, 6u);
}

TEST_F(SettingsFileTest, FtpSidesAreStoredEncipheredAndShownAsDisplayForm) {
  FtpLocation location{L"backupsrv", L"/backups/my_backup", L"alice", L"pw", L"21", L"2"};
  auto stored = MakeStoredForm(location);
  ASSERT_TRUE(stored);
  jobs.Add({L"ftp://backupsrv/backups/my_backup", L"D:\\Local", L"", *stored, L"", true});
  ASSERT_EQ(SaveJob(jobIni, path, jobs, options), 1u);
  IniFile saved(path);
  EXPECT_EQ(WideString(saved.GetString(L"Folders", L"0", L"")), *stored + L"<|>D:\\Local");
  EXPECT_EQ(WideString(saved.GetString(L"Folders", L"0", L"")).find(L"alice"), WideString::npos);

  LoadJob(jobIni, path, jobs, options);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].source, L"ftp://backupsrv/backups/my_backup");
  EXPECT_EQ(jobs[0].sourceLocation, *stored);
  EXPECT_TRUE(jobs[0].destinationLocation.empty());
}

TEST_F(SettingsFileTest, UndecipherableFtpTextSurvivesLoadAndSave) {
  Load(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n0=FTP:00112233445566778899AABBCCDDEEFF<|>D:\\x\r\n");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].source, L"FTP:00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(SaveJob(jobIni, path, jobs, options), 1u);
  IniFile saved(path);
  EXPECT_STREQ(saved.GetString(L"Folders", L"0", L""), L"FTP:00112233445566778899AABBCCDDEEFF<|>D:\\x");
}

TEST_F(SettingsFileTest, VersionZeroFileIsUpgradedAndSavedAtOnce) {
  Load(path, "[Settings]\r\nFlag=16\r\n[Folders]\r\nE:\\A=D:\\B\r\nE:\\C=0D:\\D\r\n[Other]\r\nk=v\r\n");
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].source, L"E:\\A");
  EXPECT_EQ(jobs[0].destination, L"D:\\B");
  EXPECT_FALSE(jobs[1].checked);
  // On disk before anything else was saved: the new lines only, and the version.
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nFlag=16\r\nversion=1\r\n[Folders]\r\n0=E:\\A<|>D:\\B\r\n"
                                          L"1=E:\\C<|>0D:\\D\r\n[Other]\r\nk=v\r\n"));
}

TEST_F(SettingsFileTest, InspectCountsCheckedPairs) {
  ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n1=C:\\c<|>0D:\\d\r\n"
                                  "2=C:\\e<|>1D:\\f\r\n"));
  EXPECT_EQ(InspectSettingsFile(path), 2);
  ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\c<|>0D:\\d\r\n"));
  EXPECT_EQ(InspectSettingsFile(path), 0);
  ASSERT_TRUE(WriteTestFile(path, "[Settings]\r\nversion=1\r\n"));
  EXPECT_EQ(InspectSettingsFile(path), -1);
  EXPECT_EQ(InspectSettingsFile(root / L"missing.brlk"), -1);
  // A version-0 file is upgraded on the way.
  ASSERT_TRUE(WriteTestFile(path, "[Folders]\r\nE:\\A=D:\\B\r\n"));
  EXPECT_EQ(InspectSettingsFile(path), 1);
  IniFile upgraded(path);
  EXPECT_STREQ(upgraded.GetString(L"Folders", L"0", L""), L"E:\\A<|>D:\\B");
}

// The bytes of text as UTF-16LE without a byte-order mark.
std::string Utf16BytesWithoutMark(WideView text) { return Utf16FileBytes(text).substr(2); }

// The same text as ANSI bytes and as UTF-16LE with its mark.
std::vector<std::pair<const char*, std::string>> BothEncodings(WideView text) {
  return {{"ANSI", text::ToAnsi(text)}, {"UTF-16LE", Utf16FileBytes(text)}};
}

TEST_F(SettingsFileTest, UpgradeLeavesLinesInTheNumberedFormAsTheyAre) {
  for (const auto& [encoding, bytes] :
       BothEncodings(L"[Settings]\r\nFlag=16\r\n[Folders]\r\n0=E:\\src<|>E:\\dst\r\n1=E:\\u<|>0F:\\v\r\n")) {
    Load(path, bytes);
    ASSERT_EQ(jobs.size(), 2u) << encoding;
    EXPECT_EQ(jobs[0].source, L"E:\\src") << encoding;
    EXPECT_EQ(jobs[0].destination, L"E:\\dst") << encoding;
    EXPECT_TRUE(jobs[0].checked) << encoding;
    EXPECT_EQ(jobs[1].source, L"E:\\u") << encoding;
    EXPECT_FALSE(jobs[1].checked) << encoding;
    EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nFlag=16\r\nversion=1\r\n[Folders]\r\n"
                                                 L"0=E:\\src<|>E:\\dst\r\n1=E:\\u<|>0F:\\v\r\n"))
        << encoding;

    ASSERT_TRUE(WriteTestFile(path, bytes));
    EXPECT_EQ(InspectSettingsFile(path), 1) << encoding;
  }
}

TEST_F(SettingsFileTest, UpgradedLinesStayInPlaceUnderNumbersNotYetTaken) {
  for (const auto& [encoding, bytes] :
       BothEncodings(L"[Folders]\r\nE:\\A=D:\\B\r\n0=E:\\src<|>E:\\dst\r\nE:\\C=0D:\\D\r\n;note=kept\r\n"
                     L"2=E:\\x<|>F:\\y\r\n[Other]\r\nk=v\r\n")) {
    Load(path, bytes);
    ASSERT_EQ(jobs.size(), 4u) << encoding;
    const wchar_t* expected[][3] = {
        {L"1", L"E:\\A", L"D:\\B"}, {L"0", L"E:\\src", L"E:\\dst"},
        {L"3", L"E:\\C", L"D:\\D"}, {L"2", L"E:\\x", L"F:\\y"}};
    for (size_t i = 0; i < jobs.size(); ++i) {
      EXPECT_EQ(jobs[i].itemId, expected[i][0]) << encoding << " " << i;
      EXPECT_EQ(jobs[i].source, expected[i][1]) << encoding << " " << i;
      EXPECT_EQ(jobs[i].destination, expected[i][2]) << encoding << " " << i;
    }
    EXPECT_FALSE(jobs[2].checked) << encoding;
    EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Folders]\r\n1=E:\\A<|>D:\\B\r\n0=E:\\src<|>E:\\dst\r\n"
                                                 L"3=E:\\C<|>0D:\\D\r\n;note=kept\r\n2=E:\\x<|>F:\\y\r\n"
                                                 L"[Other]\r\nk=v\r\n[Settings]\r\nversion=1\r\n"))
        << encoding;
  }
}

TEST_F(SettingsFileTest, Utf16LeWithoutMarkLoadsItsPairs) {
  Load(path, Utf16BytesWithoutMark(L"[Settings]\r\nversion=1\r\nFlag=1\r\n[Folders]\r\n"
                                   L"0=E:\\\u00e9t\u00e9<|>D:\\dst\r\n1=E:\\a<|>0D:\\b\r\n"));
  EXPECT_EQ(options.mode, BackupMode::kStrict);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].source, L"E:\\\u00e9t\u00e9");
  EXPECT_EQ(jobs[0].destination, L"D:\\dst");
  EXPECT_TRUE(jobs[0].checked);
  EXPECT_EQ(jobs[1].destination, L"D:\\b");
  EXPECT_FALSE(jobs[1].checked);
  EXPECT_EQ(InspectSettingsFile(path), 1);

  // A version-0 file in this form is upgraded like any other, and written with its mark.
  Load(path, Utf16BytesWithoutMark(L"[Folders]\r\nE:\\A=D:\\B\r\n"));
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].source, L"E:\\A");
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Folders]\r\n0=E:\\A<|>D:\\B\r\n[Settings]\r\nversion=1\r\n"));
}

// Every way the application touches a settings file: Load, LoadJob with saving on (which upgrades a
// version-0 file), an explicit upgrade, inspecting the file, loading another file into the same store, and
// the store's end.
TEST_F(SettingsFileTest, FilesThatGaveNoFullTextAreNeverRewritten) {
  const WideString version0 = L"[Folders]\r\nE:\\A=D:\\B\r\n";
  const WideString strayZero = L"[Folders]\r\n0=E:\\src<|>D:\\dst\r\n1=E:\\s\0rc<|>D:\\x\r\n"s;
  std::string utf16be;
  for (wchar_t c : version0) utf16be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  std::string huge = text::ToAnsi(version0);
  huge.resize(17u << 20, ';');
  struct Case {
    const char* name;
    std::string bytes;
    size_t pairs;   // what LoadJob shows of it
    int inspected;  // what InspectSettingsFile says
  } cases[] = {
      {"zero byte first", "\0[Settings]\r\nFlag=16\r\n"s + text::ToAnsi(version0), 1, 1},
      {"zero byte inside an ANSI line", text::ToAnsi(version0) + "E:\\s\0rc=D:\\x\r\n"s, 2, 2},
      {"UTF-16BE without mark", utf16be, 0, -1},
      {"zero character in UTF-16LE", Utf16FileBytes(strayZero), 2, 2},
      {"zero character in UTF-16LE without mark", Utf16BytesWithoutMark(strayZero), 2, 2},
      {"binary", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0\0\0\x01\0\x08\x06\0\0\0\x1F\x15\xC4\x89"s, 0, -1},
      {"UTF-16LE mark and one more byte", "\xFF\xFE\x41", 0, -1},
      {"17 MiB", huge, 0, -1},
  };
  WideString second = root / L"second.brlk";
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTestFile(path, c.bytes));
    ASSERT_TRUE(WriteTestFile(second, "[Settings]\r\nversion=1\r\n"));
    {
      IniFile store;
      store.SetAutoSave(true);
      store.Load(path);
      EXPECT_TRUE(store.writeBackRefused()) << c.name;
      LoadJob(store, path, jobs, options);
      EXPECT_EQ(jobs.size(), c.pairs) << c.name;
      UpgradeSettings(store);
      EXPECT_EQ(InspectSettingsFile(path), c.inspected) << c.name;
      EXPECT_TRUE(ReadTestFile(path) == c.bytes) << c.name;
      LoadJob(store, second, jobs, options);
      EXPECT_TRUE(ReadTestFile(path) == c.bytes) << c.name;
      LoadJob(store, path, jobs, options);
    }
    EXPECT_TRUE(ReadTestFile(path) == c.bytes) << c.name;
  }
}

TEST_F(SettingsFileTest, AFileHeldOpenWhileLoadingIsNeverRewritten) {
  const std::string bytes = "[Folders]\r\nE:\\A=D:\\B\r\n";
  ASSERT_TRUE(WriteTestFile(path, bytes));
  WideString second = root / L"second.brlk";
  ASSERT_TRUE(WriteTestFile(second, "[Settings]\r\nversion=1\r\n"));
  {
    IniFile store;
    store.SetAutoSave(true);
    HeldOpenFile held(path);
    ASSERT_TRUE(held.held());
    LoadJob(store, path, jobs, options);
    EXPECT_TRUE(store.loadFailedOnExistingFile());
    EXPECT_TRUE(jobs.empty());
    EXPECT_EQ(InspectSettingsFile(path), -1);
    held.Release();
    // Readable again, but what the store holds is not what the file holds.
    UpgradeSettings(store);
    EXPECT_EQ(ReadTestFile(path), bytes);
    LoadJob(store, second, jobs, options);
    EXPECT_EQ(ReadTestFile(path), bytes);
    LoadJob(store, path, jobs, options);
    EXPECT_FALSE(store.writeBackRefused());
  }
  // Read in full at last, the file is upgraded.
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Folders]\r\n0=E:\\A<|>D:\\B\r\n[Settings]\r\nversion=1\r\n"));
}


}  // namespace
