#pragma once
// Versions: what a run deletes or replaces on a target is moved, not destroyed, into a folder of that run
// under "Brimlark versions" at the target's root ("Brimlark versions\2024-03-07 090503\Docs\a.txt"). The
// folder is the program's own: no pass lists, counts, copies or deletes it.

#include "engine/ErrorLog.h"
#include "engine/RunProgress.h"
#include "engine/Side.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

inline constexpr WideView kVersionsFolderName = L"Brimlark versions";

// Removes an entry of that name from a listing of a root.
void LeaveOutVersionsFolder(std::vector<SideEntry>& entries);

// A run's folder name: its start in local time, "2024-03-07 090503".
[[nodiscard]] WideString VersionStamp(const SYSTEMTIME& localTime);
// The local time a run folder's name stands for ("2024-03-07 090503", or with " (2)" after it); nothing
// for a name of any other form.
[[nodiscard]] std::optional<FILETIME> ParseVersionStamp(WideView name);

// Where a pass keeps what it deletes or replaces: the root of the side it changes and the run's stamp.
struct VersionsPlace {
  WideString root;
  WideString stamp;
};

// Moves an entry of the side to the same path below the run's folder; where that folder holds the path
// already (a run that started in the same second), below "<stamp> (2)", and so on. keptAt: where it went.
[[nodiscard]] MoveOutcome KeepVersion(Side& side, const VersionsPlace& place, const WideString& path,
                                      WideString& keptAt);

// Removes the run folders under root's versions folder whose names are dates more than keepDays before
// now (local time); anything else there stays. A folder that cannot be removed is logged and counted.
void ExpireVersions(Side& side, const WideString& root, uint32_t keepDays, const SYSTEMTIME& now, ErrorLog& log,
                    RunProgress& progress);
