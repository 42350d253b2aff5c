#include "update/UpdateCheck.h"

UpdateOutcome RunUpdateCheck(const AppPaths&, UiMode) {
  // The download and replacement of the executable are not built yet: nothing is ever installed.
  return UpdateOutcome::kNothingInstalled;
}
