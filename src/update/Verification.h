#pragma once
// What makes a downloaded executable fit to replace the running one: the digest the update site announced
// with its version, and the shape of a Windows executable.

#include "base/WideString.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

using Sha256Digest = std::array<uint8_t, 32>;

// The digest of the new executable from the version answer: the first of its lines that starts with
// "sha256=" (in any case, blanks around the line ignored), which must go on with exactly 64 hexadecimal
// digits; none when there is no such line or it is malformed.
[[nodiscard]] std::optional<Sha256Digest> AnnouncedSha256(std::string_view answer);

// SHA-256 through the system's BCrypt; none when it fails (or the file cannot be read whole).
[[nodiscard]] std::optional<Sha256Digest> BytesSha256(std::string_view bytes);
[[nodiscard]] std::optional<Sha256Digest> FileSha256(WideView path);
// Lower-case hexadecimal, as the update site writes it.
[[nodiscard]] std::string DigestHex(const Sha256Digest& digest);

// True when the file is shaped like a Windows program: "MZ", a PE header offset that lies inside the file
// with room for the file header after it, "PE\0\0" there, and a file header that marks an executable
// image that is not a DLL.
[[nodiscard]] bool HasExecutableHeader(WideView path);
