#pragma once

#include "run/RunController.h"

class Application;

// Process exit codes of an unattended run, for scripts.
enum UnattendedExitCode : int {
  kExitSuccess = 0,    // every checked pair was backed up and nothing failed
  kExitFailures = 1,   // the run finished, but entries failed or a job could not be set up (see the log)
  kExitCancelled = 2,  // the run was cancelled
};

[[nodiscard]] int ExitCodeOf(const RunSummary& summary);

// Backs up every checked pair of the loaded settings file without asking anything (Passive and Quiet run
// modes). Returns the process exit code.
int RunUnattended(Application& app);
