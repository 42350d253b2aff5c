#include "run/ProgressView.h"

#include <windows.h>

ProgressEvent HiddenProgressView::NextEvent() {
  // Nothing to show and nobody to ask. Whatever reached the thread's queue is handled all the same, or the
  // controller's wait on the queue would wake for it again and again.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return ProgressEvent::kNone;
}
