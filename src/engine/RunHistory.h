#pragma once
// The record of every run: Brimlark_History.txt beside the executable, UTF-16LE with its mark, one line per
// job and one at the end of each run, fields separated by tabs and figures written as name=value, so that
// the monitor (and a person) can tell how each backup went long after its window closed.

#include "base/WideString.h"

#include <windows.h>

#include <cstdint>

// What one job did.
struct JobRecord {
  WideString settingsFile;
  WideString source;       // as the list shows it: an FTP side in its display form, never its credentials
  WideString destination;
  WideString mode;         // "Common", "Strict", "Restore" or "Sync", with " update" for the update method
  WideString result;       // "done", "not backed up" or "cancelled"
  uint64_t filesCopied = 0;
  uint64_t bytesCopied = 0;
  uint64_t replaced = 0;
  uint64_t deleted = 0;
  uint64_t keptAsVersions = 0;
  uint64_t heldBack = 0;
  uint64_t newerInTarget = 0;
  uint64_t failures = 0;
  uint64_t seconds = 0;
};

// "2024-03-07 09:05:03" and the fields of the record, tab after tab.
[[nodiscard]] WideString JobHistoryLine(const SYSTEMTIME& time, const JobRecord& record);
// The last line of a run: its time, settings file and exit code ("exit=1").
[[nodiscard]] WideString RunEndHistoryLine(const SYSTEMTIME& time, WideView settingsFile, int exitCode);

class RunHistory {
 public:
  explicit RunHistory(WideString path) : path_(std::move(path)) {}

  // Appends one line. Another instance appending at the same moment is waited out briefly.
  bool Append(WideView line);

  [[nodiscard]] const WideString& path() const { return path_; }

 private:
  WideString path_;
};
