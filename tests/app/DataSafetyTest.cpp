// Data safety through the real executable: runs broken on purpose (a process killed in the middle of a
// copy, a settings file holding a path with a control character) must never cost the user a file.

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"
#include "engine/Versions.h"
#include "ini/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace testing_support;

namespace {

// A settings file written unit by unit as UTF-16LE with its byte-order mark, so that whatever the text
// holds (a zero character included) lands in the file exactly.
std::string SettingsFileBytes(WideView text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  }
  return bytes;
}

WideString JobText(WideView flag, WideView source, WideView destination) {
  return text::Concat(L"[Settings]\r\nversion=1\r\nFlag=", flag, L"\r\nSkipAttributes=0\r\n[Folders]\r\n0=", source,
                      L"<|>", destination, L"\r\n");
}

// A copy killed in the middle, then a Sync.
constexpr uint64_t kBigFileSize = 256ull << 20;
constexpr size_t kPatternChunk = 8u << 20;

// Every 8-byte word depends on its own offset, so a hole, a shifted chunk or a stale tail all differ.
void FillPattern(uint64_t offset, unsigned char* out, size_t size) {
  for (size_t at = 0; at < size; at += 8) {
    uint64_t word = ((offset + at) / 8 + 1) * 0x9E3779B97F4A7C15ull;
    word ^= word >> 29;
    std::memcpy(out + at, &word, std::min<size_t>(8, size - at));
  }
}

bool WritePatternFile(WideView path, uint64_t size, const FILETIME& writeTime) {
  UniqueHandle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  auto buffer = std::make_unique<unsigned char[]>(kPatternChunk);
  for (uint64_t offset = 0; offset < size; offset += kPatternChunk) {
    DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(kPatternChunk, size - offset));
    FillPattern(offset, buffer.get(), chunk);
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.get(), chunk, &written, nullptr) || written != chunk) return false;
  }
  return SetFileTime(file.get(), &writeTime, &writeTime, &writeTime) != 0;
}

// Empty when the file holds exactly the pattern of the given size; otherwise what is wrong with it.
std::string PatternMismatch(WideView path, uint64_t size) {
  UniqueHandle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return "cannot be opened (error " + std::to_string(GetLastError()) + ")";
  LARGE_INTEGER actual{};
  if (!GetFileSizeEx(file.get(), &actual)) return "size unknown";
  if (static_cast<uint64_t>(actual.QuadPart) != size) {
    return "holds " + std::to_string(actual.QuadPart) + " bytes instead of " + std::to_string(size);
  }
  auto expected = std::make_unique<unsigned char[]>(kPatternChunk);
  auto got = std::make_unique<unsigned char[]>(kPatternChunk);
  for (uint64_t offset = 0; offset < size; offset += kPatternChunk) {
    DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(kPatternChunk, size - offset));
    DWORD read = 0;
    if (!ReadFile(file.get(), got.get(), chunk, &read, nullptr) || read != chunk) {
      return "read failed at offset " + std::to_string(offset);
    }
    FillPattern(offset, expected.get(), chunk);
    if (std::memcmp(expected.get(), got.get(), chunk) != 0) {
      return "differs within the 8 MiB from offset " + std::to_string(offset);
    }
  }
  return {};
}

struct ListedFile {
  WideString name;
  uint64_t size;
};

std::vector<ListedFile> FilesIn(WideView folder) {
  std::vector<ListedFile> files;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW(LongPathForm(text::Concat(folder, L"\\*")).c_str(), &data));
  if (!find) return files;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      files.push_back({data.cFileName, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
    }
  } while (FindNextFileW(find.get(), &data));
  return files;
}

// Some file of the copy is there, neither empty nor complete, whatever name it is written under.
bool CopyInTheMiddle(WideView folder, uint64_t fullSize) {
  auto files = FilesIn(folder);
  return std::any_of(files.begin(), files.end(), [&](const ListedFile& f) { return f.size > 0 && f.size < fullSize; });
}

std::vector<WideString> PartialCopyNames(WideView folder) {
  std::vector<WideString> names;
  for (const ListedFile& file : FilesIn(folder)) {
    if (text::EndsWith(file.name, L".~brlk-part", false)) names.push_back(file.name);
  }
  return names;
}

class DataSafetyKilledCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), exe.c_str(), FALSE))
        << "Brimlark.exe must be built beside the tests";
    ASSERT_TRUE(MakeTestFolder(source));
    ASSERT_TRUE(MakeTestFolder(backup));
  }

  TempFolder root;
  WideString exe = root / L"Brimlark.exe";
  WideString source = root / L"source";
  WideString backup = root / L"backup";
  WideString sourceFile = root / L"source\\big.bin";
  WideString backupFile = root / L"backup\\big.bin";
};

TEST_F(DataSafetyKilledCopy, KilledCopyLeavesNoShortFileThatSyncTakesForNewer) {
  // Last changed long ago, as a file worth a backup usually is: anything the killed run leaves behind is
  // newer than it.
  ASSERT_TRUE(WritePatternFile(sourceFile, kBigFileSize, MakeFileTime(2024, 1, 15, 10, 0, 0)));
  WideString commonJob = root / L"common.brlk";
  ASSERT_TRUE(WriteTestFile(commonJob, SettingsFileBytes(JobText(L"0", source, backup))));

  bool killedInTheMiddle = false;
  for (int attempt = 0; attempt < 5 && !killedInTheMiddle; ++attempt) {
    for (const ListedFile& file : FilesIn(backup)) ASSERT_TRUE(DeleteFileW((backup + L"\\" + file.name).c_str()));
    RunningProgram program;
    ASSERT_TRUE(program.Start(exe, L"/Quiet /NoUpdate \"" + commonJob + L"\""));
    ULONGLONG deadline = GetTickCount64() + 30000;
    bool seen = false;
    while (GetTickCount64() < deadline) {
      if (CopyInTheMiddle(backup, kBigFileSize)) {
        seen = true;
        break;
      }
      if (program.WaitForEnd(1)) break;
    }
    // The kill must be what ended the run, and a copy must still be unfinished afterwards.
    killedInTheMiddle = seen && program.Kill() && CopyInTheMiddle(backup, kBigFileSize);
  }
  if (!killedInTheMiddle) GTEST_SKIP() << "the copy was never caught unfinished in 5 runs, so no kill landed in it";

  // The backup's own name holds a complete copy or nothing.
  if (Exists(backupFile)) {
    EXPECT_EQ(PatternMismatch(backupFile, kBigFileSize), "")
        << "after the kill, the backup's own name holds an unfinished copy";
  }

  WideString syncJob = root / L"sync.brlk";
  ASSERT_TRUE(WriteTestFile(syncJob, SettingsFileBytes(JobText(L"4", source, backup))));
  EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + syncJob + L"\"", 90000), 0);

  EXPECT_EQ(PatternMismatch(sourceFile, kBigFileSize), "") << "the Sync changed the source file";
  EXPECT_EQ(PatternMismatch(backupFile, kBigFileSize), "") << "the Sync left no complete backup";
  EXPECT_EQ(PartialCopyNames(source), std::vector<WideString>{});
  EXPECT_EQ(PartialCopyNames(backup), std::vector<WideString>{});
}

// Two instances at once: a Quiet run of a slow job while someone else edits both of its files. Neither
// file may come back as the run found it at its start.
TEST_F(DataSafetyKilledCopy, AQuietRunWritesBackNeitherStoreItDidNotChange) {
  ASSERT_TRUE(WritePatternFile(sourceFile, kBigFileSize, MakeFileTime(2024, 1, 15, 10, 0, 0)));
  WideString appIni = root / L"Brimlark.ini";
  ASSERT_TRUE(WriteTestFile(appIni, "[Settings]\r\nAutoUpdate=0\r\nImported m_appini=1\r\n"));
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, SettingsFileBytes(JobText(L"0", source, backup))));

  // Written meanwhile, as the settings window adds a schedule and the main window a pair.
  const std::string editedIni = "[Settings]\r\nAutoUpdate=0\r\nImported m_appini=1\r\n[Scheduled backups]\r\n"
                                "0011=2233\r\n";
  const std::string editedJob =
      SettingsFileBytes(JobText(L"0", source, backup) + L"1=" + source + L"<|>" + root.path() + L"\\second\r\n");
  bool editedDuringTheRun = false;
  for (int attempt = 0; attempt < 3 && !editedDuringTheRun; ++attempt) {
    for (const ListedFile& file : FilesIn(backup)) ASSERT_TRUE(DeleteFileW((backup + L"\\" + file.name).c_str()));
    RunningProgram program;
    ASSERT_TRUE(program.Start(exe, L"/Quiet /NoUpdate \"" + job + L"\""));
    ASSERT_TRUE(WaitUntil([&] { return CopyInTheMiddle(backup, kBigFileSize) || program.WaitForEnd(0); }, 30000));
    ASSERT_TRUE(WriteTestFile(appIni, editedIni));
    ASSERT_TRUE(WriteTestFile(job, editedJob));
    editedDuringTheRun = !program.WaitForEnd(0);
    ASSERT_TRUE(program.WaitForEnd(90000));
    EXPECT_EQ(program.ExitCode(), 0u);
  }
  if (!editedDuringTheRun) GTEST_SKIP() << "the run ended before the files could be edited, three times";
  EXPECT_EQ(ReadTestFile(appIni), editedIni) << "the run wrote its start-up copy of Brimlark.ini back";
  EXPECT_TRUE(ReadTestFile(job) == editedJob) << "the run wrote its start-up copy of the job back";
  EXPECT_EQ(PatternMismatch(backupFile, kBigFileSize), "");
}

