#include "HttpsTestServer.h"

#include "engine/ForceDelete.h"
#include "engine/PartialCopy.h"
#include "update/Verification.h"

#include "TestSupport.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

WideString WindowsPathOf(std::string_view linuxPath) {
  return L"Z:" + text::ReplaceAll(text::FromUtf8(linuxPath), L"/", L"\\");
}

// WinINet checks the site's certificate as it would any other's, so the test server's certificate is made
// a trusted root of the test prefix's machine store for the time the tests run, and taken out again
// afterwards. The program itself trusts nothing of its own.
class TrustedTestCertificate : public ::testing::Environment {
 public:
  void SetUp() override {
    HttpsTestServer server = HttpsTestServer::Read();
    std::string pem = ReadTestFile(server.certificate);
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                             nullptr, &size, nullptr, nullptr)) {
      return;
    }
    der_.resize(size);
    if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der_.data(), &size,
                              nullptr, nullptr)) {
      der_.clear();
      return;
    }
    HCERTSTORE store = OpenRoot();
    if (!store) return;
    added_ = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der_.data(), size,
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    CertCloseStore(store, 0);
  }

  void TearDown() override {
    if (!added_) return;
    HCERTSTORE store = OpenRoot();
    if (!store) return;
    PCCERT_CONTEXT ours = CertCreateCertificateContext(X509_ASN_ENCODING, der_.data(), static_cast<DWORD>(der_.size()));
    if (ours) {
      if (PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ours, nullptr)) {
        CertDeleteCertificateFromStore(found);
      }
      CertFreeCertificateContext(ours);
    }
    CertCloseStore(store, 0);
  }

 private:
  static HCERTSTORE OpenRoot() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  }

  std::vector<BYTE> der_;
  bool added_ = false;
};

const auto* const kTrust = ::testing::AddGlobalTestEnvironment(new TrustedTestCertificate);

}  // namespace

HttpsTestServer HttpsTestServer::Read() {
  HttpsTestServer server;
  wchar_t state[1024];
  DWORD length = GetEnvironmentVariableW(L"BRIMLARK_HTTPS_STATE", state, 1024);
  if (length == 0 || length >= 1024) return server;
  std::string content = ReadTestFile(L"Z:" + text::ReplaceAll(WideView(state, length), L"/", L"\\"));
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(content.substr(start, end - start));
  }
  if (lines.size() < 3) return server;
  server.port = static_cast<uint16_t>(std::atoi(lines[0].c_str()));
  server.www = WindowsPathOf(lines[1]);
  server.certificate = WindowsPathOf(lines[2]);
  if (lines.size() > 3) server.ftpPort = static_cast<uint16_t>(std::atoi(lines[3].c_str()));
  return server;
}

WideString HttpsTestServer::Url(WideView path) const {
  return text::Concat(L"https://localhost:", text::Decimal(port), path);
}

SiteFolder::SiteFolder(const HttpsTestServer& server) : server_(server) {
  static LONG counter = 0;
  name_ = text::Concat(L"t", text::Hex(GetCurrentProcessId()), L"-", text::Hex(static_cast<uint64_t>(InterlockedIncrement(&counter))),
                       L"-", text::Hex(GetTickCount64()));
  folder_ = text::Concat(server.www, L"\\", name_);
  EXPECT_TRUE(MakeTestFolder(folder_));
}

SiteFolder::~SiteFolder() { (void)ForceDelete(folder_, 0); }

WideString SiteFolder::Site(WideView behaviour) const { return server_.Url(text::Concat(L"/", behaviour, L"/", name_)); }

bool SiteFolder::Publish(WideView relative, std::string_view bytes) const {
  return WriteTestFile(text::Concat(folder_, L"\\", text::ReplaceAll(relative, L"/", L"\\")), bytes);
}

std::vector<SiteRequest> SiteFolder::Requests() const {
  std::string log = ReadTestFile(folder_ + L"\\requests.log");
  std::vector<SiteRequest> requests;
  for (size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = log.substr(start, end - start);
    size_t first = line.find('\t');
    size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    requests.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
  }
  return requests;
}

bool SiteFolder::WasAskedFor(std::string_view path) const {
  for (const SiteRequest& request : Requests()) {
    if (request.path == path) return true;
  }
  return false;
}

std::string BuiltFile(WideView name) { return ReadTestFile(text::Concat(ExecutableFolder(), L"\\", name)); }

std::string VersionAnswer(std::string_view version, std::string_view executable) {
  std::string answer(version);
  answer += "\r\n";
  if (!executable.empty()) {
    std::optional<Sha256Digest> digest = BytesSha256(executable);
    answer += "sha256=" + (digest ? DigestHex(*digest) : std::string("?")) + "\r\n";
  }
  return answer;
}

void UpdateFixture::SetUp() {
  ASSERT_NE(server.port, 0) << "BRIMLARK_HTTPS_STATE names no running HTTPS test server";
  ASSERT_GT(replacement.size(), 10000u);
  ASSERT_NE(original, replacement);
  paths.modulePath = folder / L"Brimlark.exe";
  paths.updateTempPath = folder / L"Brimlark.temp.exe";
  paths.appIniPath = folder / L"Brimlark.ini";
  ASSERT_TRUE(WriteTestFile(paths.modulePath, original));
}

void UpdateFixture::Publish(std::string_view answer, std::string_view executable) {
  ASSERT_TRUE(site.Publish(L"brimlark_backup/checkversion.php", answer));
  if (!executable.empty()) {
    ASSERT_TRUE(site.Publish(L"brimlark_backup/Brimlark.exe", executable));
  }
}

UpdateOutcome UpdateFixture::Check(WideView siteAddress, UiMode mode, UiWindow* owner) {
  IniFile appIni;
  appIni.SetString(L"Settings", L"UpdateSite", siteAddress);
  return RunUpdateCheck(paths, appIni, mode, owner);
}

WideString UpdateFixture::partialPath() const { return text::Concat(paths.modulePath, kPartialCopySuffix); }

void UpdateFixture::ExpectInstalled() {
  EXPECT_TRUE(ReadTestFile(paths.modulePath) == replacement) << "the new executable is in place";
  EXPECT_TRUE(ReadTestFile(paths.updateTempPath) == original) << "the old one waits at the update path";
  EXPECT_FALSE(Exists(partialPath()));
}

void UpdateFixture::ExpectOldExecutableKept() {
  EXPECT_TRUE(ReadTestFile(paths.modulePath) == original) << "the old executable is in place, byte for byte";
  EXPECT_FALSE(Exists(paths.updateTempPath));
  EXPECT_FALSE(Exists(partialPath())) << "the download is gone";
}
