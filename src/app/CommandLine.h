#pragma once
// What the command line asks this instance to do.

#include "base/WideString.h"
#include "run/RunEnvironment.h"

#include <cstdint>

enum StartFlags : uint32_t {
  kStartScheduledBackups = 0x02,
  kStartNoUpdate = 0x20,
};

struct CommandLineRequest {
  UiMode uiMode = UiMode::kNormal;
  uint32_t startFlags = 0;
  WideString settingsFileToLoad;   // the last ".brlk" argument that names an existing file
  // The last ".brlk" argument when it names no existing file; empty when the last one exists or none was
  // given. Normal mode ignores it; an unattended run must end on it rather than run some other file in
  // its place.
  WideString missingSettingsFile;
  // "/Preview" or "/Preview:<report file>": show what a run of the settings file would do, changing nothing.
  bool preview = false;
  WideString previewReport;  // made full; empty for the console
  bool uninstall = false;         // the uninstaller runs and nothing after it is examined
  bool removeUpdateTemp = false;  // the update that started us left its download behind
};

// Switches match the whole argument in any case; the last run-mode switch wins; of the arguments ending in
// ".brlk" the last one wins, as the settings file to load when it names an existing file and as the
// missing settings file otherwise.
[[nodiscard]] CommandLineRequest ParseCommandLine(const wchar_t* commandLine);
