#include "jobs/SettingsFile.h"

#include "jobs/FtpLocation.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {


class SettingsFileTest : public ::testing::Test {
 protected:
  uint32_t Load(const WideString& path, std::string_view bytes) {
    EXPECT_TRUE(WriteTestFile(path, bytes));
    return LoadJob(jobIni, path, jobs, options, status);
  }

  TempFolder root;
  WideString path = root / L"job.brlk";
  IniFile jobIni;
  JobList jobs;
  BackupOptions options;
  JobStatus status;
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
  EXPECT_EQ(SaveJob(jobIni, path, jobs, options, status), 1u);
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
  SaveJob(jobIni, path, jobs, options, status);
  IniFile saved(path);
  EXPECT_STREQ(saved.GetString(L"Folders", L"0", L""), L"C:\\a<|>D:\\b");
}

TEST_F(SettingsFileTest, RowsWithAnEmptySideAreSkippedWithoutReusingNumbers) {
  jobs.Add({L"C:\\one", L"D:\\one", L"", L"", L"", true});
  jobs.Add({L"C:\\half", L"", L"", L"", L"", true});
  jobs.Add({L"C:\\three", L"D:\\three", L"", L"", L"", false});
  BackupOptions strict{BackupMode::kStrict, true, 2};
  EXPECT_EQ(SaveJob(jobIni, path, jobs, strict, status), 2u);
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nversion=1\r\nFlag=17\r\nSkipAttributes=2\r\n"
                                          L"[Folders]\r\n0=C:\\one<|>D:\\one\r\n2=C:\\three<|>0D:\\three\r\n"));
  EXPECT_EQ(status.text, L"Loaded: job.brlk");
  EXPECT_EQ(status.tooltip, path);
  JobList none;
  EXPECT_EQ(SaveJob(jobIni, path, none, strict, status), 0u);  // nothing written counts as 0
}

TEST_F(SettingsFileTest, UnknownLinesAndSectionsAreKept) {
  Load(path, "[Custom]\r\nmine=1\r\n[Settings]\r\nversion=1\r\nColour=blue\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n"
             "[After]\r\nx=y\r\n");
  EXPECT_EQ(SaveJob(jobIni, path, jobs, options, status), 1u);
  IniFile saved(path);
  EXPECT_STREQ(saved.GetString(L"Custom", L"mine", L""), L"1");
  EXPECT_STREQ(saved.GetString(L"Settings", L"Colour", L""), L"blue");
  EXPECT_STREQ(saved.GetString(L"After", L"x", L""), L"y");
  // Folders is written last.
  EXPECT_EQ(saved.lines().back(), L"0=C:\\a<|>D:\\b");
}

TEST_F(SettingsFileTest, LoadingASecondFileWritesTheFirstOneBack) {
  WideString second = root / L"second.brlk";
  Load(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n\r\n0=C:\\a<|>D:\\b\r\n");
  ASSERT_TRUE(WriteTestFile(second, "[Settings]\r\nversion=1\r\n"));
  LoadJob(jobIni, second, jobs, options, status);
  EXPECT_EQ(ReadTestFile(path), Utf16FileBytes(L"[Settings]\r\nversion=1\r\n[Folders]\r\n0=C:\\a<|>D:\\b\r\n"));
  EXPECT_TRUE(jobs.empty());
  EXPECT_EQ(status.text, L"Loaded: second.brlk");
}

TEST_F(SettingsFileTest, MissingFileLoadsAsEmptyJobWithDefaults) {
  uint32_t flag = LoadJob(jobIni, root / L"none.brlk", jobs, options, status);
  EXPECT_EQ(flag, 16u);
  EXPECT_TRUE(jobs.empty());
  EXPECT_EQ(options.skipAttributes, 6u);
  EXPECT_EQ(status.text, L"Loaded: none.brlk");
}

TEST_F(SettingsFileTest, FtpSidesAreStoredEncipheredAndShownAsDisplayForm) {
  FtpLocation location{L"backupsrv", L"/backups/my_backup", L"alice", L"pw", L"21", L"2"};
  auto stored = MakeStoredForm(location);
  ASSERT_TRUE(stored);
  jobs.Add({L"ftp://backupsrv/backups/my_backup", L"D:\\Local", L"", *stored, L"", true});
  ASSERT_EQ(SaveJob(jobIni, path, jobs, options, status), 1u);
  IniFile saved(path);
  EXPECT_EQ(WideString(saved.GetString(L"Folders", L"0", L"")), *stored + L"<|>D:\\Local");
  EXPECT_EQ(WideString(saved.GetString(L"Folders", L"0", L"")).find(L"alice"), WideString::npos);

  LoadJob(jobIni, path, jobs, options, status);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].source, L"ftp://backupsrv/backups/my_backup");
  EXPECT_EQ(jobs[0].sourceLocation, *stored);
  EXPECT_TRUE(jobs[0].destinationLocation.empty());
}

TEST_F(SettingsFileTest, UndecipherableFtpTextSurvivesLoadAndSave) {
  Load(path, "[Settings]\r\nversion=1\r\n[Folders]\r\n0=FTP:00112233445566778899AABBCCDDEEFF<|>D:\\x\r\n");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].source, L"FTP:00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(SaveJob(jobIni, path, jobs, options, status), 1u);
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

TEST(StatusFileName, TakesTheLastComponent) {
  EXPECT_EQ(StatusFileName(L"C:\\Jobs\\daily.brlk"), L"daily.brlk");
  EXPECT_EQ(StatusFileName(L"daily.brlk"), L"daily.brlk");
  EXPECT_EQ(StatusFileName(L"C:"), L"");
}

}  // namespace
