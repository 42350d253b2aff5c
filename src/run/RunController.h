#pragma once
// One backup run: every checked pair of the job list as a job, each counted and then transferred on a
// worker thread while the UI thread keeps the progress view alive, then the completion action.

#include "engine/ErrorLog.h"
#include "engine/RunHistory.h"
#include "engine/RunProgress.h"
#include "engine/Side.h"
#include "engine/CopyWorkers.h"
#include "engine/TransferPass.h"
#include "ftp/FtpClient.h"
#include "ini/IniFile.h"
#include "jobs/FtpLocation.h"
#include "jobs/JobModel.h"
#include "run/ProgressView.h"
#include "run/RunFigures.h"
#include "run/SystemPower.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

enum class RunResult : int {
  kNoJobList = 0,
  kCancelled = 1,
  kFinished = 2,          // the application stays open
  kFinishedAndClose = 3,  // the application is to close
};

struct RunSummary {
  RunResult result = RunResult::kFinished;
  uint64_t failures = 0;       // failed entries of the jobs that ran
  uint64_t jobsSkipped = 0;    // jobs that could not be set up, or not started (logged)
  uint64_t jobsRun = 0;
  uint64_t newerInTarget = 0;  // files left alone because their copy is newer
  // What the jobs did, added up over the run.
  uint64_t filesCopied = 0;
  uint64_t bytesCopied = 0;
  uint64_t replaced = 0;        // of the files copied, those that replaced a copy
  uint64_t deleted = 0;
  uint64_t keptAsVersions = 0;  // entries deleted or replaced that were kept in the versions folder
  uint64_t heldBack = 0;        // deletions held back by the guard
  uint64_t seconds = 0;         // the run's time
  bool restoring = false;
};

// Process exit codes of an unattended run, for scripts; the run's record ends with one too.
enum UnattendedExitCode : int {
  kExitSuccess = 0,    // every checked pair was backed up and nothing failed
  kExitFailures = 1,   // the run finished, but entries failed or a job could not be set up (see the log)
  kExitCancelled = 2,  // the run was cancelled
};

[[nodiscard]] int ExitCodeOf(const RunSummary& summary);

inline constexpr size_t kDefaultFtpTransfers = 4;
inline constexpr size_t kMaxFtpTransfers = 16;
// "Settings"/"FtpTransfers" of the application INI file: 1-16, the default for anything else.
[[nodiscard]] size_t FtpTransfersSetting(const IniFile& appIni);

// "1 week and 2 days", "2 hours, 1 minute and 30 seconds", "0 seconds".
[[nodiscard]] WideString ElapsedText(uint64_t seconds);

// The RunFlags of a run from the user's options.
[[nodiscard]] uint32_t RunFlagsOf(const BackupOptions& options);

// What a preview of a run is told: each job as it begins and ends, and each thing its passes would do.
class RunPreview : public PassPreview {
 public:
  virtual void BeginJob(const FolderPair& pair) = 0;
  // setUp: false when the pair could not be set up (logged), and nothing was looked at.
  virtual void EndJob(bool setUp) = 0;

 protected:
  ~RunPreview() = default;
};

class RunController {
 public:
  RunController(RunProgress& progress, ErrorLog& log, ProgressView& view, SystemPower& power, double osVersion)
      : progress_(progress), log_(log), view_(view), power_(power), osVersion_(osVersion) {}

  // Where certificates of FTPS servers that the system does not trust are remembered; without it such
  // servers are refused.
  void SetCertificatePins(CertificatePins* pins) { pins_ = pins; }
  // How many files each job copies at once when a side is on a server, each over connections of its own
  // (1-16; 1 copies one file after another on the job's own connections).
  void SetFtpTransfers(size_t transfers) { ftpTransfers_ = std::clamp<size_t>(transfers, 1, kMaxFtpTransfers); }
  // Makes the side of each local folder; tests put in one that reads slowly.
  void SetLocalSideMaker(std::function<std::unique_ptr<Side>()> maker) { localSideMaker_ = std::move(maker); }
  // The share of a destination's files (percent, 1-100; 100: no such limit) that Strict may delete without
  // holding the deletions back; a source root with nothing in it holds them back whatever the limit.
  void SetDeleteLimit(uint32_t percent) { deleteLimit_ = std::clamp<uint32_t>(percent, 1, 100); }
  // Where each job and the run's end are recorded, and the settings file the run came from.
  void SetHistory(RunHistory* history, WideString settingsFile) {
    history_ = history;
    settingsFile_ = std::move(settingsFile);
  }
  // How many days the versions of deleted and replaced files are kept (a run folder each, under
  // "Brimlark versions" at the root of the side the run changes); 0: none are kept, and those there stay.
  void SetKeepVersions(uint32_t days) { keepVersions_ = days; }
  // A preview: the run goes the same way and tells preview of everything it would do, but changes
  // nothing on either side (no folders, versions or leftovers cleared), asks nothing, records nothing and
  // carries out no completion action.
  void SetPreview(RunPreview* preview) {
    preview_ = preview;
    if (preview) unattended_ = true;
  }
  // Passive and Quiet: nothing is asked; deletions the guard holds back are a failure of the run.
  void SetUnattended(bool unattended) { unattended_ = unattended; }
  // Starts the thread that runs a pass (CreateThread); tests put in one that fails.
  using WorkerStarter = std::function<HANDLE(LPTHREAD_START_ROUTINE entry, void* parameter)>;
  void SetWorkerStarter(WorkerStarter starter) { startWorker_ = std::move(starter); }