// A Common run of a version-0 job named relative to the folder it is started in (as a batch file does),
// over a tree holding what a backup of a Linux share meets: names like our partial copies, two names
// that differ only in case, and a file where the backup has a folder.
TEST_F(DataSafetyKilledCopy, ARealTreeWithTroublesomeNames) {
  if (UnixPathOf(source).empty()) GTEST_SKIP() << "two names that differ only in case need the Linux side of Wine";
  ASSERT_TRUE(WriteTestFile(source + L"\\notes.~brlk-part", "the user's notes"));
  ASSERT_TRUE(WriteTestFile(source + L"\\sub\\old.txt.~BRLK-PART", "the user's old text"));
  ASSERT_TRUE(WriteTestFile(source + L"\\sub\\kept.txt", "kept"));
  ASSERT_TRUE(WriteTestFile(source + L"\\site\\Index.html", std::string(15491, 'I')));
  ASSERT_TRUE(WriteAsLinuxProgram(UnixPathOf(source) + "/site/index.html", std::string(4978, 'i')));
  ASSERT_TRUE(WriteTestFile(source + L"\\clash", "a file"));
  ASSERT_TRUE(WriteTestFile(backup + L"\\clash\\inside.txt", "in the backup's folder"));
  WideString jobs = root / L"jobs";
  WideString job = jobs + L"\\old.brlk";
  ASSERT_TRUE(WriteTestFile(job, text::ToAnsi(L"[Settings]\r\nFlag=0\r\nSkipAttributes=0\r\n[Folders]\r\n" + source +
                                             L"=" + backup + L"\r\n")));
  std::vector<WideString> twins;
  for (const ListedFile& file : FilesIn(source + L"\\site")) twins.push_back(file.name);
  ASSERT_EQ(twins.size(), 2u) << "the folder does not tell the two names apart";

  for (int run = 0; run < 2; ++run) {  // every run says so again
    SCOPED_TRACE(run);
    WideString logPath = root / L"Brimlark_ErrorLog.txt";
    ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
    EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate old.brlk", 60000, jobs), 1);
    std::vector<WideString> expected = {L"Could not replace a folder with a file: " + backup + L"\\clash",
                                        L"Names differ only in case: " + source + L"\\site\\" + twins[1]};
    std::vector<WideString> logged = ReadLogMessages(logPath);
    std::sort(logged.begin(), logged.end());
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(ReadTestFile(source + L"\\notes.~brlk-part"), "the user's notes");
    EXPECT_EQ(ReadTestFile(source + L"\\sub\\old.txt.~BRLK-PART"), "the user's old text");
    EXPECT_EQ(ReadTestFile(backup + L"\\sub\\kept.txt"), "kept");
    EXPECT_EQ(PartialCopyNames(backup), std::vector<WideString>{});
    EXPECT_EQ(PartialCopyNames(backup + L"\\sub"), std::vector<WideString>{});
    auto site = FilesIn(backup + L"\\site");
    ASSERT_EQ(site.size(), 1u);
    EXPECT_EQ(site[0].size, twins[0] == L"Index.html" ? 15491u : 4978u) << "the second name was written over the first";
    EXPECT_EQ(ReadTestFile(backup + L"\\clash\\inside.txt"), "in the backup's folder");
    // The job was upgraded and saved where it is, and nothing was left beside it.
    IniFile upgraded(job);
    EXPECT_STREQ(upgraded.GetString(L"Settings", L"version", L""), L"1");
    EXPECT_EQ(WideString(upgraded.GetString(L"Folders", L"0", L"")), source + L"<|>" + backup);
    WIN32_FIND_DATAW found;
    UniqueFindHandle listing(FindFirstFileW((jobs + L"\\*").c_str(), &found));
    std::vector<WideString> besideTheJob;
    if (listing) {
      do {
        if (found.cFileName[0] != L'.') besideTheJob.push_back(found.cFileName);
      } while (FindNextFileW(listing.get(), &found));
    }
    EXPECT_EQ(besideTheJob, std::vector<WideString>{L"old.brlk"});
  }

  // Strict makes the backup like the source: the folder gives way to the file.
  ASSERT_TRUE(WriteTestFile(job, SettingsFileBytes(JobText(L"1", source, backup))));
  ASSERT_TRUE(DeleteFileW((root / L"Brimlark_ErrorLog.txt").c_str()));
  EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate old.brlk", 60000, jobs), 1);  // the two names still differ in case
  EXPECT_EQ(ReadTestFile(backup + L"\\clash"), "a file");
  EXPECT_EQ(ReadLogMessages(root / L"Brimlark_ErrorLog.txt"),
            std::vector<WideString>{L"Names differ only in case: " + source + L"\\site\\" + twins[1]});
  EXPECT_EQ(ReadTestFile(source + L"\\notes.~brlk-part"), "the user's notes");
}

