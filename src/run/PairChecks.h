#pragma once
// What a folder pair must be before a run touches either side: paths that mean the same whatever the
// current folder is, free of control characters, and two sides that are neither one folder nor nested.

#include "base/WideString.h"
#include "jobs/FtpLocation.h"

// A character below U+0020 in a path: a zero ends the path early for the system, the others name
// something the user did not mean.
[[nodiscard]] bool HasControlCharacter(WideView text);
// The text with its control characters shown as "?", fit for the log.
[[nodiscard]] WideString Printable(WideView text);

// "D:\..." or "\\server\share\..." (a slash counts as a backslash): a path that does not depend on the
// current folder, which for a scheduled run is the system's.
[[nodiscard]] bool IsFullPath(WideView path);

// Whether two local folders are one, or one lies inside the other, after their full form, 8.3 names
// spelt out and case are taken into account. Copying would then feed on itself, and Strict would delete
// from the source what it had just backed up.
[[nodiscard]] bool LocalFoldersOverlap(WideView a, WideView b);
// The same for two directories on FTP servers: the same server and port, and nested directories.
[[nodiscard]] bool RemoteFoldersOverlap(const FtpLocation& a, const FtpLocation& b);
