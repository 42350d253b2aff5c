#pragma once
// The update check: ask the update site for the current version and, when it is newer than this program,
// replace the program's executable with the new one.

#include "base/AppPaths.h"
#include "ini/IniFile.h"
#include "run/RunEnvironment.h"
#include "ui/UiWindow.h"

#include <optional>

enum class UpdateOutcome {
  kNothingInstalled,
  kNewVersionInstalled,  // the executable was replaced; the caller restarts it
};

// The site asked when the application INI file sets none ("Settings"/"UpdateSite").
inline constexpr WideView kDefaultUpdateSite = L"https://update.brimlark.example";

// "Settings"/"UpdateSite" of the application INI file without its trailing "/", or kDefaultUpdateSite when
// it is absent or empty; none when it is set to anything but an https:// address: the new executable's
// digest comes from the site itself, so it is only worth something over a connection that proves the
// site is the one asked for.
[[nodiscard]] std::optional<WideString> UpdateSite(const IniFile& appIni);

// Asks the update site for its version ("/brimlark_backup/checkversion.php": a version number in the
// first line, "sha256=" and the new executable's digest in another). When that is newer than this
// program, downloads "/brimlark_backup/Brimlark.exe" beside the executable under a partial name, and
// only once it is whole, is the file the site announced (its SHA-256) and is a Windows program, moves the
// running executable to paths.updateTempPath and the new one into its place. At no point is the program
// on disk missing or broken: every failure, a cancel included, leaves the old executable where it was.
// In Normal mode the "Auto Update" window shows the work (over owner when one is given), and its Cancel
// ends it; Passive and Quiet show nothing.
UpdateOutcome RunUpdateCheck(const AppPaths& paths, const IniFile& appIni, UiMode uiMode, UiWindow* owner = nullptr);