// Strict from a source that came back empty, or one that lacks most of the backup: unattended, the
// deletions are held back and the run says so by its exit code.
TEST_F(DataSafetyKilledCopy, UnattendedStrictHoldsBackMassDeletions) {
  struct Case {
    const char* what;
    int sourceFiles;  // of the 20 in the backup
    const wchar_t* limitLine;
    bool deleted;
  } cases[] = {
      {"empty source", 0, L"DeleteLimit=100\r\n", false},
      {"75 percent", 5, L"", false},
      {"75 percent, no limit", 5, L"DeleteLimit=100\r\n", true},
  };
  WideString logPath = root / L"Brimlark_ErrorLog.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < 20; ++i) {
      WideString name = L"\\f" + text::Decimal(i) + L".txt";
      ASSERT_TRUE(WriteTestFile(backup + name, FileContent("kept", 0, MakeFileTime(2024, 1, 1))));
      if (i < c.sourceFiles) {
        ASSERT_TRUE(WriteTestFile(source + name, FileContent("kept", 0, MakeFileTime(2024, 1, 1))));
      }
    }
    WideString job = root / L"strict.brlk";
    WideString text = JobText(L"17", source, backup);
    text.insert(text.find(L"[Folders]"), c.limitLine);
    ASSERT_TRUE(WriteTestFile(job, SettingsFileBytes(text)));
    ASSERT_TRUE(!Exists(logPath) || DeleteFileW(logPath.c_str()));
    EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), c.deleted ? 0 : 1);
    EXPECT_EQ(FilesIn(backup).size(), c.deleted ? size_t(c.sourceFiles) : 20u);
    std::vector<WideString> expected;
    if (!c.deleted) {
      expected.push_back(L"Deletions held back: " + text::Decimal(20 - c.sourceFiles) + L" of 20 files would be deleted in " +
                         backup);
    }
    EXPECT_EQ(ReadLogMessages(logPath), expected);
    for (const ListedFile& file : FilesIn(source)) ASSERT_TRUE(DeleteFileW((source + L"\\" + file.name).c_str()));
  }
  // The record beside the program: a line per job and one per run, what was held back among its figures.
  std::vector<WideString> history = IniFile(root / L"Brimlark_History.txt").lines();
  ASSERT_EQ(history.size(), 6u);
  EXPECT_NE(history[2].find(L"\theld=15\t"), WideString::npos) << text::ToUtf8(history[2]);
  EXPECT_TRUE(text::EndsWith(history[3], L"\texit=1"));
  EXPECT_NE(history[4].find(L"\tdeleted=15\t"), WideString::npos) << text::ToUtf8(history[4]);
  EXPECT_TRUE(text::EndsWith(history[5], L"\texit=0"));
}

