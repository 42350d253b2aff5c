#pragma once
// Directory listings of FTP servers turned into find records: MLSD lines (RFC 3659) and the two LIST
// formats servers actually send (Unix "ls -l" and DOS/IIS). Names are taken exactly as listed: never
// trimmed, blanks and non-ASCII kept.

#include "base/WideString.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

struct FtpFindRecord {
  WideString name;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;  // FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_REPARSE_POINT (links)
  uint64_t size = 0;
  bool sizeKnown = false;  // the listing gave the size; a download must then bring exactly that many bytes
  FILETIME lastWrite{};  // as the server reports it (MLSD: UTC)
  // How finely lastWrite is known, in 100-ns units: a second for MLSD, a minute for a LIST line with a
  // time of day, a day for one with a year. Times are compared no finer than this.
  int64_t timePrecision = kSecondPrecision;
  static constexpr int64_t kSecondPrecision = 10'000'000;
  static constexpr int64_t kMinutePrecision = 60 * kSecondPrecision;
  static constexpr int64_t kDayPrecision = 24 * 60 * kMinutePrecision;

  [[nodiscard]] bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// The name bytes as UTF-8 when they are valid UTF-8, otherwise in the ANSI code page.
[[nodiscard]] WideString DecodeRemoteName(std::string_view bytes);

// One MLSD line: facts, exactly one blank, then the name up to the end of the line. Nothing for the
// entries of the directory itself and its parent (type=cdir, type=pdir) and for malformed lines.
[[nodiscard]] std::optional<FtpFindRecord> ParseMlsdLine(std::string_view line);

// One LIST line in Unix or DOS format. nowYear and nowMonth place Unix dates written without a year (the
// last six months). Nothing for "total" lines, "." and "..", and lines in no known format.
[[nodiscard]] std::optional<FtpFindRecord> ParseListLine(std::string_view line, int nowYear, int nowMonth);
