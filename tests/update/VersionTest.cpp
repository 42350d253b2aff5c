// The pieces of the update check that need no server: version comparison, the update site setting, the
// digest line, SHA-256, the executable's header, and the download's sizes and headers.

#include "base/ProgramVersion.h"
#include "update/Download.h"
#include "update/UpdateCheck.h"
#include "update/Verification.h"
#include "update/Version.h"

#include "HttpsTestServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

TEST(CompareVersions, FollowsTheNumbersOfTheFirstFourParts) {
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
  } cases[] = {
      {L"2.8.0.1", L"2.8.0.0", 1},   {L"2.8.0.0", L"2.8.0.1", -1},           {L"2.8", L"2.8.0.0", 0},
      {L"2.10.0.0", L"2.8.0.0", 1},  {L"2.9.0.0\r\nmore lines", L"2.8.0.0", 1}, {L"2,9", L"2.8.0.0", 1},
      {L"2.8.0.0.9", L"2.8", 0},     {L"2.8.1beta", L"2.8.1", 0},            {L"v2.9", L"0.9", 0},
      {L"", L"2.8.0.0", -1},         {L"\r\ninvalid", L"2.8.0.0", -1},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(CompareVersions(test.a, test.b), test.expected) << text::ToUtf8(test.a) << " / " << text::ToUtf8(test.b);
  }
  EXPECT_EQ(kProgramVersion, L"2.8.0.0");
}

TEST(UpdateSite, IsTheSettingOrTheDefaultAndOnlyEverHttps) {
  const struct {
    const wchar_t* value;  // null: not set
    std::optional<WideString> expected;
  } cases[] = {
      {nullptr, WideString(kDefaultUpdateSite)},
      {L"  ", WideString(kDefaultUpdateSite)},
      {L" https://mirror.example.org:8443/sub/ ", WideString(L"https://mirror.example.org:8443/sub")},
      {L"HTTPS://Mirror.example.org", WideString(L"HTTPS://Mirror.example.org")},
      {L"http://mirror.example.org", std::nullopt},
      {L"mirror.example.org", std::nullopt},
      {L"https://", std::nullopt},
  };
  for (const auto& test : cases) {
    IniFile ini;
    if (test.value) ini.SetString(L"Settings", L"UpdateSite", test.value);
    EXPECT_EQ(UpdateSite(ini), test.expected) << (test.value ? text::ToUtf8(test.value) : "(not set)");
  }
}

TEST(AnnouncedSha256, ReadsOneWellFormedDigestLine) {
  const std::string hex = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::optional<Sha256Digest> abc = BytesSha256("abc");  // the standard's own example
  ASSERT_TRUE(abc);
  EXPECT_EQ(DigestHex(*abc), hex);
  std::string upper = hex;
  for (char& c : upper) c = static_cast<char>(toupper(c));
  EXPECT_EQ(AnnouncedSha256("2.9.0.0\r\nsha256=" + hex + "\r\n"), abc);
  EXPECT_EQ(AnnouncedSha256("2.9\nnotes\n  SHA256=" + upper), abc);
  for (const std::string& answer : {std::string("2.9.0.0\r\n"), "2.9\r\nsha256=" + hex.substr(1),
                                    "2.9\r\nsha256=" + hex + "0", "2.9\r\nsha256=" + hex.substr(1) + "g",
                                    "2.9\r\nsha256 = " + hex, "2.9\r\nsha256=x\r\nsha256=" + hex}) {
    EXPECT_FALSE(AnnouncedSha256(answer)) << answer;
  }
}

TEST(HasExecutableHeader, TellsProgramsFromEverythingElse) {
  TempFolder folder;
  std::string program = BuiltFile(L"hold_file.exe");
  uint32_t peOffset = 0;
  ASSERT_GT(program.size(), 0x40u);
  memcpy(&peOffset, program.data() + 0x3C, sizeof peOffset);
  ASSERT_LT(peOffset + 24u, program.size());
  auto accepted = [&](std::string bytes) {
    return WriteTestFile(folder / L"file.exe", bytes) && HasExecutableHeader(folder / L"file.exe");
  };
  EXPECT_TRUE(accepted(program));
  EXPECT_FALSE(accepted("<html><body>Not found</body></html>"));
  EXPECT_FALSE(accepted(program.substr(0, peOffset + 10)));
  std::string changed = program;
  changed[peOffset + 2] = 'X';
  EXPECT_FALSE(accepted(changed)) << "no PE signature";
  changed = program;
  uint32_t outside = static_cast<uint32_t>(program.size());
  memcpy(changed.data() + 0x3C, &outside, sizeof outside);
  EXPECT_FALSE(accepted(changed)) << "a PE offset past the end";
  changed = program;
  changed[peOffset + 4 + 19] |= static_cast<char>(IMAGE_FILE_DLL >> 8);
  EXPECT_FALSE(accepted(changed)) << "a DLL";
}

TEST(DownloadSizes, ChunksAndMemoryBuffersFollowTheSize) {
  const std::pair<std::optional<uint64_t>, uint32_t> chunks[] = {
      {std::nullopt, 100000}, {99999, 20000},   {100005, 20001},   {499999, 99999},
      {500000, 100000},       {9999999, 100000}, {10000000, 200000}};
  for (const auto& [size, chunk] : chunks) EXPECT_EQ(DownloadChunkSize(size), chunk) << size.value_or(0);
  EXPECT_EQ(MemoryBufferSize(0, std::nullopt), 1048576u);
  EXPECT_EQ(MemoryBufferSize(0, 10), 65535u);
  EXPECT_EQ(MemoryBufferSize(0, 65536), 65536u);
  EXPECT_EQ(MemoryBufferSize(0, 41943040), 41943040u);
  EXPECT_EQ(MemoryBufferSize(0, 41943041), 41943040u);
  EXPECT_EQ(MemoryBufferSize(200000, 10), 200000u) << "the expected size wins";
  EXPECT_EQ(MemoryBufferSize(1ull << 40, std::nullopt), 41943040u);
}

TEST(DownloadHeaders, AddTheRefererAndEndEveryLineOnce) {
  EXPECT_EQ(DownloadHeaders(L"", L""), L"");
  EXPECT_EQ(DownloadHeaders(L"", L"https://a.example"), L"Referer: https://a.example\r\n");
  EXPECT_EQ(DownloadHeaders(L"Referer: https://b.example\r\n", L"https://a.example"), L"Referer: https://b.example\r\n");
  EXPECT_EQ(DownloadHeaders(L"X-One: 1\r\n\r\n\r\nX-Two: 2", L""), L"X-One: 1\r\nX-Two: 2\r\n");
  EXPECT_EQ(DownloadHeaders(L"X: 1234\r\n", L""), L"") << "shorter than 10 characters";
  EXPECT_EQ(DownloadHeaders(L"X: 12345", L""), L"X: 12345\r\n");
}

}  // namespace
