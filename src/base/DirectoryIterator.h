#pragma once
// One listing of one local folder. "." and ".." are never reported.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

#include <cstdint>

class DirectoryIterator {
 public:
  enum Filter : uint32_t {
    kAll = 0,
    kSkipReparsePoints = 1,
    kFilesOnly = 2,
    kDirectoriesOnly = 4,  // ignored together with kFilesOnly
  };

  DirectoryIterator() = default;
  DirectoryIterator(WideView pattern, uint32_t filter) { (void)Open(pattern, filter); }

  // True when a matching entry is current. False at the end of the listing or when the listing could
  // not be made; lastError() tells which (ERROR_NO_MORE_FILES or ERROR_FILE_NOT_FOUND for an empty
  // result, anything else for a failure).
  [[nodiscard]] bool Open(WideView pattern, uint32_t filter);
  [[nodiscard]] bool Next();
  void Close() { handle_.reset(); }

  [[nodiscard]] bool IsOpen() const { return handle_.valid(); }
  [[nodiscard]] DWORD lastError() const { return lastError_; }
  // True when the listing ended normally rather than failing.
  [[nodiscard]] bool EndedNormally() const;

  [[nodiscard]] const WIN32_FIND_DATAW& data() const { return data_; }
  [[nodiscard]] const wchar_t* name() const { return data_.cFileName; }
  [[nodiscard]] DWORD attributes() const { return data_.dwFileAttributes; }
  [[nodiscard]] bool IsDirectory() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  [[nodiscard]] bool IsReparsePoint() const {
    return (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  [[nodiscard]] uint64_t size() const {
    return (static_cast<uint64_t>(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow;
  }

 private:
  [[nodiscard]] bool Accepts() const;
  [[nodiscard]] bool SkipToMatch();

  UniqueFindHandle handle_;
  WIN32_FIND_DATAW data_{};
  uint32_t filter_ = kAll;
  DWORD lastError_ = ERROR_SUCCESS;
};
