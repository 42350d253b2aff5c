#pragma once
// A file opened for the engine's binary reads: bytes as they are, no encodings or byte-order marks.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

#include <cstdint>

class File {
 public:
  // Opens an existing file for reading while others may read too: with backup semantics first, which let
  // an account holding the backup privilege read past the file's permissions, then without.
  [[nodiscard]] bool OpenForReading(WideView path);
  void Close() { handle_.reset(); }
  [[nodiscard]] bool IsOpen() const { return handle_.valid(); }
  // The size now, or -1 when it cannot be read.
  [[nodiscard]] int64_t Size() const;
  // Up to size bytes; got is 0 at the end of the file. False when the read fails.
  [[nodiscard]] bool Read(void* buffer, DWORD size, DWORD& got);

 private:
  UniqueHandle handle_;
};
