// Random and mutated settings files, stored forms and schedule entries must never crash a reader.

#include "jobs/FtpLocation.h"
#include "jobs/SecretText.h"
#include "jobs/SettingsFile.h"
#include "schedule/Schedule.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {

const wchar_t* const kPieces[] = {L"[Settings]", L"[Folders]", L"[Scheduled backups]", L"version=", L"Flag=",
                                  L"SkipAttributes=", L"<|>", L"FTP:", L"ftp://", L"0x", L"=", L"\r\n", L"\n",
                                  L"\r", L"0", L"1", L"C:\\", L"\\\\server\\share", L";", L" ", L"\t", L"[",
                                  L"]", L"\u00e9", L"\xD800", L"\xFFFF", L"99999999999999999999999"};

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : random_(seed) {}

  WideString RandomText(size_t maxPieces) {
    WideString result;
    size_t count = Below(maxPieces + 1);
    for (size_t i = 0; i < count; ++i) {
      if (Below(4) == 0) {
        result += static_cast<wchar_t>(Below(0x10000));
      } else {
        result += kPieces[Below(std::size(kPieces))];
      }
    }
    return result;
  }

  WideString Mutate(WideString text) {
    size_t edits = 1 + Below(6);
    for (size_t i = 0; i < edits && !text.empty(); ++i) {
      size_t at = Below(text.size());
      switch (Below(5)) {
        case 0: text[at] = static_cast<wchar_t>(Below(0x10000)); break;
        case 1: text.erase(at, 1 + Below(8)); break;
        case 2: text.insert(at, kPieces[Below(std::size(kPieces))]); break;
        case 3: text.resize(at); break;
        default: text.insert(at, text.substr(Below(text.size()), Below(16))); break;
      }
    }
    return text;
  }

  size_t Below(size_t limit) { return limit == 0 ? 0 : std::uniform_int_distribution<size_t>(0, limit - 1)(random_); }

 private:
  std::mt19937 random_;
};


TEST(MalformedInput, SettingsFilesLoadAndSaveWithoutCrashing) {
  TempFolder root;
  FtpLocation location{L"srv", L"/d", L"u", L"p", L"21", L"1"};
  WideString valid = L"[Settings]\r\nversion=1\r\nFlag=17\r\nSkipAttributes=6\r\n[Folders]\r\n0=C:\\a<|>0D:\\b\r\n1=" +
                     MakeStoredForm(location).value_or(L"FTP:") + L"<|>E:\\x\r\n";
  Mutator mutator(20261208);
  WideString path = root / L"fuzz.brlk";
  for (int round = 0; round < 1500; ++round) {
    WideString content = round % 3 == 0 ? mutator.RandomText(40) : mutator.Mutate(valid);
    // Half of the files as UTF-16 with mark, half as bytes in the ANSI code page.
    std::string bytes = round % 2 ? Utf16FileBytes(content) : text::ToAnsi(content);
    ASSERT_TRUE(WriteTestFile(path, bytes));
    IniFile jobIni;
    JobList jobs;
    BackupOptions options;
    LoadJob(jobIni, path, jobs, options);
    EXPECT_LE(options.skipAttributes, 6u);
    (void)SaveJob(jobIni, path, jobs, options);
    (void)InspectSettingsFile(path);
  }
}

TEST(MalformedInput, StoredFormsNeverCrashTheReaders) {
  Mutator mutator(7);
  FtpLocation location{L"backupsrv", L"/backups", L"alice", L"secret", L"21", L"3"};
  WideString valid = MakeStoredForm(location).value_or(L"FTP:");
  int decoded = 0;
  for (int round = 0; round < 3000; ++round) {
    WideString text = round % 2 ? mutator.Mutate(valid) : L"FTP:" + mutator.RandomText(20);
    if (DisplayForm(text, true)) ++decoded;
    (void)DisplayForm(text, false);
    (void)ReadLocation(text);
    (void)secret_text::Decipher(text);
  }
  // Damaged cipher texts almost always fail; the point is that none of them crashed.
  EXPECT_LT(decoded, 1500);
}

TEST(MalformedInput, ScheduleEntriesNeverCrashTheReaders) {
  Mutator mutator(11);
  Schedule schedule{L"Nightly", 13'000'000'000ull, kSecondsPerDay, L"2", L"C:\\Jobs\\nightly.brlk", 0};
  WideString key = secret_text::Encipher(schedule.name).value_or(L"");
  WideString value = secret_text::Encipher(schedule.Text(true)).value_or(L"");
  for (int round = 0; round < 1500; ++round) {
    IniFile appIni;
    WideString mutatedKey = round % 4 == 0 ? key : mutator.Mutate(key);
    WideString mutatedValue = round % 3 == 0 ? mutator.RandomText(10) : mutator.Mutate(value);
    appIni.SetString(kScheduleSection, mutatedKey, mutatedValue);
    appIni.SetString(kScheduleSection, mutator.RandomText(5) + L"x", mutator.RandomText(8));
    for (const Schedule& found : EnumerateSchedules(appIni)) (void)found.IsDue(found.start);
    (void)FindSchedule(appIni, L"Nightly");
    (void)ScheduleExists(appIni, L"Nightly");
    (void)RenderScheduleRow(mutator.RandomText(12));
    (void)Schedule::FromText(L"n", mutator.Mutate(schedule.Text(true)));
  }
}

}  // namespace
