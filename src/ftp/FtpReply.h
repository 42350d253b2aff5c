#pragma once
// Replies of an FTP server's control connection (RFC 959): a three-digit code and its text, possibly
// over several lines, and the parts of particular replies the client needs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FtpReply {
  int code = 0;      // 0 when the server sent something that is no reply
  std::string text;  // every line, joined by LF

  [[nodiscard]] bool IsPreliminary() const { return code >= 100 && code < 200; }
  [[nodiscard]] bool IsCompletion() const { return code >= 200 && code < 300; }
  [[nodiscard]] bool IsIntermediate() const { return code >= 300 && code < 400; }
  // 421: the server is closing the connection.
  [[nodiscard]] bool ConnectionClosing() const { return code == 421; }
};

// Gathers the lines of one reply. "123-first line" opens a multi-line reply that ends with a line
// starting with the same code and a blank; a line "123 text" alone is a whole reply.
class FtpReplyAssembler {
 public:
  // Takes one line without its line end; true when the reply is complete.
  bool AddLine(std::string_view line);
  [[nodiscard]] FtpReply Take();

 private:
  FtpReply reply_;
  bool started_ = false;
  bool multiLine_ = false;
};

// The port of "229 Entering Extended Passive Mode (|||6446|)".
[[nodiscard]] std::optional<uint16_t> ParseEpsvPort(std::string_view text);
// The port of "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)"; the address in it is not used, the data
// connection always goes to the control connection's peer.
[[nodiscard]] std::optional<uint16_t> ParsePasvPort(std::string_view text);
// The feature names of a FEAT reply, upper-cased, each with its parameters ("MLST TYPE*;SIZE*;").
[[nodiscard]] std::vector<std::string> ParseFeatures(const FtpReply& reply);
// Whether features holds name (as the first word of an entry, without regard to case).
[[nodiscard]] bool HasFeature(const std::vector<std::string>& features, std::string_view name);
// The directory of a "257 "/dir" is ..." reply, with doubled quotes undone.
[[nodiscard]] std::optional<std::string> ParseQuotedDirectory(std::string_view text);
