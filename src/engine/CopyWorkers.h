#pragma once
// Copies handed over by a pass's walk and carried out by a few worker threads, each with sides (and so
// connections) of its own and a buffer of its own. Every small file over FTP costs several round trips;
// several connections overlap them. The walk still decides what is copied, in its order and by its rules,
// and creates the folders before it hands over their files.

#include "engine/ErrorLog.h"
#include "engine/FileCopy.h"
#include "engine/RunProgress.h"
#include "engine/Side.h"
#include "base/UniqueHandle.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

// Makes a side for a worker: a new connection for a server, or null when none can be opened now.
using SideMaker = std::function<std::unique_ptr<Side>()>;

struct CopyWorkerSetup {
  size_t workers = 4;
  SideMaker makeSource;
  SideMaker makeTarget;
  CopyTexts texts;
  // The walk's own sides and buffer: when no worker can open its sides (a server that takes one
  // connection only), the walk copies on them itself, as it would without workers.
  Side* walkSource = nullptr;
  Side* walkTarget = nullptr;
  CopyBuffer walkBuffer;
};

class CopyWorkers {
 public:
  CopyWorkers(CopyWorkerSetup setup, RunProgress& progress, ErrorLog& log);
  // Waits for the copies handed over; once cancelled, only for the ones under way.
  ~CopyWorkers();
  CopyWorkers(const CopyWorkers&) = delete;
  CopyWorkers& operator=(const CopyWorkers&) = delete;

  // Hands a copy over, waiting while enough are waiting already (or while a copy to the same target is
  // under way). False once the run is cancelled.
  bool Hand(const WideString& sourcePath, const WideString& targetPath, const SideEntry& entry, OldCopy old = {});
  // Waits until every copy handed over is done. False when the run was cancelled.
  bool Finish();

  // For tests: how many copy buffers exist at most at any one time, the walk's included.
  [[nodiscard]] size_t PeakBuffers() const { return peakBuffers_; }

 private:
  struct Task {
    WideString sourcePath;
    WideString targetPath;
    SideEntry entry;
    WideString targetKey;  // the target path without regard to case
    OldCopy old;
  };

  void StartWorkers();  // with the lock held
  static DWORD WINAPI Entry(void* self);
  void Work();
  // The next task, or false when the workers are to end.
  bool Take(Task& task);
  void Done(const Task& task);
  // Copies what waits on the walk's own sides, when no worker is left to do it.
  bool CopyWaitingOnTheWalk(std::unique_lock<std::mutex>& lock);

  const CopyWorkerSetup setup_;
  RunProgress& progress_;
  ErrorLog& log_;
  const size_t queueLimit_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> waiting_;
  std::unordered_set<WideString> targets_;  // of the copies waiting or under way
  size_t busy_ = 0;                         // copies under way
  size_t working_ = 0;                      // workers that have not retired
  size_t buffers_ = 1;                      // the walk's
  size_t peakBuffers_ = 1;
  bool started_ = false;
  bool closing_ = false;
  std::vector<UniqueKernelHandle> threads_;
};
