#include "run/ProgressView.h"

#include <windows.h>

ProgressEvent HiddenProgressView::NextEvent() {
  // Nothing to show and nobody to ask: only look again whether the worker has ended.
  Sleep(10);
  return ProgressEvent::kNone;
}
