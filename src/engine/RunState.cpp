#include "engine/RunState.h"

void RunState::ResetForJob() {
  totalBytes = 1;
  bytesDone = 1;
  totalItems = 1;
  itemsDone = 1;
  failureCount = 0;
  progressPermille = 0;
  jobStartTime = {};
  transferKind = TransferKind::kLocalToLocal;
  sourceFile.Close();
  targetFile.Close();
}

void RunState::ResetForRun() {
  ResetForJob();
  cancelRequested = 0;
  runFlags = 0;
  skipAttributes = 0;
}
