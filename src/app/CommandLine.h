#pragma once
// What the command line asks this instance to do.

#include "base/WideString.h"

#include <cstdint>

// How much an instance may show and ask. The values are stored and passed between instances.
enum class UiMode : uint8_t {
  kNormal = 0,
  kPassive = 1,  // windows shown, nothing asked, the process ends after the run
  kQuiet = 3,    // nothing shown at all
};

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
  bool uninstall = false;         // the uninstaller runs and nothing after it is examined
  bool removeUpdateTemp = false;  // the update that started us left its download behind
};

// Switches match the whole argument in any case; the last run-mode switch wins; of the arguments ending in
// ".brlk" the last one wins, as the settings file to load when it names an existing file and as the
// missing settings file otherwise.
[[nodiscard]] CommandLineRequest ParseCommandLine(const wchar_t* commandLine);
