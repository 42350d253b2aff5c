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
  WideString settingsFileToLoad;
  bool uninstall = false;         // the uninstaller runs and nothing after it is examined
  bool removeUpdateTemp = false;  // the update that started us left its download behind
};

// Switches match the whole argument in any case; the last run-mode switch wins; an argument naming an
// existing file that ends in ".brlk" is the settings file to load.
[[nodiscard]] CommandLineRequest ParseCommandLine(const wchar_t* commandLine);
