#include "ftp/FtpReply.h"

#include <gtest/gtest.h>

namespace {

FtpReply Assemble(std::initializer_list<std::string_view> lines, size_t* consumed = nullptr) {
  FtpReplyAssembler assembler;
  size_t count = 0;
  for (std::string_view line : lines) {
    ++count;
    if (assembler.AddLine(line)) break;
  }
  if (consumed) *consumed = count;
  return assembler.Take();
}

TEST(FtpReply, SingleAndMultiLineReplies) {
  FtpReply single = Assemble({"220 Service ready"});
  EXPECT_EQ(single.code, 220);
  EXPECT_EQ(single.text, "Service ready");
  EXPECT_TRUE(single.IsCompletion());

  size_t consumed = 0;
  FtpReply multi = Assemble({"211-Features:", " MLST type*;size*;modify*;", "230 looks like a code", " UTF8",
                             "211 End", "never read"},
                            &consumed);
  EXPECT_EQ(consumed, 5u);
  EXPECT_EQ(multi.code, 211);
  EXPECT_EQ(multi.text, "Features:\n MLST type*;size*;modify*;\n230 looks like a code\n UTF8\n211 End");

  EXPECT_TRUE(Assemble({"150 Opening data connection"}).IsPreliminary());
  EXPECT_TRUE(Assemble({"421 Timeout"}).ConnectionClosing());
  EXPECT_EQ(Assemble({"garbage from a broken server"}).code, 0);
  EXPECT_EQ(Assemble({"331"}).code, 331);
}

TEST(FtpReply, Features) {
  FtpReply reply = Assemble({"211-Features:", " MLST type*;size*;modify*;", " UTF8", " EPSV", " AUTH TLS",
                             " PBSZ", "211 End"});
  auto features = ParseFeatures(reply);
  EXPECT_TRUE(HasFeature(features, "mlst"));
  EXPECT_TRUE(HasFeature(features, "UTF8"));
  EXPECT_TRUE(HasFeature(features, "AUTH"));
  EXPECT_FALSE(HasFeature(features, "MLS"));
  EXPECT_FALSE(HasFeature(features, "MDTM"));
  EXPECT_TRUE(ParseFeatures(Assemble({"500 FEAT not understood"})).empty());
}

TEST(FtpReply, PassivePorts) {
  EXPECT_EQ(ParseEpsvPort("Entering Extended Passive Mode (|||6446|)"), std::optional<uint16_t>(6446));
  EXPECT_EQ(ParseEpsvPort("Entering Extended Passive Mode (!!!21!)"), std::optional<uint16_t>(21));
  EXPECT_FALSE(ParseEpsvPort("Entering Extended Passive Mode (|||0|)"));
  EXPECT_FALSE(ParseEpsvPort("Entering Extended Passive Mode (|||70000|)"));
  EXPECT_FALSE(ParseEpsvPort("no port here"));

  EXPECT_EQ(ParsePasvPort("Entering Passive Mode (192,168,1,2,19,137)"), std::optional<uint16_t>(19 * 256 + 137));
  EXPECT_EQ(ParsePasvPort("Entering Passive Mode 10,0,0,1,4,1"), std::optional<uint16_t>(1025));
  EXPECT_FALSE(ParsePasvPort("Entering Passive Mode (1,2,3,4,5)"));
  EXPECT_FALSE(ParsePasvPort("Entering Passive Mode (1,2,3,4,256,1)"));
}

TEST(FtpReply, QuotedDirectory) {
  EXPECT_EQ(ParseQuotedDirectory("\"/backups/my backup\" is the current directory"),
            std::optional<std::string>("/backups/my backup"));
  EXPECT_EQ(ParseQuotedDirectory("\"/say \"\"hi\"\"\" created"), std::optional<std::string>("/say \"hi\""));
  EXPECT_FALSE(ParseQuotedDirectory("no quotes"));
  EXPECT_FALSE(ParseQuotedDirectory("\"unterminated"));
}

}  // namespace
