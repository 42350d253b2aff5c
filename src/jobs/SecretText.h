#pragma once
// The program's one text cipher: AES-256-CBC with PKCS#7 padding through the CryptoAPI, with a fixed key
// and IV, written as upper-case hexadecimal. It keeps FTP credentials out of settings files and the names
// and paths of schedules out of the application INI file. Being deterministic, the same text always gives
// the same cipher text, which is how schedules are found by name.

#include "base/WideString.h"

#include <optional>

namespace secret_text {

// UTF-8 of text, encrypted, as upper-case hex. Nothing when the cipher is not available.
[[nodiscard]] std::optional<WideString> Encipher(WideView text);

// The reverse. Accepts an optional "0x" prefix and lower-case digits; a character that is no hex digit
// counts as a zero nibble and an odd final digit is ignored. Rejects text shorter than 16 characters,
// fewer than two digits, and anything that does not decrypt.
[[nodiscard]] std::optional<WideString> Decipher(WideView hex);

}  // namespace secret_text
