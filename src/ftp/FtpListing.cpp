#include "ftp/FtpListing.h"

#include <array>
#include <cctype>

namespace {

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    size_t follow;
    if (lead < 0x80) follow = 0;
    else if ((lead >> 5) == 0x6) follow = 1;
    else if ((lead >> 4) == 0xE) follow = 2;
    else if ((lead >> 3) == 0x1E) follow = 3;
    else return false;
    if (i + follow >= bytes.size() && follow != 0) return false;
    for (size_t k = 1; k <= follow; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 0x2) return false;
    }
    i += follow + 1;
  }
  return true;
}

std::optional<FILETIME> MakeFileTime(int year, int month, int day, int hour, int minute, int second, int millis) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  time.wMilliseconds = static_cast<WORD>(millis);
  FILETIME result{};
  if (!SystemTimeToFileTime(&time, &result)) return std::nullopt;
  return result;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

uint64_t BigNumber(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Splits off the next run of non-blank characters, skipping the blanks before it.
std::string_view NextField(std::string_view& rest) {
  size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  size_t end = rest.find(' ', start);
  std::string_view field = rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  return field;
}

int MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (EqualsNoCaseAscii(name, kMonths[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

std::optional<FtpFindRecord> ParseUnixLine(std::string_view line, int nowYear, int nowMonth) {
  // drwxr-xr-x   2 owner group  4096 Jan  5 12:00 name
  // -rw-r--r--   1 owner group   123 Jan  5  2023 name with  blanks
  std::string_view rest = line;
  std::string_view mode = NextField(rest);
  if (mode.size() < 10 || std::string_view("-dlbcps").find(mode[0]) == std::string_view::npos) return std::nullopt;
  // Link count, owner and group (the group may be missing on some servers): find the size as the last
  // number before a month name.
  std::string_view fields[6];
  size_t count = 0;
  std::string_view scan = rest;
  size_t monthIndex = 0;
  while (count < 6) {
    std::string_view field = NextField(scan);
    if (field.empty()) return std::nullopt;
    fields[count++] = field;
    if (MonthNumber(field) != 0 && count >= 2 && AllDigits(fields[count - 2])) {
      monthIndex = count - 1;
      break;
    }
  }
  if (monthIndex == 0) return std::nullopt;
  std::string_view sizeText = fields[monthIndex - 1];
  int month = MonthNumber(fields[monthIndex]);
  std::string_view dayText = NextField(scan);
  std::string_view yearOrTime = NextField(scan);
  if (!AllDigits(dayText) || yearOrTime.empty() || scan.size() < 2 || scan[0] != ' ') return std::nullopt;
  // Exactly one blank separates the date from the name; further blanks belong to the name.
  std::string_view name = scan.substr(1);

  int year = nowYear, hour = 0, minute = 0;
  int64_t precision = FtpFindRecord::kMinutePrecision;
  if (yearOrTime.size() == 5 && yearOrTime[2] == ':' && AllDigits(yearOrTime.substr(0, 2)) &&
      AllDigits(yearOrTime.substr(3))) {
    hour = Number(yearOrTime.substr(0, 2));
    minute = Number(yearOrTime.substr(3));
    // Without a year the date lies within the last six months, so a later month is last year's.
    if (month > nowMonth) year = nowYear - 1;
  } else if (AllDigits(yearOrTime)) {
    year = Number(yearOrTime);
    precision = FtpFindRecord::kDayPrecision;
  } else {
    return std::nullopt;
  }

  FtpFindRecord record;
  record.timePrecision = precision;
  if (mode[0] == 'd') record.attributes = FILE_ATTRIBUTE_DIRECTORY;
  if (mode[0] == 'l') {
    record.attributes = FILE_ATTRIBUTE_REPARSE_POINT;
    size_t arrow = name.find(" -> ");
    if (arrow != std::string_view::npos) name = name.substr(0, arrow);
  }
  if (name.empty() || IsDotEntry(name)) return std::nullopt;
  record.name = DecodeRemoteName(name);
  record.sizeKnown = AllDigits(sizeText);
  record.size = record.sizeKnown ? BigNumber(sizeText) : 0;
  auto time = MakeFileTime(year, month, Number(dayText), hour, minute, 0, 0);
  if (time) record.lastWrite = *time;
  return record;
}

std::optional<FtpFindRecord> ParseDosLine(std::string_view line) {
  // 01-15-24  09:05PM       <DIR>          folder name
  // 2024-01-15  21:05             1234 file.txt
  std::string_view rest = line;
  std::string_view date = NextField(rest);
  std::string_view time = NextField(rest);
  std::string_view sizeOrDir = NextField(rest);
  if (date.size() < 8 || time.size() < 4 || sizeOrDir.empty() || rest.size() < 2) return std::nullopt;
  char separator = date[2] == '-' || date[2] == '/' ? date[2] : date.size() == 10 ? date[4] : 0;
  if (separator != '-' && separator != '/') return std::nullopt;
  int year, month, day;
  if (date.size() == 10 && date[4] == separator) {
    year = Number(date.substr(0, 4));
    month = Number(date.substr(5, 2));
    day = Number(date.substr(8, 2));
  } else if (date.size() == 8 || date.size() == 10) {
    month = Number(date.substr(0, 2));
    day = Number(date.substr(3, 2));
    year = Number(date.substr(6));
    if (date.size() == 8) year += year < 70 ? 2000 : 1900;
  } else {
    return std::nullopt;
  }
  size_t colon = time.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  int hour = Number(time.substr(0, colon));
  int minute = Number(time.substr(colon + 1, 2));
  std::string_view suffix = time.substr(std::min(time.size(), colon + 3));
  if (EqualsNoCaseAscii(suffix, "PM") && hour < 12) hour += 12;
  if (EqualsNoCaseAscii(suffix, "AM") && hour == 12) hour = 0;

  // The name starts after the blanks that follow the size or <DIR> column.
  size_t nameStart = rest.find_first_not_of(' ');
  if (nameStart == std::string_view::npos) return std::nullopt;
  std::string_view name = rest.substr(nameStart);
  if (IsDotEntry(name)) return std::nullopt;

  FtpFindRecord record;
  record.timePrecision = FtpFindRecord::kMinutePrecision;
  if (EqualsNoCaseAscii(sizeOrDir, "<DIR>")) {
    record.attributes = FILE_ATTRIBUTE_DIRECTORY;
  } else if (AllDigits(sizeOrDir)) {
    record.size = BigNumber(sizeOrDir);
    record.sizeKnown = true;
  } else {
    return std::nullopt;
  }
  record.name = DecodeRemoteName(name);
  auto stamp = MakeFileTime(year, month, day, hour, minute, 0, 0);
  if (!stamp) return std::nullopt;
  record.lastWrite = *stamp;
  return record;
}

}  // namespace

WideString DecodeRemoteName(std::string_view bytes) {
  return IsValidUtf8(bytes) ? text::FromUtf8(bytes) : text::FromAnsi(bytes);
}

std::optional<FtpFindRecord> ParseMlsdLine(std::string_view line) {
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos || blank + 1 >= line.size()) return std::nullopt;
  std::string_view facts = line.substr(0, blank);
  std::string_view name = line.substr(blank + 1);

  FtpFindRecord record;
  bool typed = false;
  while (!facts.empty()) {
    size_t end = facts.find(';');
    std::string_view fact = facts.substr(0, end);
    facts = end == std::string_view::npos ? std::string_view() : facts.substr(end + 1);
    size_t equals = fact.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = fact.substr(0, equals);
    std::string_view value = fact.substr(equals + 1);
    if (EqualsNoCaseAscii(key, "type")) {
      typed = true;
      if (EqualsNoCaseAscii(value, "cdir") || EqualsNoCaseAscii(value, "pdir")) return std::nullopt;
      if (EqualsNoCaseAscii(value, "dir")) {
        record.attributes = FILE_ATTRIBUTE_DIRECTORY;
      } else if (EqualsNoCaseAscii(value.substr(0, std::min<size_t>(value.size(), 13)), "OS.unix=slink")) {
        record.attributes = FILE_ATTRIBUTE_REPARSE_POINT;  // a link is neither copied nor entered
      }
    } else if (EqualsNoCaseAscii(key, "size") && AllDigits(value)) {
      record.size = BigNumber(value);
      record.sizeKnown = true;
    } else if (EqualsNoCaseAscii(key, "modify") && value.size() >= 14 && AllDigits(value.substr(0, 14))) {
      int millis = 0;
      if (value.size() >= 16 && value[14] == '.') {
        std::string_view fraction = value.substr(15, 3);
        if (AllDigits(fraction)) millis = Number(fraction) * (fraction.size() == 1 ? 100 : fraction.size() == 2 ? 10 : 1);
      }
      auto time = MakeFileTime(Number(value.substr(0, 4)), Number(value.substr(4, 2)), Number(value.substr(6, 2)),
                               Number(value.substr(8, 2)), Number(value.substr(10, 2)), Number(value.substr(12, 2)),
                               millis);
      if (time) record.lastWrite = *time;
    }
  }
  if (!typed || IsDotEntry(name)) return std::nullopt;
  record.name = DecodeRemoteName(name);
  return record;
}

std::optional<FtpFindRecord> ParseListLine(std::string_view line, int nowYear, int nowMonth) {
  if (line.empty()) return std::nullopt;
  if (line[0] >= '0' && line[0] <= '9') return ParseDosLine(line);
  return ParseUnixLine(line, nowYear, nowMonth);
}
