#include "ini/TextFile.h"

#include "base/FileSystem.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kBomUtf16Le[] = {0xFF, 0xFE};
constexpr unsigned char kBomUtf16Be[] = {0xFE, 0xFF};
constexpr unsigned char kBomUtf8[] = {0xEF, 0xBB, 0xBF};

// How much of a file without a mark is looked at to tell UTF-16LE from byte-oriented text.
constexpr size_t kSniffLength = 512;

// Notepad's "Unicode" without its mark, or a mark lost in copying: in such text nearly every odd byte is
// zero (Latin letters, digits, paths), while byte-oriented text has no zero bytes at all and binary data
// has them at even and odd offsets alike.
bool LooksLikeUtf16Le(const unsigned char* bytes, size_t size) {
  size_t pairs = size / 2;
  size_t oddZeros = 0;
  size_t evenZeros = 0;
  for (size_t i = 0; i < pairs * 2; i += 2) {
    evenZeros += bytes[i] == 0;
    oddZeros += bytes[i + 1] == 0;
  }
  return oddZeros * 2 > pairs && evenZeros * 8 <= oddZeros;
}

// The folder part of a file path whose chain of folders must exist before the file can be created; empty
// when the path names no folder of its own ("job.brlk", "C:job.brlk"): the file's own name must never
// become a folder.
WideString ParentFolderToCreate(WideView path) {
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  size_t slash = path.rfind(L'\\');
  if (slash == WideView::npos || slash < 2) return {};
  return WideString(path.substr(0, slash));
}

}  // namespace

bool TextFile::Open(WideView path, uint32_t flags, DWORD creationFlags) {
  Close();
  flags_ = flags;
  lastError_ = ERROR_SUCCESS;

  if (flags & kCreateFolders) {
    WideString folder = ParentFolderToCreate(path);
    if (folder.size() > 2 && !CreateFolder(folder)) {
      lastError_ = GetLastError();
      if (lastError_ == ERROR_SUCCESS) lastError_ = ERROR_PATH_NOT_FOUND;
      return false;
    }
  }

  bool writable = (flags & (kAppend | kCreate)) != 0;
  DWORD access = writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  // A reader lets a writer replace the file meanwhile (it goes on reading the old content): the monitor
  // reading Brimlark.ini must never make another instance's save fail.
  DWORD share = (flags & kExclusive) ? 0 : writable ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_DELETE;
  DWORD disposition = (flags & kCreate) ? ((flags & kCreateNew) ? CREATE_NEW : CREATE_ALWAYS)
                      : (flags & kAppend) ? OPEN_ALWAYS
                                          : OPEN_EXISTING;
  handle_.reset(CreateFileW(LongPathForm(path).c_str(), access, share, nullptr, disposition, creationFlags, nullptr));
  if (!handle_) {
    lastError_ = GetLastError();
    return false;
  }

  if (flags & kRaw) {
    if (flags & kAppend) Seek(0, FILE_END);
    return true;
  }
  if (!PrepareEncoding()) {
    lastError_ = GetLastError();
    Close();
    return false;
  }
  return true;
}

bool TextFile::PrepareEncoding() {
  int64_t size = Size();
  if (size < 0) return false;
  if (size > 0 && !(flags_ & kCreate)) {
    unsigned char head[kSniffLength] = {};
    size_t got = 0;
    if (!ReadExactly(head, sizeof head, got)) return false;
    int64_t markLength = 0;
    uint32_t found = 0;
    if (got >= 3 && std::memcmp(head, kBomUtf8, 3) == 0) {
      found = kUtf8Bom;
      markLength = 3;
    } else if (got >= 2 && std::memcmp(head, kBomUtf16Le, 2) == 0) {
      found = kUtf16Le;
      markLength = 2;
    } else if (got >= 2 && std::memcmp(head, kBomUtf16Be, 2) == 0) {
      found = kUtf16Be;
      markLength = 2;
    } else if (LooksLikeUtf16Le(head, got)) {
      found = kUtf16Le;
    }
    if (found) flags_ = (flags_ & ~kEncodingFlags) | found;
    return Seek((flags_ & kAppend) ? 0 : markLength, (flags_ & kAppend) ? FILE_END : FILE_BEGIN) >= 0;
  }
  if (size == 0 && (flags_ & (kAppend | kCreate))) {
    if (flags_ & kUtf16Le) return WriteBytes(kBomUtf16Le, sizeof kBomUtf16Le);
    if (flags_ & kUtf16Be) return WriteBytes(kBomUtf16Be, sizeof kBomUtf16Be);
    if (flags_ & kUtf8Bom) return WriteBytes(kBomUtf8, sizeof kBomUtf8);
  }
  return true;
}

bool TextFile::ReadExactly(void* data, size_t size, size_t& got) {
  got = 0;
  auto* bytes = static_cast<unsigned char*>(data);
  while (got < size) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - got, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(handle_.get(), bytes + got, chunk, &read, nullptr)) return false;
    if (read == 0) break;
    got += read;
  }
  return true;
}

size_t TextFile::ReadAllText(WideString& text) {
  text.clear();
  if (!handle_) return 0;
  int64_t size = Size();
  int64_t position = Seek(0, FILE_CURRENT);
  if (size < 0 || position < 0 || size <= position) return 0;

  std::string bytes(static_cast<size_t>(size - position), '\0');
  size_t got = 0;
  if (!ReadExactly(bytes.data(), bytes.size(), got)) return 0;
  bytes.resize(got);

  if (flags_ & (kUtf16Le | kUtf16Be)) {
    text.resize(bytes.size() / 2);
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    if (flags_ & kUtf16Be) {
      for (auto& c : text) c = static_cast<wchar_t>(((c & 0xFF) << 8) | ((c >> 8) & 0xFF));
    }
  } else {
    text = (flags_ & (kUtf8 | kUtf8Bom)) ? text::FromUtf8(bytes) : text::FromAnsi(bytes);
  }
  return text.size();
}

size_t TextFile::WriteText(WideView text) {
  if (!handle_ || text.empty()) return 0;
  if (flags_ & kUtf16Le) {
    return WriteBytes(text.data(), text.size() * sizeof(wchar_t)) ? text.size() * sizeof(wchar_t) : 0;
  }
  if (flags_ & kUtf16Be) {
    std::wstring swapped(text);
    for (auto& c : swapped) c = static_cast<wchar_t>(((c & 0xFF) << 8) | ((c >> 8) & 0xFF));
    return WriteBytes(swapped.data(), swapped.size() * sizeof(wchar_t)) ? swapped.size() * sizeof(wchar_t) : 0;
  }
  std::string bytes = (flags_ & (kUtf8 | kUtf8Bom)) ? text::ToUtf8(text) : text::ToAnsi(text);
  return WriteBytes(bytes.data(), bytes.size()) ? bytes.size() : 0;
}

bool TextFile::WriteBytes(const void* data, size_t size) {
  if (!handle_) return false;
  if (WriteAll(handle_.get(), data, size)) return true;
  lastError_ = GetLastError();
  return false;
}

int64_t TextFile::Seek(int64_t offset, DWORD origin) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!handle_ || !SetFilePointerEx(handle_.get(), distance, &position, origin)) return -1;
  return position.QuadPart;
}

int64_t TextFile::Size() const {
  LARGE_INTEGER size{};
  if (!handle_ || !GetFileSizeEx(handle_.get(), &size)) return -1;
  return size.QuadPart;
}
