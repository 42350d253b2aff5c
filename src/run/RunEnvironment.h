#pragma once
// What a run, and every window that starts one, takes from the process: the two stores, the error log,
// the progress of the one run a process may have at a time, and the system's version.

#include "engine/ErrorLog.h"
#include "engine/RunHistory.h"
#include "engine/RunProgress.h"
#include "ini/IniFile.h"

#include <cstdint>

// How much an instance may show and ask. The values are stored and passed between instances.
enum class UiMode : uint8_t {
  kNormal = 0,
  kPassive = 1,  // windows shown, nothing asked, the process ends after the run
  kQuiet = 3,    // nothing shown at all
};

struct RunEnvironment {
  IniFile& appIni;  // the program's own settings, with the remembered server certificates
  IniFile& jobIni;  // the backup settings file in hand
  ErrorLog& errorLog;
  RunProgress& progress;
  double osVersion = 0;
  RunHistory* history = nullptr;  // where each run is recorded; none in tests that do not look
};