// The name of the run folder of a run that started days ago.
WideString StampDaysAgo(int days) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME time;
  SystemTimeToFileTime(&now, &time);
  uint64_t value = (static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) -
                   static_cast<uint64_t>(days) * 86400 * 10'000'000;
  time = {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
  SYSTEMTIME then;
  FileTimeToSystemTime(&time, &then);
  return VersionStamp(then);
}

// What a run keeps of what it deletes and replaces, what it clears when it has been kept long enough, and
// an old copy that cannot be moved aside (held open by another program): it stays, and no new copy takes
// its place.
TEST_F(DataSafetyKilledCopy, VersionsKeepWhatRunsReplaceAndDeleteUntilTheyExpire) {
  WideString versions = backup + L"\\Brimlark versions";
  WideString recent = StampDaysAgo(29), expired = StampDaysAgo(31);
  ASSERT_TRUE(WriteTestFile(versions + L"\\" + recent + L"\\r.txt", "recent"));
  ASSERT_TRUE(WriteTestFile(versions + L"\\" + expired + L"\\e.txt", "expired"));
  ASSERT_TRUE(WriteTestFile(versions + L"\\notes\\n.txt", "the user's own"));
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("new a", 0, MakeFileTime(2024, 2, 1))));
  ASSERT_TRUE(WriteTestFile(backup + L"\\a.txt", FileContent("old a", 0, MakeFileTime(2024, 1, 1))));
  ASSERT_TRUE(WriteTestFile(backup + L"\\gone.txt", "gone"));
  ASSERT_TRUE(WriteTestFile(backup + L"\\old\\inside.txt", "inside"));
  WideString job = root / L"job.brlk";
  ASSERT_TRUE(WriteTestFile(job, SettingsFileBytes(JobText(L"1", source, backup))));  // Strict
  ASSERT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), 0);

  auto kept = TreeOf(versions);
  EXPECT_EQ(kept.count(expired), 0u);
  EXPECT_EQ(kept[recent + L"\\r.txt"], "recent");
  EXPECT_EQ(kept[L"notes\\n.txt"], "the user's own");
  WideString thisRun;
  for (const auto& [path, content] : kept) {
    if (path.find(L'\\') == WideString::npos && path != recent && path != L"notes") thisRun = path;
  }
  ASSERT_TRUE(ParseVersionStamp(thisRun)) << text::ToUtf8(thisRun);
  EXPECT_EQ(kept[thisRun + L"\\a.txt"], "old a");
  EXPECT_EQ(kept[thisRun + L"\\gone.txt"], "gone");
  EXPECT_EQ(kept[thisRun + L"\\old\\inside.txt"], "inside");
  EXPECT_EQ(TreeOf(backup, {L"Brimlark versions"}),
            (std::map<WideString, std::string>{{L"a.txt", "new a"}}));
  std::vector<WideString> history = IniFile(root / L"Brimlark_History.txt").lines();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_NE(history[0].find(L"\treplaced=1\tdeleted=2\tversions=3\t"), WideString::npos) << text::ToUtf8(history[0]);

  // Held open without sharing, the old copy cannot move: it stays as it was, and so does the versions folder.
  ASSERT_TRUE(WriteTestFile(source + L"\\a.txt", FileContent("newer a", 0, MakeFileTime(2024, 3, 1))));
  {
    UniqueHandle held(CreateFileW((backup + L"\\a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), 1);
  }
  EXPECT_EQ(ReadLogMessages(root / L"Brimlark_ErrorLog.txt"),
            std::vector<WideString>{L"Could not keep the old version: " + backup + L"\\a.txt"});
  EXPECT_EQ(TreeOf(backup, {L"Brimlark versions"}), (std::map<WideString, std::string>{{L"a.txt", "new a"}}));
  EXPECT_EQ(TreeOf(versions), kept);

  // With KeepVersions=0 a run deletes and replaces as it did before versions, and leaves those there alone.
  WideString text = JobText(L"1", source, backup);
  text.insert(text.find(L"[Folders]"), L"KeepVersions=0\r\n");
  ASSERT_TRUE(WriteTestFile(job, SettingsFileBytes(text)));
  ASSERT_TRUE(WriteTestFile(backup + L"\\extra.txt", "extra"));
  EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), 0);
  EXPECT_EQ(TreeOf(backup, {L"Brimlark versions"}), (std::map<WideString, std::string>{{L"a.txt", "newer a"}}));
  EXPECT_EQ(TreeOf(versions), kept);
}

