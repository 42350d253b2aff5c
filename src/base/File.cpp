#include "base/File.h"

#include "base/FileSystem.h"

bool File::OpenForReading(WideView path) {
  WideString longPath = LongPathForm(path);
  for (DWORD flags : {DWORD{FILE_FLAG_BACKUP_SEMANTICS}, DWORD{0}}) {
    handle_.reset(CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
    if (handle_) return true;
  }
  return false;
}

int64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!handle_ || !GetFileSizeEx(handle_.get(), &size)) return -1;
  return size.QuadPart;
}

bool File::Read(void* buffer, DWORD size, DWORD& got) {
  got = 0;
  return handle_ && ReadFile(handle_.get(), buffer, size, &got, nullptr);
}
