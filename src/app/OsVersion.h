#pragma once

// Windows version as major + minor / 10 (6.1 for Windows 7, 10 for Windows 10, 11 for Windows 11).
// Callers only tell apart below 6, below 6.2, and 6.2 or higher.
[[nodiscard]] double QueryOsVersion();