// A preview lists what the run would do and changes nothing anywhere; the run that follows changes
// exactly what it listed. The second pair's source is empty: its deletions are held back, in both.
TEST_F(DataSafetyKilledCopy, APreviewListsExactlyWhatTheRunThenChanges) {
  const FILETIME old = MakeFileTime(2024, 1, 1), later = MakeFileTime(2024, 2, 1);
  ASSERT_TRUE(WriteTestFile(source + L"\\new.txt", FileContent("new", 0, old)));
  ASSERT_TRUE(WriteTestFile(source + L"\\changed.txt", FileContent("changed!", 0, later)));
  ASSERT_TRUE(WriteTestFile(source + L"\\same.txt", FileContent("same", 0, old)));
  ASSERT_TRUE(WriteTestFile(source + L"\\edited.txt", FileContent("stale", 0, old)));
  ASSERT_TRUE(WriteTestFile(source + L"\\fresh\\deep\\f.txt", FileContent("f", 0, old)));
  ASSERT_TRUE(WriteTestFile(backup + L"\\changed.txt", FileContent("before", 0, old)));
  ASSERT_TRUE(WriteTestFile(backup + L"\\same.txt", FileContent("same", 0, old)));
  ASSERT_TRUE(WriteTestFile(backup + L"\\edited.txt", FileContent("edited in the backup", 0, later)));
  ASSERT_TRUE(WriteTestFile(backup + L"\\extra.txt", "extra"));
  ASSERT_TRUE(WriteTestFile(backup + L"\\extra folder\\x.txt", "xx"));
  WideString emptySource = root / L"empty", second = root / L"second";
  ASSERT_TRUE(MakeTestFolder(emptySource));
  for (const wchar_t* name : {L"\\1.txt", L"\\2.txt"}) ASSERT_TRUE(WriteTestFile(second + name, "kept"));
  WideString job = root / L"job.brlk";
  WideString text = JobText(L"17", source, backup);  // Strict with the update method
  text += L"1=" + emptySource + L"<|>" + second + L"\r\n";
  ASSERT_TRUE(WriteTestFile(job, SettingsFileBytes(text)));
  auto everything = [&] { return TreeOf(root.path(), {L"report.txt", L"Brimlark.exe"}); };
  auto before = everything();

  WideString report = root / L"report.txt";
  ASSERT_EQ(RunProgram(exe, L"/NoUpdate \"" + job + L"\" \"/Preview:" + report + L"\""), 0);
  EXPECT_EQ(everything(), before) << "the preview changed something";
  std::string bytes = ReadTestFile(report);
  ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  {  // The same report on a redirected standard output.
    TempFolder elsewhere;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueHandle output(CreateFileW((elsewhere / L"out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, 0, nullptr));
    RunningProgram preview;
    ASSERT_TRUE(preview.Start(exe, L"/NoUpdate /Preview \"" + job + L"\"", {}, output.get()));
    ASSERT_TRUE(preview.WaitForEnd(60000));
    EXPECT_EQ(preview.ExitCode(), 0u);
    output.reset();
    EXPECT_EQ(ReadTestFile(elsewhere / L"out.txt"), bytes);
  }
  std::map<WideString, std::string> listed;  // by path below root: the action and the bytes
  std::vector<WideString> totals;
  for (const WideString& line : text::Split(text::FromUtf8(bytes.substr(3)), L"\r\n")) {
    std::vector<WideString> fields = text::Split(line, L"\t");
    if (fields[0] == L"pair" || fields[0] == L"run") {
      totals.push_back(line);
    } else if (fields.size() == 3 && text::StartsWith(fields[1], root.path())) {
      listed[fields[1].substr(root.path().size() + 1)] = text::ToUtf8(fields[0] + L" " + fields[2]);
    } else if (!line.empty()) {
      ADD_FAILURE() << text::ToUtf8(line);
    }
  }
  EXPECT_EQ(listed, (std::map<WideString, std::string>{
                        {L"backup\\new.txt", "new 3"},
                        {L"backup\\changed.txt", "update 8"},
                        {L"backup\\edited.txt", "newer 20"},
                        {L"backup\\fresh", "folder 0"},
                        {L"backup\\fresh\\deep", "folder 0"},
                        {L"backup\\fresh\\deep\\f.txt", "new 1"},
                        {L"backup\\extra.txt", "delete 5"},
                        {L"backup\\extra folder", "delete 2"},
                        {L"second\\1.txt", "held 4"},
                        {L"second\\2.txt", "held 4"},
                    }));
  EXPECT_EQ(totals, (std::vector<WideString>{
                        L"pair\t" + source + L"\t" + backup + L"\tnew=2\tupdate=1\tdelete=2\tfolder=2\theld=0\tnewer=1\tbytes=12",
                        L"pair\t" + emptySource + L"\t" + second + L"\tnew=0\tupdate=0\tdelete=0\tfolder=0\theld=2\tnewer=0\tbytes=0",
                        L"run\tpairs=2\tnot set up=0\tnew=2\tupdate=1\tdelete=2\tfolder=2\theld=2\tnewer=1\tbytes=12",
                    }));

  // The run: what changed is what was listed, the versions folder (the program's own) aside.
  EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), 1);  // the deletions held back
  auto after = TreeOf(root.path(), {L"report.txt", L"Brimlark.exe", L"backup\\Brimlark versions",
                                    L"Brimlark.ini", L"Brimlark_ErrorLog.txt", L"Brimlark_History.txt"});
  std::map<WideString, std::string> changed;
  for (const auto& [path, content] : after) {
    auto was = before.find(path);
    if (was == before.end()) changed[path] = content == "<folder>" ? "folder" : "new";
    else if (was->second != content) changed[path] = "update";
  }
  for (const auto& [path, content] : before) {
    bool inDeletedFolder = path.rfind(L'\\') != WideString::npos && !after.count(path.substr(0, path.rfind(L'\\')));
    if (!after.count(path) && !inDeletedFolder) changed[path] = "delete";
  }
  std::map<WideString, std::string> expected;
  for (const auto& [path, what] : listed) {
    std::string action = what.substr(0, what.find(' '));
    if (action != "held" && action != "newer") expected[path] = action;
  }
  EXPECT_EQ(changed, expected);
}

// A control character in a folder path: the system calls would see only the text before it.
class DataSafetyControlCharacter : public ::testing::TestWithParam<wchar_t> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\Brimlark.exe").c_str(), exe.c_str(), FALSE))
        << "Brimlark.exe must be built beside the tests";
  }

  TempFolder root;
  WideString exe = root / L"Brimlark.exe";
};

