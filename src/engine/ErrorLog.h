#pragma once
// The error log: an INI file beside the executable, UTF-16LE with its mark, one section per local date
// ("2024/03/07") and one key per entry named by the local time with milliseconds ("09:05:03:042").

#include "base/WideString.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>

class ErrorLog {
 public:
  explicit ErrorLog(WideString path) : path_(std::move(path)) {}

  // Writes prefix + first + second + third as one entry stamped with the local time. Nothing is written
  // for an empty message. Any thread may log; entries never mix. Two entries of the same millisecond both stay: the later key gets a suffix.
  bool Log(WideView prefix, WideView first = {}, WideView second = {}, WideView third = {});
  // The same with a given time, for tests of day boundaries.
  bool LogAt(const SYSTEMTIME& time, WideView message);

  // From now on entries go to sink (on the logging thread, one at a time) instead of the file: a preview
  // writes nothing beside the program either.
  void SendTo(std::function<void(WideView message)> sink) { sink_ = std::move(sink); }

  // Deletes the file; the next entry starts a fresh one.
  bool Clear();

  [[nodiscard]] const WideString& path() const { return path_; }

 private:
  // What this object last left at the end of the file. While the file still has the size recorded here,
  // nobody else wrote to it, so an entry can be appended directly: writing through the profile functions
  // rereads and rewrites the whole file for every entry, which makes a long log quadratic to write.
  struct Tail {
    uint64_t fileSize;
    WideString section;
    WideString keyBase;  // the time part of the last key
    unsigned suffix;     // how many same-millisecond entries followed it
  };

  [[nodiscard]] bool Append(WideView section, WideView key, WideView message);
  [[nodiscard]] bool WriteThroughProfile(WideView section, WideView key, WideView message);
  void RememberTail(WideView section, WideView keyBase, unsigned suffix);

  WideString path_;
  std::function<void(WideView message)> sink_;
  std::optional<Tail> tail_;
  SRWLOCK lock_ = SRWLOCK_INIT;  // a run's copy workers log from their own threads
};
