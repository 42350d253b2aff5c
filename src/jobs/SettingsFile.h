#pragma once
// The backup settings file (.brlk): an INI file with the options in "Settings" and one line per folder
// pair in "Folders" ("k=source<|>destination", a "0" before the destination for an unchecked pair).

#include "ini/IniFile.h"
#include "jobs/JobModel.h"

#include <optional>

// Loads path into jobIni (writing the store's previous file back first), upgrades an old layout, and
// fills the list and the options. Returns the file's Flag value (16 when it has none).
uint32_t LoadJob(IniFile& jobIni, WideView path, JobList& jobs, BackupOptions& options);

// Writes the options (the days versions are kept only when the file names them or they are not the default)
// and the pairs into jobIni and saves it to path. Returns the number of pair lines
// written (0 for a job without pairs), nothing when the file could not be written. Rows with an empty
// side are left out and their numbers are not reused.
[[nodiscard]] std::optional<size_t> SaveJob(IniFile& jobIni, WideView path, const JobList& jobs,
                                            const BackupOptions& options);

// "Settings"/"DeleteLimit" of a settings file: the share of the destination's files, in percent (1-100), that
// a Strict job may delete without holding its deletions back; 50 for anything else, 100 for no such limit.
inline constexpr uint32_t kDefaultDeleteLimit = 50;
[[nodiscard]] uint32_t DeleteLimitSetting(const IniFile& jobIni);
// "Settings"/"KeepVersions" of a settings file: how many days the versions of deleted and replaced files are
// kept (0-36500; 0 keeps none); 30 when the key is absent or holds anything else.
[[nodiscard]] uint32_t KeepVersionsSetting(const IniFile& jobIni);

// Turns the "source=destination" lines of a version-0 store (those without "<|>") into numbered "<|>"
// lines in their place, leaves lines already in the numbered form as they are, sets version 1 and saves
// the store unless it refuses writing back to its file. Returns the number of lines converted.
size_t UpgradeSettings(IniFile& store);

// The number of checked pairs in a settings file, or -1 when it has no "Folders" section or could not be
// read (a missing file included). A version-0 file is upgraded and saved on the way, unless the store
// refuses writing back to it.
[[nodiscard]] int InspectSettingsFile(WideView path);
