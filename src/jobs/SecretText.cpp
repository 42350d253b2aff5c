#include "jobs/SecretText.h"

#include <windows.h>
#include <wincrypt.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace secret_text {

namespace {

// The program's own 16-byte value behind the key. Stored forms and schedules written with one value can
// only be read by builds with the same value.
constexpr std::array<unsigned char, 16> kKeySeed = {0x3b, 0x91, 0xe4, 0x27, 0xc8, 0x5d, 0x06, 0xaf,
                                                    0x72, 0x19, 0xd3, 0x8e, 0x40, 0xb6, 0x6a, 0xf5};
constexpr char kInitialisationVector[] = "5e07b3c19a4f8d26";
constexpr size_t kBlockSize = 16;

// The key is the ASCII text of the seed's 32 lower-case hex digits.
std::array<BYTE, 32> KeyText() {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::array<BYTE, 32> key{};
  for (size_t i = 0; i < kKeySeed.size(); ++i) {
    key[2 * i] = static_cast<BYTE>(kDigits[kKeySeed[i] >> 4]);
    key[2 * i + 1] = static_cast<BYTE>(kDigits[kKeySeed[i] & 0xF]);
  }
  return key;
}

class CipherKey {
 public:
  CipherKey() {
    for (const wchar_t* provider : {MS_ENH_RSA_AES_PROV_W, MS_ENH_RSA_AES_PROV_XP_W}) {
      if (CryptAcquireContextW(&provider_, nullptr, provider, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) break;
      provider_ = 0;
    }
    if (!provider_) return;

    struct {
      BLOBHEADER header;
      DWORD size;
      BYTE bytes[32];
    } blob{};
    blob.header.bType = PLAINTEXTKEYBLOB;
    blob.header.bVersion = CUR_BLOB_VERSION;
    blob.header.aiKeyAlg = CALG_AES_256;
    blob.size = 32;
    std::array<BYTE, 32> key = KeyText();
    std::memcpy(blob.bytes, key.data(), key.size());
    if (!CryptImportKey(provider_, reinterpret_cast<const BYTE*>(&blob), sizeof(blob), 0, 0, &key_)) {
      key_ = 0;
      return;
    }
    SecureZeroMemory(&blob, sizeof(blob));
    if (!CryptSetKeyParam(key_, KP_IV, reinterpret_cast<const BYTE*>(kInitialisationVector), 0)) {
      CryptDestroyKey(key_);
      key_ = 0;
    }
  }
  ~CipherKey() {
    if (key_) CryptDestroyKey(key_);
    if (provider_) CryptReleaseContext(provider_, 0);
  }
  CipherKey(const CipherKey&) = delete;
  CipherKey& operator=(const CipherKey&) = delete;

  [[nodiscard]] bool valid() const { return key_ != 0; }
  [[nodiscard]] HCRYPTKEY get() const { return key_; }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTKEY key_ = 0;
};

// The provider and imported key are made once; every operation works on a copy of the key, because a
// key carries the CBC state of its last operation and may be used from more than one thread.
class OperationKey {
 public:
  OperationKey() {
    static const CipherKey base;
    if (!base.valid() || !CryptDuplicateKey(base.get(), nullptr, 0, &key_)) key_ = 0;
  }
  ~OperationKey() {
    if (key_) CryptDestroyKey(key_);
  }
  OperationKey(const OperationKey&) = delete;
  OperationKey& operator=(const OperationKey&) = delete;

  [[nodiscard]] bool valid() const { return key_ != 0; }
  [[nodiscard]] HCRYPTKEY get() const { return key_; }

 private:
  HCRYPTKEY key_ = 0;
};

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return 0;
}

}  // namespace

std::optional<WideString> Encipher(WideView text) {
  std::string plain = text::ToUtf8(text);
  if (plain.empty() && !text.empty()) return std::nullopt;
  OperationKey key;
  if (!key.valid()) return std::nullopt;

  DWORD length = static_cast<DWORD>(plain.size());
  DWORD needed = length;
  if (!CryptEncrypt(key.get(), 0, TRUE, 0, nullptr, &needed, 0)) return std::nullopt;
  std::vector<BYTE> buffer(std::max(needed, length));
  std::memcpy(buffer.data(), plain.data(), plain.size());
  if (!CryptEncrypt(key.get(), 0, TRUE, 0, buffer.data(), &length, static_cast<DWORD>(buffer.size()))) {
    return std::nullopt;
  }

  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  WideString hex;
  hex.reserve(length * 2);
  for (DWORD i = 0; i < length; ++i) {
    hex += kDigits[buffer[i] >> 4];
    hex += kDigits[buffer[i] & 0xF];
  }
  return hex;
}

std::optional<WideString> Decipher(WideView hex) {
  if (hex.size() < 16) return std::nullopt;
  if (text::StartsWith(hex, L"0x", false)) hex.remove_prefix(2);
  if (hex.size() % 2) hex.remove_suffix(1);
  if (hex.size() < 2) return std::nullopt;

  // A padded CBC cipher text is whole blocks; anything else is damaged, and some providers decrypt a
  // partial block past the end of the buffer.
  if ((hex.size() / 2) % kBlockSize != 0) return std::nullopt;
  std::vector<BYTE> bytes(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<BYTE>((DigitValue(hex[2 * i]) << 4) | DigitValue(hex[2 * i + 1]));
  }
  OperationKey key;
  if (!key.valid()) return std::nullopt;
  DWORD length = static_cast<DWORD>(bytes.size());
  if (!CryptDecrypt(key.get(), 0, TRUE, 0, bytes.data(), &length)) return std::nullopt;
  return text::FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), length));
}

}  // namespace secret_text
