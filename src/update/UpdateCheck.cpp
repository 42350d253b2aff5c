#include "update/UpdateCheck.h"

#include "app/Application.h"

UpdateOutcome RunUpdateCheck(Application&, UiMode) {
  // The download and replacement of the executable are not built yet: nothing is ever installed.
  return UpdateOutcome::kNothingInstalled;
}
