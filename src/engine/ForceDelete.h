#pragma once
// Deleting files, folder trees and wildcard matches against read-only marks and refused permissions.

#include "base/WideString.h"

enum ForceDeleteOptions : unsigned {
  kDeleteScheduleOnReboot = 0x01,  // when immediate deletion fails, delete at the next restart
  kDeleteResetPermissions = 0x02,  // when deletion is refused, reset the permissions and retry
  kDeleteAnnounceFolderUpdate = 0x04,
};

enum class ForceDeleteResult : int {
  kFailed = 0,
  kDeleted = 1,
  kScheduledForRestart = 2,
};

// path may name a file, a folder (deleted with all its content; junctions and links inside are removed as
// links, their targets untouched) or a wildcard pattern in its last component, which deletes the matching
// entries of that folder. A path that does not exist counts as deleted.
[[nodiscard]] ForceDeleteResult ForceDelete(WideView path, unsigned options);
