#include "ftp/FtpReply.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithCode(std::string_view line) {
  return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2]));
}

int CodeOf(std::string_view line) { return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'); }

std::optional<int> ParseNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string Upper(std::string_view text) {
  std::string result(text);
  for (auto& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace

bool FtpReplyAssembler::AddLine(std::string_view line) {
  if (!started_) {
    started_ = true;
    reply_ = FtpReply{};
    if (!StartsWithCode(line)) {
      reply_.text = std::string(line);
      return true;  // code 0: not a reply
    }
    reply_.code = CodeOf(line);
    reply_.text = std::string(line.size() > 4 ? line.substr(4) : std::string_view());
    multiLine_ = line.size() > 3 && line[3] == '-';
    return !multiLine_;
  }
  reply_.text += '\n';
  reply_.text += line;
  // The last line repeats the code followed by a blank; other lines, even with another code, are text.
  return StartsWithCode(line) && CodeOf(line) == reply_.code && (line.size() == 3 || line[3] == ' ');
}

FtpReply FtpReplyAssembler::Take() {
  started_ = false;
  multiLine_ = false;
  return std::move(reply_);
}

std::optional<uint16_t> ParseEpsvPort(std::string_view text) {
  size_t open = text.find('(');
  size_t close = text.find(')', open == std::string_view::npos ? 0 : open);
  if (open == std::string_view::npos || close == std::string_view::npos || close - open < 5) return std::nullopt;
  std::string_view inside = text.substr(open + 1, close - open - 1);
  char delimiter = inside[0];
  // (|||port|): three delimiters, the port, and a closing delimiter.
  if (inside.size() < 5 || inside[1] != delimiter || inside[2] != delimiter || inside.back() != delimiter) {
    return std::nullopt;
  }
  auto port = ParseNumber(inside.substr(3, inside.size() - 4));
  if (!port || *port == 0 || *port > 65535) return std::nullopt;
  return static_cast<uint16_t>(*port);
}

std::optional<uint16_t> ParsePasvPort(std::string_view text) {
  // Some servers leave out the parentheses: take the first run of six comma-separated numbers.
  size_t start = text.find('(');
  start = start == std::string_view::npos ? text.find_first_of("0123456789") : start + 1;
  if (start == std::string_view::npos) return std::nullopt;
  std::vector<int> numbers;
  std::string_view rest = text.substr(start);
  while (numbers.size() < 6) {
    size_t end = rest.find_first_not_of("0123456789");
    auto number = ParseNumber(rest.substr(0, end));
    if (!number || *number > 255) return std::nullopt;
    numbers.push_back(*number);
    if (numbers.size() == 6) break;
    if (end == std::string_view::npos || rest[end] != ',') return std::nullopt;
    rest = rest.substr(end + 1);
  }
  int port = numbers[4] * 256 + numbers[5];
  if (port == 0) return std::nullopt;
  return static_cast<uint16_t>(port);
}

std::vector<std::string> ParseFeatures(const FtpReply& reply) {
  std::vector<std::string> features;
  if (reply.code != 211) return features;
  size_t at = 0;
  bool first = true;
  while (at <= reply.text.size()) {
    size_t end = reply.text.find('\n', at);
    std::string_view line(reply.text.data() + at, (end == std::string::npos ? reply.text.size() : end) - at);
    at = end == std::string::npos ? reply.text.size() + 1 : end + 1;
    if (first) {
      first = false;  // "Features:" or similar
      continue;
    }
    // Feature lines start with a blank; the closing "211 End" does not.
    if (line.empty() || line[0] != ' ') continue;
    size_t begin = line.find_first_not_of(' ');
    if (begin == std::string_view::npos) continue;
    std::string_view feature = line.substr(begin);
    while (!feature.empty() && (feature.back() == ' ' || feature.back() == '\r')) feature.remove_suffix(1);
    features.push_back(Upper(feature));
  }
  return features;
}

bool HasFeature(const std::vector<std::string>& features, std::string_view name) {
  std::string wanted = Upper(name);
  return std::any_of(features.begin(), features.end(), [&](const std::string& feature) {
    return feature.compare(0, wanted.size(), wanted) == 0 &&
           (feature.size() == wanted.size() || feature[wanted.size()] == ' ');
  });
}

std::optional<std::string> ParseQuotedDirectory(std::string_view text) {
  size_t open = text.find('"');
  if (open == std::string_view::npos) return std::nullopt;
  std::string directory;
  for (size_t i = open + 1; i < text.size(); ++i) {
    if (text[i] == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        directory += '"';
        ++i;
        continue;
      }
      return directory;
    }
    directory += text[i];
  }
  return std::nullopt;
}
