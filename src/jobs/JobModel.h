#pragma once
// A backup job: the folder pairs of a settings file and the options that apply to all of them.

#include "base/WideString.h"

#include <cstdint>
#include <vector>

enum class BackupMode : uint32_t {
  kCommon = 0,   // copy source to destination, overwriting
  kStrict = 1,   // as Common, and delete what the source does not have
  kRestore = 2,  // copy destination back to source
  kSync = 4,     // newest files in both directions
};

inline constexpr uint32_t kUpdateMethodFlag = 0x10;
inline constexpr uint32_t kSkipHidden = 0x02;
inline constexpr uint32_t kSkipSystem = 0x04;
inline constexpr uint32_t kDefaultFlag = 16;
inline constexpr uint32_t kDefaultSkipAttributes = 6;

inline constexpr uint32_t kDefaultKeepVersions = 30;

struct BackupOptions {
  BackupMode mode = BackupMode::kCommon;
  bool useUpdateMethod = true;
  uint32_t skipAttributes = kDefaultSkipAttributes;
  // Days the versions of deleted and replaced files are kept; 0 keeps none.
  uint32_t keepVersions = kDefaultKeepVersions;

  // The stored "Flag": the mode plus 0x10 for the update method.
  [[nodiscard]] uint32_t FlagValue() const;
  // Options as a loaded file selects them: Sync wins over Restore, Restore over Strict. Sync always
  // copies by the update method; Restore starts without it; 0x10 turns it on in any mode.
  [[nodiscard]] static BackupOptions FromStored(uint32_t flag, uint32_t skipAttributes);
  // Only Common and Strict let the user choose the update method.
  [[nodiscard]] bool UpdateMethodEditable() const { return mode == BackupMode::kCommon || mode == BackupMode::kStrict; }
};

struct FolderPair {
  WideString source;               // a path, or the display form "ftp://…" of an FTP location
  WideString destination;
  WideString itemId;               // the key the pair had in its file; informational only
  WideString sourceLocation;       // the stored form "FTP:…" when the source is on an FTP server
  WideString destinationLocation;
  bool checked = true;             // takes part in the next run
};

// The rows of the loaded job in file order, which is also the order of the backup. The main window's list
// mirrors it; the run controller and the editors read and change it here.
class JobList {
 public:
  [[nodiscard]] const std::vector<FolderPair>& rows() const { return rows_; }
  [[nodiscard]] std::vector<FolderPair>& rows() { return rows_; }
  [[nodiscard]] size_t size() const { return rows_.size(); }
  [[nodiscard]] bool empty() const { return rows_.empty(); }
  [[nodiscard]] const FolderPair& operator[](size_t index) const { return rows_[index]; }
  [[nodiscard]] FolderPair& operator[](size_t index) { return rows_[index]; }
  void Add(FolderPair pair) { rows_.push_back(std::move(pair)); }
  void Clear() { rows_.clear(); }

 private:
  std::vector<FolderPair> rows_;
};
