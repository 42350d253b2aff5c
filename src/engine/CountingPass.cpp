#include "engine/CountingPass.h"

#include "base/DirectoryIterator.h"
#include "base/FileSystem.h"
#include "engine/FtpPass.h"
#include "engine/LocalPass.h"

namespace {

// A folder that cannot be listed counts as empty, and nothing is logged for it.
bool CountLocalFolder(RunState& state, const WideString& folder) {
  DirectoryIterator entries;
  for (bool found = entries.Open(JoinPath(folder, L"*"), DirectoryIterator::kSkipReparsePoints); found;
       found = entries.Next()) {
    if (entries.IsDirectory()) {
      if (!CountLocalFolder(state, JoinPath(folder, entries.name()))) return false;
    } else if (IsPartialCopyName(entries.name())) {
      continue;  // an unfinished copy of a killed run, which the transfer pass removes
    } else if (state.skipAttributes != 0 && (entries.attributes() & state.skipAttributes)) {
      continue;
    } else {
      state.totalBytes.fetch_add(entries.size(), std::memory_order_relaxed);
    }
    state.totalItems.fetch_add(1, std::memory_order_relaxed);
    if (state.ShouldStop()) return false;
  }
  return true;
}

}  // namespace

bool RunCountingPass(RunState& state) {
  state.totalBytes = 1;
  state.totalItems = 1;
  if (state.transferKind == TransferKind::kFtpToLocal || state.transferKind == TransferKind::kFtpToFtp) {
    return CountFtpTree(state, state.sourceRoot);
  }
  return CountLocalFolder(state, LongPathForm(state.sourceRoot));
}
