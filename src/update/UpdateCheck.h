#pragma once

#include "base/AppPaths.h"
#include "run/RunEnvironment.h"

enum class UpdateOutcome {
  kNothingInstalled,
  kNewVersionInstalled,  // the executable was replaced; the caller restarts it
};

// Looks for a newer version, and with the user's consent (or silently outside Normal mode) installs it.
UpdateOutcome RunUpdateCheck(const AppPaths& paths, UiMode uiMode);
