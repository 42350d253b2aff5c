#include "base/DirectoryIterator.h"

bool DirectoryIterator::Open(WideView pattern, uint32_t filter) {
  handle_.reset();
  filter_ = filter;
  lastError_ = ERROR_SUCCESS;
  WideString patternText(pattern);
  // The basic information level skips the short 8.3 names, and a large fetch asks for more entries per
  // call; both make listing big folders noticeably faster.
  handle_.reset(FindFirstFileExW(patternText.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!handle_ && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Systems before Windows 7 know neither option.
    handle_.reset(FindFirstFileW(patternText.c_str(), &data_));
  }
  if (!handle_) {
    lastError_ = GetLastError();
    return false;
  }
  if (Accepts()) return true;
  return SkipToMatch();
}

bool DirectoryIterator::Next() {
  if (!handle_) return false;
  return SkipToMatch();
}

bool DirectoryIterator::EndedNormally() const {
  return lastError_ == ERROR_NO_MORE_FILES || lastError_ == ERROR_FILE_NOT_FOUND;
}

bool DirectoryIterator::Accepts() const {
  const wchar_t* n = data_.cFileName;
  if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) return false;
  DWORD attributes = data_.dwFileAttributes;
  if ((filter_ & kSkipReparsePoints) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  if (filter_ & kFilesOnly) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (filter_ & kDirectoriesOnly) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool DirectoryIterator::SkipToMatch() {
  while (FindNextFileW(handle_.get(), &data_)) {
    if (Accepts()) return true;
  }
  lastError_ = GetLastError();
  handle_.reset();
  return false;
}