  // Resets the progress for a new run and takes the options.
  void Prepare(const BackupOptions& options);
  // Runs every checked row in order.
  RunSummary Run(const JobList& jobs);

 private:
  enum class JobOutcome {
    kDone,
    kSkipped,      // could not be set up: nothing was touched
    kCancelled,
    kNotFinished,  // a pass could not be started; what ran before it stands
  };
  // One side of a job: the text the user gave, where it points, and its connection when it is remote.
  struct JobSide {
    const WideString* shown = nullptr;
    const WideString* stored = nullptr;
    bool remote = false;
    std::optional<FtpLocation> location;
    std::unique_ptr<FtpClient> client;
    std::unique_ptr<Side> walker;  // how the passes reach it
    SideMaker maker;               // another way in, for a copy worker (a connection of its own)
    WideString root;
  };
  // One transfer pass of a job, planned before any runs.
  struct PlannedPass {
    bool reversed;      // from the destination to the source
    uint32_t runFlags;  // the flags the pass works under; the Strict bit marks the deletion pass
    WideString status;  // the status line while it runs
  };

  JobOutcome RunJob(const FolderPair& pair, size_t index, size_t count);
  // Reads both sides, refuses overlapping ones and connects the remote ones; false when the job cannot run.
  [[nodiscard]] bool OpenSides(const FolderPair& pair, JobSide (&sides)[2]);
  // What the first pass reads must be there, and what it writes must be creatable.
  [[nodiscard]] bool CheckSides(const JobSide (&sides)[2]);
  [[nodiscard]] std::vector<PlannedPass> PlanPasses(size_t index, size_t count) const;
  // Reads a side's text into a location and root; false (logged and counted) when it cannot be used.
  [[nodiscard]] bool PrepareSide(JobSide& side);
  // Connects a remote side and makes its root absolute; false (logged and counted) on failure.
  [[nodiscard]] bool ConnectSide(JobSide& side);
  // The counting pass, over what the first pass reads.
  [[nodiscard]] JobOutcome CountJob(const PlannedPass& first, JobSide (&sides)[2]);
  // One transfer pass on a worker.
  // With a plan: the deletion pass only finds what it would delete, and tells planPreview of each.
  [[nodiscard]] JobOutcome Transfer(const PlannedPass& pass, JobSide (&sides)[2], DeletionPlan* plan = nullptr,
                                    PassPreview* planPreview = nullptr);
  // Before a deletion pass: finds what it would delete, and holds it all back (goAhead false, logged) when the
  // source root is empty or more than the limit would go, unless the user says yes to it.
  [[nodiscard]] JobOutcome GuardDeletions(const PlannedPass& pass, JobSide (&sides)[2], bool& goAhead);
  // Logs why a job cannot run and counts it as a failure; false, for the caller to return.
  bool Skip(WideView prefix, WideView text);
  // Runs body on a worker thread and waits for it: kDone, kCancelled, or kNotFinished (logged) when the
  // thread could not be started.
  JobOutcome RunWorker(const std::function<void()>& body);
  [[nodiscard]] bool HandleCancel();
  void RefreshWhileWaiting();
  [[nodiscard]] RunResult CarryOutCompletion();
  void RecordJob(const FolderPair& pair, JobOutcome outcome, uint64_t startTick);
  // Clears run folders older than the kept days from the versions folders of the sides the job changes.
  [[nodiscard]] JobOutcome ExpireOldVersions(JobSide (&sides)[2]);
  void RecordEnd(const RunSummary& summary);

  RunProgress& progress_;
  ErrorLog& log_;
  ProgressView& view_;
  SystemPower& power_;
  double osVersion_;
  bool restoring_ = false;
  uint32_t runFlags_ = 0;  // the run's own flags, as the user chose them
  uint32_t skipAttributes_ = 0;
  std::unique_ptr<unsigned char[]> copyBuffer_;
  uint32_t lastPermille_ = UINT32_MAX;
  CertificatePins* pins_ = nullptr;
  std::function<std::unique_ptr<Side>()> localSideMaker_;
  WorkerStarter startWorker_;
  uint32_t deleteLimit_ = 50;
  uint32_t keepVersions_ = 0;
  WideString versionsStamp_;  // the run's start, as its versions folder is named
  SYSTEMTIME runStart_{};
  RunPreview* preview_ = nullptr;
  RunHistory* history_ = nullptr;
  WideString settingsFile_;
  bool unattended_ = false;
  const FolderPair* currentPair_ = nullptr;
  size_t ftpTransfers_ = kDefaultFtpTransfers;
  FtpClient* activeClients_[2] = {nullptr, nullptr};  // the job's connections, for a forced stop
  uint64_t jobStartTick_ = 0;
  WideString statusText_;  // what the status line says between the elapsed-time updates
  uint64_t nextStatusMark_ = 0;  // milliseconds since the job started
  bool showFigures_ = false;     // while a transfer pass runs
  PassPace pace_;
};