TEST_P(DataSafetyControlCharacter, StrictRunRefusesThePairAndDeletesNothing) {
  ASSERT_TRUE(WriteTestFile(root / L"source\\a.txt", "alpha"));
  // Another job's backup, in the folder that the text before the control character names.
  WideString precious = root / L"backups\\another-job\\precious.txt";
  ASSERT_TRUE(WriteTestFile(precious, "precious"));

  WideString destination = root / L"backups\\";
  destination.push_back(GetParam());
  destination += L"other";
  WideString shown = root / L"backups\\?other";
  WideString job = root / L"job.brlk";
  std::string jobBytes = SettingsFileBytes(JobText(L"1", root / L"source", destination));
  ASSERT_TRUE(WriteTestFile(job, jobBytes));

  EXPECT_EQ(RunProgram(exe, L"/Quiet /NoUpdate \"" + job + L"\""), 1);
  EXPECT_EQ(ReadTestFile(precious), "precious") << "another job's backup was deleted";
  EXPECT_FALSE(Exists(root / L"backups\\a.txt")) << "the pair was run into the folder before the control character";
  std::vector<WideString> messages = ReadLogMessages(root / L"Brimlark_ErrorLog.txt");
  WideString expected = L"Not a valid path: " + shown;
  std::string logged;
  for (const WideString& message : messages) logged += "\n  " + text::ToUtf8(message);
  EXPECT_TRUE(std::find(messages.begin(), messages.end(), expected) != messages.end())
      << "no log entry \"" << text::ToUtf8(expected) << "\"; the log holds:" << logged;
  EXPECT_EQ(ReadTestFile(job), jobBytes);
}

INSTANTIATE_TEST_SUITE_P(Paths, DataSafetyControlCharacter, ::testing::Values(L'\u0000', L'\u0001'),
                         [](const ::testing::TestParamInfo<wchar_t>& info) {
                           std::string name = "U000";
                           name.push_back(static_cast<char>('0' + info.param));
                           return name;
                         });

}  // namespace
