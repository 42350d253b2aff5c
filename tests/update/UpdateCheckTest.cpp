// The update check against the test run's HTTPS server, with a copy of the real Brimlark.exe as the
// program on disk: a newer version whose digest matches is installed; every other answer, and every way
// the download can go wrong, leaves the old executable where it was, byte for byte.

#include "update/UpdateCheck.h"

#include "HttpsTestServer.h"

#include <tlhelp32.h>

using namespace testing_support;

namespace {

// Waits for every process running the program at path to end.
bool WaitForProgramsOf(const WideString& path, DWORD timeoutMs) {
  return WaitUntil([&] {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
      UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
      wchar_t image[MAX_PATH] = {};
      DWORD length = MAX_PATH;
      if (process && QueryFullProcessImageNameW(process.get(), 0, image, &length) && text::EqualsNoCase(image, path)) {
        return false;
      }
    }
    return true;
  }, timeoutMs);
}

using UpdateCheckTest = UpdateFixture;

TEST_F(UpdateCheckTest, ANewerVersionWithItsDigestIsInstalled) {
  // Leftovers of earlier updates are replaced.
  ASSERT_TRUE(WriteTestFile(paths.updateTempPath, "an older version"));
  ASSERT_TRUE(WriteTestFile(partialPath(), "half of a download killed before"));
  Publish(VersionAnswer("2.8.0.1", replacement), replacement);
  EXPECT_EQ(Check(site.Site(L"plain")), UpdateOutcome::kNewVersionInstalled);
  ExpectInstalled();

  std::vector<SiteRequest> requests = site.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, kVersionPagePath);
  EXPECT_EQ(requests[1].path, kExecutablePath);
  EXPECT_EQ(requests[1].referer, text::ToUtf8(server.Url(L""))) << "the site's home, scheme and host only";
  EXPECT_EQ(requests[0].userAgent.rfind("Mozilla/5.0 (Windows NT 10.0; Win64; x64)", 0), 0u);
}

TEST_F(UpdateCheckTest, NewerVersionsInEveryFormAreInstalled) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {"2.10.0.0", L"plain"}, {"2.9.0.0\r\nmore lines", L"plain"}, {"3", L"nolength"}};
  for (const auto& [version, behaviour] : cases) {
    ASSERT_TRUE(WriteTestFile(paths.modulePath, original));
    DeleteFileW(paths.updateTempPath.c_str());
    Publish(VersionAnswer(version, replacement), replacement);
    EXPECT_EQ(Check(site.Site(behaviour)), UpdateOutcome::kNewVersionInstalled) << version;
    ExpectInstalled();
  }
}

TEST_F(UpdateCheckTest, EveryOtherAnswerKeepsTheOldExecutable) {
  const std::string page = "<html><body>Download Brimlark Backup</body></html>\n";
  const struct {
    const char* what;
    const wchar_t* behaviour;
    std::string answer;
    std::string served;
    bool executableAsked;
  } cases[] = {
      {"same version", L"plain", VersionAnswer("2.8.0.0", replacement), replacement, false},
      {"same version, short", L"plain", VersionAnswer("2.8", replacement), replacement, false},
      {"older version", L"plain", VersionAnswer("2.7.99.99", replacement), replacement, false},
      {"refusal alone", L"plain", "\r\ninvalid", replacement, false},
      {"refusal after a version", L"plain", "2.9.0.0\r\nINVALID\r\n" + VersionAnswer("", replacement), replacement, false},
      {"no digest line", L"plain", "2.9.0.0\r\n", replacement, false},
      {"a short digest", L"plain", "2.9.0.0\r\nsha256=" + std::string(63, 'a'), replacement, false},
      {"version page 500", L"checkfails", VersionAnswer("2.9.0.0", replacement), replacement, false},
      {"wrong digest", L"plain", VersionAnswer("2.9.0.0", original), replacement, true},
      {"no program, digest matching", L"plain", VersionAnswer("2.9.0.0", page), page, true},
      {"cut before its length", L"truncated", VersionAnswer("2.9.0.0", replacement), replacement, true},
      {"executable 404", L"status404", VersionAnswer("2.9.0.0", replacement), replacement, true},
      {"executable 500", L"status500", VersionAnswer("2.9.0.0", replacement), replacement, true},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    SiteFolder fresh(server);
    ASSERT_TRUE(fresh.Publish(L"brimlark_backup/checkversion.php", test.answer));
    ASSERT_TRUE(fresh.Publish(L"brimlark_backup/Brimlark.exe", test.served));
    EXPECT_EQ(Check(fresh.Site(test.behaviour)), UpdateOutcome::kNothingInstalled);
    EXPECT_EQ(fresh.WasAskedFor(kExecutablePath), test.executableAsked);
    ExpectOldExecutableKept();
  }
  // No version page at all, nobody listening, and a site that is not HTTPS.
  SiteFolder empty(server);
  EXPECT_EQ(Check(empty.Site(L"plain")), UpdateOutcome::kNothingInstalled);
  EXPECT_EQ(Check(L"https://localhost:1"), UpdateOutcome::kNothingInstalled);
  Publish(VersionAnswer("2.9.0.0", replacement), replacement);
  WideString plainHttp = site.Site(L"plain");
  plainHttp.replace(0, 5, L"http");
  EXPECT_EQ(Check(plainHttp), UpdateOutcome::kNothingInstalled);
  EXPECT_TRUE(site.Requests().empty());
  ExpectOldExecutableKept();
}

// The real program, started with an update site in its INI file: it replaces itself, starts the new
// executable with /PostUpdate and ends; the new one removes the old and checks for no update itself.
TEST_F(UpdateCheckTest, TheProgramReplacesItselfAndRestartsWithPostUpdate) {
  std::string newVersion = original + std::string(512, '\0');  // the same program, with a longer tail
  Publish(VersionAnswer("2.9.0.0", newVersion), newVersion);
  ASSERT_TRUE(WriteTestFile(paths.appIniPath, text::ToUtf8(text::Concat(L"[Settings]\r\nUpdateSite=",
                                                                         site.Site(L"plain"), L"\r\n"))));
  EXPECT_EQ(RunProgram(paths.modulePath, L"/Quiet " + folder / L"missing.brlk"), 0) << "restarted, so ended with 0";
  EXPECT_TRUE(WaitUntil([&] { return !Exists(paths.updateTempPath); }, 30000)) << "the new instance removed the old";
  EXPECT_TRUE(WaitForProgramsOf(paths.modulePath, 30000));
  EXPECT_TRUE(ReadTestFile(paths.modulePath) == newVersion);
  EXPECT_FALSE(Exists(partialPath()));
  size_t versionPageRequests = 0;
  for (const SiteRequest& request : site.Requests()) versionPageRequests += request.path == kVersionPagePath;
  EXPECT_EQ(versionPageRequests, 1u) << "after /PostUpdate the new instance does not check again";
}

TEST_F(UpdateCheckTest, AFailedMoveAsideKeepsTheOldExecutable) {
  // The update path is taken by a folder with a file in it: the running executable cannot move there.
  ASSERT_TRUE(WriteTestFile(paths.updateTempPath + L"\\inside.txt", "in the way"));
  Publish(VersionAnswer("2.9.0.0", replacement), replacement);
  EXPECT_EQ(Check(site.Site(L"plain")), UpdateOutcome::kNothingInstalled);
  EXPECT_TRUE(site.WasAskedFor(kExecutablePath));
  EXPECT_TRUE(ReadTestFile(paths.modulePath) == original);
  EXPECT_FALSE(Exists(partialPath()));
}

}  // namespace
