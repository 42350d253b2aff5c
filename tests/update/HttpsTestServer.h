#pragma once
// The update site the test run starts (scripts/https-test-server.sh, on 127.0.0.1 with a certificate of
// its own for "localhost"), and the folders of it that tests publish files in.

#include "base/AppPaths.h"
#include "base/WideString.h"
#include "update/UpdateCheck.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HttpsTestServer {
  uint16_t port = 0;
  WideString www;          // the folder it serves from, through Wine's drive Z:
  WideString certificate;  // its certificate (PEM)
  uint16_t ftpPort = 0;    // an anonymous, read-only FTP server on the same folder

  // What BRIMLARK_HTTPS_STATE names; port 0 when there is none.
  static HttpsTestServer Read();
  // https://localhost:<port><path>
  [[nodiscard]] WideString Url(WideView path) const;
};

// One request the server was asked, as it noted it.
struct SiteRequest {
  std::string path;  // below the folder: "brimlark_backup/checkversion.php"
  std::string referer;
  std::string userAgent;
};

// A folder of the site of its own for one test, removed with what it holds when the object goes.
class SiteFolder {
 public:
  explicit SiteFolder(const HttpsTestServer& server);
  ~SiteFolder();
  SiteFolder(const SiteFolder&) = delete;
  SiteFolder& operator=(const SiteFolder&) = delete;

  // The address of the folder as served with a behaviour of the server ("plain", "slow", ...).
  [[nodiscard]] WideString Site(WideView behaviour) const;
  [[nodiscard]] const WideString& name() const { return name_; }
  // Writes a file the server then serves; relative uses "/" or "\".
  bool Publish(WideView relative, std::string_view bytes) const;
  [[nodiscard]] std::vector<SiteRequest> Requests() const;
  [[nodiscard]] bool WasAskedFor(std::string_view path) const;

 private:
  const HttpsTestServer& server_;
  WideString name_;
  WideString folder_;
};

inline constexpr std::string_view kVersionPagePath = "brimlark_backup/checkversion.php";
inline constexpr std::string_view kExecutablePath = "brimlark_backup/Brimlark.exe";

// The bytes of a file beside the test executable (Brimlark.exe, hold_file.exe).
[[nodiscard]] std::string BuiltFile(WideView name);
// The version page's text: the version line, and the digest line of executable unless it is empty.
[[nodiscard]] std::string VersionAnswer(std::string_view version, std::string_view executable);

// A copy of the real Brimlark.exe as the program on disk, in a folder of its own, and a folder of the site.
class UpdateFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  // The version answer, and the executable the site serves (none when empty).
  void Publish(std::string_view answer, std::string_view executable);
  UpdateOutcome Check(WideView siteAddress, UiMode mode = UiMode::kQuiet, UiWindow* owner = nullptr);
  [[nodiscard]] WideString partialPath() const;
  void ExpectInstalled();
  void ExpectOldExecutableKept();

  HttpsTestServer server = HttpsTestServer::Read();
  SiteFolder site{server};
  testing_support::TempFolder folder;
  AppPaths paths;
  const std::string original = BuiltFile(L"Brimlark.exe");
  const std::string replacement = BuiltFile(L"hold_file.exe");  // another real program
};
