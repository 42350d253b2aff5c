#pragma once
// The file object through which settings files, the error log and copied files are opened, read and
// written. It owns the text-encoding rules: byte-order marks are detected on open and written to new
// files, and text is converted on read and write. Without a mark, text whose odd bytes are mostly zero
// is read as UTF-16LE; any other text takes the caller's encoding, or ANSI.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

#include <cstdint>

class TextFile {
 public:
  enum Flags : uint32_t {
    kReadOnly = 0,
    kAppend = 0x01,         // read-write, open or create, positioned at the end
    kCreate = 0x02,         // read-write, always a new empty file
    kExclusive = 0x04,      // share nothing (otherwise others may read)
    kCreateFolders = 0x08,  // create the parent folders first
    kRaw = 0x10,            // no byte-order-mark handling
    kUtf16Le = 0x20,
    kUtf16Be = 0x40,
    kUtf8Bom = 0x80,
    kUtf8 = 0x100,
    kCreateNew = 0x200,     // with Create: fail (ERROR_FILE_EXISTS) instead of replacing an existing file
  };
  static constexpr uint32_t kEncodingFlags = kUtf16Le | kUtf16Be | kUtf8Bom | kUtf8;

  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  TextFile(TextFile&&) noexcept = default;
  TextFile& operator=(TextFile&&) noexcept = default;

  // creationFlags are the attributes and flags handed to CreateFileW (FILE_FLAG_BACKUP_SEMANTICS,
  // FILE_ATTRIBUTE_NORMAL or 0). On failure lastError() keeps the system's error code.
  [[nodiscard]] bool Open(WideView path, uint32_t flags, DWORD creationFlags = 0);
  void Close() { handle_.reset(); }

  [[nodiscard]] bool IsOpen() const { return handle_.valid(); }
  [[nodiscard]] HANDLE handle() const { return handle_.get(); }
  // The flags given to Open plus the encoding found in the file.
  [[nodiscard]] uint32_t flags() const { return flags_; }
  [[nodiscard]] DWORD lastError() const { return lastError_; }

  // Reads from the current position to the end and decodes; returns the number of characters (0 on
  // failure or for an empty file). Zero bytes are decoded like any other, so that a caller can tell
  // binary content from text by the zero characters instead of getting a silently shortened text.
  [[nodiscard]] size_t ReadAllText(WideString& text);
  // Encodes and writes; returns the number of bytes written (0 on failure or for empty text).
  [[nodiscard]] size_t WriteText(WideView text);
  [[nodiscard]] bool WriteBytes(const void* data, size_t size);
  // Returns the new position, or -1 on failure. origin is FILE_BEGIN, FILE_CURRENT or FILE_END.
  int64_t Seek(int64_t offset, DWORD origin);
  [[nodiscard]] int64_t Size() const;

 private:
  [[nodiscard]] bool ReadExactly(void* data, size_t size, size_t& got);
  [[nodiscard]] bool PrepareEncoding();

  UniqueHandle handle_;
  uint32_t flags_ = 0;
  DWORD lastError_ = ERROR_SUCCESS;
};
