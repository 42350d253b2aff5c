#include "update/Verification.h"

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kDigestKey = "sha256=";
constexpr size_t kReadPiece = 1 << 20;

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle handle) { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct HashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle handle) { BCryptDestroyHash(handle); }
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view line) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = line.find_last_not_of(kBlanks);
  return line.substr(first, last - first + 1);
}

bool StartsWithNoCase(std::string_view value, std::string_view prefix) {
  if (value.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = value[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// SHA-256 over pieces handed in by feed, which returns false on a failure of its own.
template <typename Feed>
std::optional<Sha256Digest> Sha256Of(Feed feed) {
  BCRYPT_ALG_HANDLE rawAlgorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&rawAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return std::nullopt;
  UniqueResource<AlgorithmTraits> algorithm(rawAlgorithm);
  DWORD objectLength = 0;
  ULONG written = 0;
  if (BCryptGetProperty(algorithm.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                        sizeof objectLength, &written, 0) != 0) {
    return std::nullopt;
  }
  // Vista wants the hash object's memory from the caller.
  std::vector<UCHAR> object(objectLength);
  BCRYPT_HASH_HANDLE rawHash = nullptr;
  if (BCryptCreateHash(algorithm.get(), &rawHash, object.data(), objectLength, nullptr, 0, 0) != 0) return std::nullopt;
  UniqueResource<HashTraits> hash(rawHash);
  auto add = [&](const void* data, size_t size) {
    return BCryptHashData(hash.get(), static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0) == 0;
  };
  if (!feed(add)) return std::nullopt;
  Sha256Digest digest{};
  if (BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0) != 0) return std::nullopt;
  return digest;
}

bool ReadAt(HANDLE file, uint64_t offset, void* data, DWORD size) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ReadFile(file, data, size, &got, nullptr) &&
         got == size;
}

UniqueHandle OpenForReading(WideView path) {
  return UniqueHandle(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

std::optional<Sha256Digest> AnnouncedSha256(std::string_view answer) {
  size_t start = 0;
  while (start < answer.size()) {
    size_t end = answer.find('\n', start);
    std::string_view line = TrimBlanks(answer.substr(start, end == std::string_view::npos ? end : end - start));
    if (StartsWithNoCase(line, kDigestKey)) {
      std::string_view hex = line.substr(kDigestKey.size());
      if (hex.size() != 64) return std::nullopt;
      Sha256Digest digest{};
      for (size_t i = 0; i < digest.size(); ++i) {
        int high = HexValue(hex[2 * i]);
        int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<uint8_t>(high * 16 + low);
      }
      return digest;
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<Sha256Digest> BytesSha256(std::string_view bytes) {
  return Sha256Of([&](auto& add) {
    for (size_t done = 0; done < bytes.size(); done += kReadPiece) {
      if (!add(bytes.data() + done, std::min(kReadPiece, bytes.size() - done))) return false;
    }
    return true;
  });
}

std::optional<Sha256Digest> FileSha256(WideView path) {
  UniqueHandle file = OpenForReading(path);
  if (!file) return std::nullopt;
  std::vector<char> buffer(kReadPiece);
  return Sha256Of([&](auto& add) {
    while (true) {
      DWORD got = 0;
      if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
      if (got == 0) return true;
      if (!add(buffer.data(), got)) return false;
    }
  });
}

std::string DigestHex(const Sha256Digest& digest) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(digest.size() * 2);
  for (uint8_t byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

bool HasExecutableHeader(WideView path) {
  UniqueHandle file = OpenForReading(path);
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) return false;
  IMAGE_DOS_HEADER dos{};
  if (static_cast<uint64_t>(size.QuadPart) < sizeof dos || !ReadAt(file.get(), 0, &dos, sizeof dos)) return false;
  if (dos.e_magic != IMAGE_DOS_SIGNATURE) return false;
  uint64_t peOffset = static_cast<uint32_t>(dos.e_lfanew);
  if (dos.e_lfanew < static_cast<LONG>(sizeof dos) ||
      peOffset + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER) > static_cast<uint64_t>(size.QuadPart)) {
    return false;
  }
  DWORD signature = 0;
  IMAGE_FILE_HEADER header{};
  if (!ReadAt(file.get(), peOffset, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
      !ReadAt(file.get(), peOffset + sizeof signature, &header, sizeof header)) {
    return false;
  }
  return (header.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) != 0 && (header.Characteristics & IMAGE_FILE_DLL) == 0;
}
