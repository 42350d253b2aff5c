#include "jobs/FtpLocation.h"
#include "jobs/SecretText.h"

#include <gtest/gtest.h>

namespace {

FtpLocation SampleLocation() {
  return FtpLocation{L"backupsrv", L"/backups/my_backup", L"alice", L"s3cr\u00e9t", L"21", L"3"};
}

TEST(SecretText, MatchesStandardAes256CbcWithPkcs7) {
  // Computed outside the program with
  //   openssl enc -aes-256-cbc -K <hex of the 32 key characters> -iv <hex of "5e07b3c19a4f8d26">
  EXPECT_EQ(secret_text::Encipher(L"Hello"), WideString(L"41F46B8B1309F7106E4B8380509E9650"));
  EXPECT_EQ(secret_text::Encipher(SampleLocation().PlainForm()),
            WideString(L"C97F6CEA170776E84780FAC3AD0660AB0549C3775A9342D62A8F706D98057FBB"
                       L"E0E745572F36D00534391436FC754394"));
}

TEST(SecretText, RoundTripsAndIsDeterministic) {
  for (const wchar_t* plain : {L"x", L"exactly 16 bytes", L"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600", L""}) {
    auto first = secret_text::Encipher(plain);
    ASSERT_TRUE(first);
    EXPECT_EQ(secret_text::Encipher(plain), first);  // the same text gives the same cipher text
    if (first->size() >= 16) {
      EXPECT_EQ(secret_text::Decipher(*first), WideString(plain));
    }
  }
}

TEST(SecretText, AcceptsLowerCaseAndHexPrefix) {
  auto cipher = secret_text::Encipher(L"schedule name");
  ASSERT_TRUE(cipher);
  WideString lower = text::ToLower(*cipher);
  EXPECT_EQ(secret_text::Decipher(lower), WideString(L"schedule name"));
  EXPECT_EQ(secret_text::Decipher(L"0x" + *cipher), WideString(L"schedule name"));
  EXPECT_EQ(secret_text::Decipher(L"0X" + lower), WideString(L"schedule name"));
  // An odd final digit is ignored.
  EXPECT_EQ(secret_text::Decipher(*cipher + L"7"), WideString(L"schedule name"));
}

TEST(SecretText, RejectsShortOddAndDamagedInput) {
  auto cipher = secret_text::Encipher(L"schedule name");
  ASSERT_TRUE(cipher);
  EXPECT_FALSE(secret_text::Decipher(L""));
  EXPECT_FALSE(secret_text::Decipher(L"41F46B8B1309F71"));  // 15 characters
  EXPECT_FALSE(secret_text::Decipher(cipher->substr(0, cipher->size() - 1)));  // odd: one byte short
  EXPECT_FALSE(secret_text::Decipher(cipher->substr(0, 30)));  // not a whole block
  EXPECT_FALSE(secret_text::Decipher(L"0x" + WideString(14, L'A')));
  EXPECT_FALSE(secret_text::Decipher(L"this is not hexadecimal at all!!"));
  WideString damaged = *cipher;
  damaged[damaged.size() - 3] = damaged[damaged.size() - 3] == L'0' ? L'1' : L'0';  // breaks the padding
  EXPECT_FALSE(secret_text::Decipher(damaged));
}

TEST(FtpLocation, StoredFormRoundTripsAndIsStable) {
  auto stored = MakeStoredForm(SampleLocation());
  ASSERT_TRUE(stored);
  EXPECT_TRUE(text::StartsWith(*stored, L"FTP:"));
  EXPECT_EQ(MakeStoredForm(SampleLocation()), stored);
  auto location = ReadLocation(*stored);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->server, L"backupsrv");
  EXPECT_EQ(location->password, L"s3cr\u00e9t");
  EXPECT_EQ(location->PlainForm(), SampleLocation().PlainForm());
  // The prefix is case-sensitive, and lower-case hex still decrypts.
  EXPECT_FALSE(ReadLocation(L"ftp:" + stored->substr(4)));
  EXPECT_TRUE(ReadLocation(L"FTP:" + text::ToLower(stored->substr(4))));
}

TEST(FtpLocation, DisplayForms) {
  auto stored = MakeStoredForm(SampleLocation());
  ASSERT_TRUE(stored);
  EXPECT_EQ(DisplayForm(*stored, true), WideString(L"ftp://backupsrv/backups/my_backup"));
  FtpLocation emptyDirectory{L"backupsrv", L"", L"u", L"p", L"21", L"0"};
  EXPECT_EQ(DisplayForm(emptyDirectory.PlainForm(), false), WideString(L"ftp://backupsrv/"));
  FtpLocation rootSlash{L"host", L"/deep//x", L"u", L"p", L"21", L"0"};
  EXPECT_EQ(DisplayForm(rootSlash.PlainForm(), false), WideString(L"ftp://host/deep/x"));
  EXPECT_FALSE(DisplayForm(L"a\nb\nc\nd\ne", false));  // five fields
  EXPECT_FALSE(DisplayForm(L"FTP:00112233445566778899", true));
}

TEST(FtpLocation, FlagsAndKinds) {
  FtpLocation location = SampleLocation();
  EXPECT_TRUE(location.UsesSsl());
  EXPECT_TRUE(location.UsesPassive());
  EXPECT_EQ(location.ConnectionFlags(), kFlagSecure | kFlagPassive);
  location.flags = L"0";
  EXPECT_EQ(location.ConnectionFlags(), kFlagNoCacheWriteBinary);
  location.flags = L"passive please";
  EXPECT_EQ(location.FlagValue(), 0u);
  location.flags = L"2";
  EXPECT_EQ(location.ConnectionFlags(), kFlagNoCacheWriteBinary | kFlagPassive);
  EXPECT_EQ(location.PortNumber(), 21);

  EXPECT_EQ(KindOfLocation(L"FTP://host/x"), LocationKind::kFtp);
  EXPECT_EQ(KindOfLocation(L"ftp://host/x"), LocationKind::kFtp);
  EXPECT_EQ(KindOfLocation(L"C:\\ftp://"), LocationKind::kLocal);
  EXPECT_EQ(SeparatorOf(LocationKind::kFtp), L'/');
  EXPECT_EQ(SeparatorOf(LocationKind::kLocal), L'\\');
}

}  // namespace
