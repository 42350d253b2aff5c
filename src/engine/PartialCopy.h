#pragma once
// A local copy in the making. Its bytes go to a file of the partial name beside the target, so that the
// target's own name only ever holds a complete file, the previous copy or the new one: a killed process
// leaves behind a file that every pass knows by its name and removes, never a short file that passes for
// a complete one. The finished file takes the target's place in one step that keeps the old copy until
// the new one stands in its place.

#include "base/UniqueHandle.h"
#include "base/WideString.h"

#include <windows.h>

// A copy in progress carries this suffix after its target's name.
inline constexpr WideView kPartialCopySuffix = L".~brlk-part";
[[nodiscard]] bool IsPartialCopyName(WideView name);
// An old remote copy moved aside while a new one takes its name, on servers that will not rename over an
// existing file.
inline constexpr WideView kOldCopySuffix = L".~brlk-old";
[[nodiscard]] bool IsOldCopyName(WideView name);
// Either of the two: a name only this program gives a file, and never anyone's data.
[[nodiscard]] inline bool IsLeftoverName(WideView name) { return IsPartialCopyName(name) || IsOldCopyName(name); }

class PartialCopy {
 public:
  PartialCopy() = default;
  ~PartialCopy() { Abandon(); }
  PartialCopy(const PartialCopy&) = delete;
  PartialCopy& operator=(const PartialCopy&) = delete;

  // Creates the partial file beside targetPath, clearing one left behind by a killed run. On failure,
  // lastError() keeps the system's error code.
  [[nodiscard]] bool Open(WideView targetPath);
  [[nodiscard]] bool Write(const void* data, size_t size);
  // Gives the complete file its times and attributes and puts it in the target's place. False when the
  // target could not be replaced (a reader holds the old copy, say): the old copy is then untouched and
  // the new one stays complete under the partial name, where the next run finds and removes it.
  [[nodiscard]] bool Commit(const FILETIME& creation, const FILETIME& lastAccess, const FILETIME& lastWrite,
                            DWORD attributes);
  // Deletes the partial file; nothing happens when none is open.
  void Abandon();

  [[nodiscard]] bool IsOpen() const { return file_.valid(); }
  [[nodiscard]] DWORD lastError() const { return lastError_; }
  [[nodiscard]] const WideString& partialPath() const { return partialPath_; }

 private:
  [[nodiscard]] bool RenameOpenFile();
  [[nodiscard]] bool ReplaceByName() const;

  UniqueHandle file_;
  WideString targetPath_;   // long-path form
  WideString partialPath_;  // long-path form
  DWORD lastError_ = ERROR_SUCCESS;
};
