#include "run/RunController.h"

#include "base/FileSystem.h"
#include "engine/FtpSide.h"
#include "engine/LocalSide.h"
#include "engine/Messages.h"
#include "engine/PassRules.h"
#include "engine/TransferPass.h"
#include "engine/Versions.h"
#include "ftp/FtpClient.h"
#include "jobs/FtpLocation.h"
#include "run/PairChecks.h"

#include <windows.h>

#include <optional>

namespace {

constexpr DWORD kFtpTimeoutMs = 30000;
// How often the figures of a copying pass are shown: a few times a second reads well.
constexpr uint64_t kFiguresEveryMs = 250;
// Files copied at once between two local (or network) folders.
constexpr size_t kLocalCopyWorkers = 4;

WideView ModeName(uint32_t runFlags) {
  if (runFlags & kRunSync) return L"Sync";
  if (runFlags & kRunRestore) return L"Restore";
  if (runFlags & kRunStrict) return L"Strict";
  return L"Common";
}

WideString JobNumberText(size_t index, size_t count) {
  return text::Concat(L"job ", text::DecimalUnsigned(index), L" of ", text::DecimalUnsigned(count));
}

// Environment variables in a local path (%UserProfile%\Documents) are expanded before anything else.
WideString ExpandLocalPath(const WideString& path) {
  if (path.find(L'%') == WideString::npos) return path;
  wchar_t buffer[4096];
  DWORD length = ExpandEnvironmentStringsW(path.c_str(), buffer, static_cast<DWORD>(std::size(buffer)));
  if (length == 0 || length > std::size(buffer)) return path;
  return WideString(buffer, length - 1);
}

// What the plan of a deletion pass would delete, for a preview to show as deletions or as held back.
class PlannedDeletions final : public PassPreview {
 public:
  struct Deletion {
    WideString path;
    uint64_t bytes;
  };
  void Planned(PlannedAction, const WideString& path, uint64_t bytes) override { deletions.push_back({path, bytes}); }
  std::vector<Deletion> deletions;
};

// A refusal of the server as "550 No such file or directory."; empty for any other reply.
WideString ReplyText(const FtpReply& reply) {
  if (reply.code < 400) return {};
  return text::FromUtf8(std::to_string(reply.code) + " " + reply.text.substr(0, reply.text.find('\n')));
}

// " (" + the server's refusal + ")" after a failed step on a remote side; empty for a local side.
WideString RefusalOf(const FtpClient* client) {
  if (!client) return {};
  WideString reply = ReplyText(client->lastReply());
  return reply.empty() ? reply : text::Concat(L" (", reply, L")");
}

}  // namespace

WideString ElapsedText(uint64_t seconds) {
  struct Unit {
    uint64_t length;
    const wchar_t* name;
  };
  static constexpr Unit kUnits[] = {
      {604800, L"weeks"}, {86400, L"days"}, {3600, L"hours"}, {60, L"minutes"}, {1, L"seconds"}};
  std::vector<WideString> parts;
  for (const Unit& unit : kUnits) {
    uint64_t count = seconds / unit.length;
    seconds %= unit.length;
    if (count == 0) continue;
    WideString name = unit.name;
    if (count == 1) name.pop_back();
    parts.push_back(text::Concat(text::DecimalUnsigned(count), L" ", name));
  }
  if (parts.empty()) return L"0 seconds";
  WideString result = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) text::Append(result, i + 1 == parts.size() ? L" and " : L", ", parts[i]);
  return result;
}

size_t FtpTransfersSetting(const IniFile& appIni) {
  auto transfers = text::ParseBoundedDecimal(text::View(appIni.GetString(L"Settings", L"FtpTransfers", L"")), 1,
                                             kMaxFtpTransfers);
  return transfers ? static_cast<size_t>(*transfers) : kDefaultFtpTransfers;
}

uint32_t RunFlagsOf(const BackupOptions& options) {
  return static_cast<uint32_t>(options.mode) | (options.useUpdateMethod ? uint32_t{kRunUpdateMethod} : 0u);
}

void RunController::Prepare(const BackupOptions& options) {
  progress_.ResetForRun();
  runFlags_ = RunFlagsOf(options);
  skipAttributes_ = options.skipAttributes;
  if (!copyBuffer_) copyBuffer_ = std::make_unique<unsigned char[]>(kCopyBufferSize);
}

RunSummary RunController::Run(const JobList& jobs) {
  RunSummary summary;
  restoring_ = (runFlags_ & kRunRestore) != 0;
  summary.restoring = restoring_;
  uint64_t runStartTick = GetTickCount64();
  GetLocalTime(&runStart_);
  versionsStamp_ = VersionStamp(runStart_);
  view_.Open(restoring_ ? L"Restore operation progress" : L"Backup operation progress");

  std::vector<const FolderPair*> checked;
  for (const FolderPair& pair : jobs.rows()) {
    if (pair.checked) checked.push_back(&pair);
  }

  for (size_t i = 0; i < checked.size(); ++i) {
    uint64_t started = GetTickCount64();
    if (preview_) preview_->BeginJob(*checked[i]);
    JobOutcome outcome = RunJob(*checked[i], i + 1, checked.size());
    if (preview_) preview_->EndJob(outcome != JobOutcome::kSkipped);
    RecordJob(*checked[i], outcome, started);
    // The job's counters are reset per job; the run's summary covers all of them. A pair that could not
    // be set up is counted as such, not as the files it never reached.
    if (outcome != JobOutcome::kSkipped) summary.failures += progress_.failureCount.load(std::memory_order_relaxed);
    summary.newerInTarget += progress_.newerInTarget.load(std::memory_order_relaxed);
    summary.filesCopied += progress_.filesCopied.load(std::memory_order_relaxed);
    summary.bytesCopied += progress_.bytesCopied.load(std::memory_order_relaxed);
    summary.replaced += progress_.filesReplaced.load(std::memory_order_relaxed);
    summary.deleted += progress_.entriesDeleted.load(std::memory_order_relaxed);
    summary.keptAsVersions += progress_.versionsKept.load(std::memory_order_relaxed);
    summary.heldBack += progress_.deletionsHeldBack.load(std::memory_order_relaxed);
    summary.seconds = (GetTickCount64() - runStartTick) / 1000;
    if (outcome == JobOutcome::kSkipped || outcome == JobOutcome::kNotFinished) ++summary.jobsSkipped;
    if (outcome == JobOutcome::kDone) ++summary.jobsRun;
    if (outcome == JobOutcome::kCancelled) {
      summary.result = RunResult::kCancelled;
      RecordEnd(summary);
      view_.Close();
      return summary;
    }
  }
  // Recorded before the completion action, which may end the session.
  RecordEnd(summary);
  if (!preview_) summary.result = CarryOutCompletion();
  view_.Close();
  return summary;
}

int ExitCodeOf(const RunSummary& summary) {
  if (summary.result == RunResult::kCancelled) return kExitCancelled;
  if (summary.failures != 0 || summary.jobsSkipped != 0) return kExitFailures;
  return kExitSuccess;
}

void RunController::RecordJob(const FolderPair& pair, JobOutcome outcome, uint64_t startTick) {
  if (!history_) return;
  JobRecord record;
  record.settingsFile = settingsFile_;
  record.source = pair.source;
  record.destination = pair.destination;
  record.mode = text::Concat(ModeName(runFlags_), (runFlags_ & kRunUpdateMethod) && !(runFlags_ & kRunSync) ? L" update" : L"");
  record.result = outcome == JobOutcome::kDone ? L"done" : outcome == JobOutcome::kCancelled ? L"cancelled" : L"not backed up";
  record.filesCopied = progress_.filesCopied.load();
  record.bytesCopied = progress_.bytesCopied.load();
  record.replaced = progress_.filesReplaced.load();
  record.deleted = progress_.entriesDeleted.load();
  record.heldBack = progress_.deletionsHeldBack.load();
  record.keptAsVersions = progress_.versionsKept.load();
  record.newerInTarget = progress_.newerInTarget.load();
  record.failures = progress_.failureCount.load();
  record.seconds = (GetTickCount64() - startTick) / 1000;
  SYSTEMTIME now;
  GetLocalTime(&now);
  (void)history_->Append(JobHistoryLine(now, record));
}

void RunController::RecordEnd(const RunSummary& summary) {
  if (!history_) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  (void)history_->Append(RunEndHistoryLine(now, settingsFile_, ExitCodeOf(summary)));
}

std::vector<RunController::PlannedPass> RunController::PlanPasses(size_t index, size_t count) const {
  WideString job = JobNumberText(index, count);
  if (preview_) {
    WideString status = text::Concat(L"Preview, ", job);
    if (restoring_) return {{true, runFlags_, status}};
    if (runFlags_ & kRunStrict) return {{false, runFlags_ & ~uint32_t{kRunStrict}, status}, {true, runFlags_, status}};
    if (runFlags_ & kRunSync) return {{false, runFlags_ | kRunUpdateMethod, status}, {true, runFlags_ | kRunUpdateMethod, status}};
    return {{false, runFlags_, status}};
  }
  WideString second = text::Concat(L"Synchronizing, ", job);
  if (restoring_) return {{true, runFlags_, text::Concat(L"Restoring files, ", job)}};
  WideString first = text::Concat(L"Copying files, ", job);
  // Strict copies first and then walks the destination against the source, deleting what it lacks.
  if (runFlags_ & kRunStrict) return {{false, runFlags_ & ~uint32_t{kRunStrict}, first}, {true, runFlags_, second}};
  // Sync compares in both directions, whatever the update-method box says.
  if (runFlags_ & kRunSync) {
    uint32_t compare = runFlags_ | kRunUpdateMethod;
    return {{false, compare, first}, {true, compare, second}};
  }
  return {{false, runFlags_, first}};
}

bool RunController::PrepareSide(JobSide& side) {
  // A stored FTP location that cannot be deciphered is still no local folder.
  side.remote = KindOfLocation(*side.shown) == LocationKind::kFtp || text::StartsWith(*side.shown, kStoredFormPrefix) ||
                text::StartsWith(*side.stored, kStoredFormPrefix);
  if (side.remote) {
    side.location = ReadLocation(side.stored->empty() ? *side.shown : *side.stored);
    if (!side.location) return Skip(messages::kCouldNotGetFtpInfo, *side.shown);
    if (HasControlCharacter(side.location->remoteDirectory)) return Skip(messages::kNotAValidPath, Printable(*side.shown));
    if (!side.location->PortNumber()) return Skip(messages::kNotAValidFtpLocation, *side.shown);
    side.root = side.location->remoteDirectory.empty() ? WideString(L"/") : side.location->remoteDirectory;
    return true;
  }
  // A control character would end the path early for the system (a zero) or name something else.
  if (HasControlCharacter(*side.shown)) return Skip(messages::kNotAValidPath, Printable(*side.shown));
  WideString expanded = ExpandLocalPath(*side.shown);
  if (HasControlCharacter(expanded)) return Skip(messages::kNotAValidPath, Printable(expanded));
  // A relative path would depend on the current folder, which for a scheduled run is the system's.
  if (!IsFullPath(expanded)) return Skip(messages::kNotAFullPath, *side.shown);
  side.root = CanonicalPath(expanded);
  return true;
}

bool RunController::ConnectSide(JobSide& side) {
  if (!side.remote) {
    side.maker = [this]() -> std::unique_ptr<Side> {
      return localSideMaker_ ? localSideMaker_() : std::make_unique<LocalSide>();
    };
    side.walker = side.maker();
    return true;
  }
  const FtpLocation& location = *side.location;
  side.client = std::make_unique<FtpClient>();
  FtpConnectOptions options{location.server, *location.PortNumber(), location.userName, location.password,
                            location.UsesPassive(), kFtpTimeoutMs};
  options.useTls = location.UsesSsl();
  options.pins = pins_;
  if (!side.client->Connect(options)) {
    // A refused TLS or a changed certificate is said after the usual text, or else the server's refusal
    // (a wrong password, say).
    WideString reason = side.client->failureReason();
    if (reason.empty()) reason = ReplyText(side.client->lastReply());
    log_.Log(messages::kCouldNotConnect, location.server, messages::kAtPort,
             reason.empty() ? location.port : text::Concat(location.port, L" (", reason, L")"));
    progress_.AddFailure();
    return false;
  }
  // A relative directory is taken from where the login put us, once: every listing enters its folder,
  // so a relative path would be read from a different place each time.
  if (side.root[0] != L'/') {
    WideString home;
    if (!side.client->QueryCurrentDirectory(home)) return Skip(messages::kCouldNotGetFtpInfo, *side.shown);
    side.root = text::Concat(home, L"/", side.root);
  }
  while (side.root.find(L"//") != WideString::npos) side.root = text::ReplaceAll(side.root, L"//", L"/");
  side.walker = std::make_unique<FtpSide>(*side.client);
  // A worker's connection: the same server, user and options; its paths are absolute, so where its login
  // puts it does not matter. One that cannot connect now gives nothing, and its worker retires.
  side.maker = [this, options]() -> std::unique_ptr<Side> {
    auto client = std::make_unique<FtpClient>();
    if (!client->Connect(options)) return nullptr;
    return std::make_unique<FtpSide>(std::move(client), progress_.breaker);
  };
  return true;
}

RunController::JobOutcome RunController::RunJob(const FolderPair& pair, size_t index, size_t count) {
  progress_.ResetForJob();
  currentPair_ = &pair;
  view_.ShowStatus(L"Preparing...");
  view_.ShowMarquee(true);
  view_.ShowLocations(text::Concat(L"Source: ", pair.source), text::Concat(L"Destination: ", pair.destination));

  // Each FTP side gets a connection of its own for this job, even to the same server; the connections
  // close with the job, and nothing may point at them afterwards.
  JobSide sides[2];
  struct ForgetConnections {
    FtpClient** clients;
    ~ForgetConnections() { clients[0] = clients[1] = nullptr; }
  } forgetConnections{activeClients_};
  if (!OpenSides(pair, sides) || !CheckSides(sides)) return JobOutcome::kSkipped;

  std::vector<PlannedPass> passes = PlanPasses(index, count);
  jobStartTick_ = GetTickCount64();
  nextStatusMark_ = 1000;
  showFigures_ = false;
  if (JobOutcome expired = ExpireOldVersions(sides); expired != JobOutcome::kDone) return expired;
  if (JobOutcome counted = CountJob(passes[0], sides); counted != JobOutcome::kDone) return counted;
  view_.ShowMarquee(false);
  progress_.progressPermille = 0;
  lastPermille_ = UINT32_MAX;
  for (size_t i = 0; i < passes.size(); ++i) {
    if (i > 0) {
      progress_.StartPass();
      view_.ShowProgress(0);
    }
    if (passes[i].runFlags & kRunStrict) {
      bool goAhead = true;
      if (JobOutcome guarded = GuardDeletions(passes[i], sides, goAhead); guarded != JobOutcome::kDone) return guarded;
      if (!goAhead) continue;
    }
    if (JobOutcome done = Transfer(passes[i], sides); done != JobOutcome::kDone) return done;
  }
  return JobOutcome::kDone;
}

bool RunController::OpenSides(const FolderPair& pair, JobSide (&sides)[2]) {
  sides[0].shown = &pair.source;
  sides[0].stored = &pair.sourceLocation;
  sides[1].shown = &pair.destination;
  sides[1].stored = &pair.destinationLocation;
  // Both sides are checked before anything is touched on either.
  if (!PrepareSide(sides[0]) || !PrepareSide(sides[1])) return false;
  bool overlap = sides[0].remote != sides[1].remote ? false
                 : sides[0].remote ? RemoteFoldersOverlap(*sides[0].location, *sides[1].location)
                                   : LocalFoldersOverlap(sides[0].root, sides[1].root);
  if (overlap) {
    log_.Log(messages::kSourceAndDestinationOverlap, pair.source, messages::kOverlapJoin, pair.destination);
    progress_.AddFailure();
    return false;
  }
  if (!ConnectSide(sides[0]) || !ConnectSide(sides[1])) return false;
  activeClients_[0] = sides[0].client.get();
  activeClients_[1] = sides[1].client.get();
  return true;
}

bool RunController::CheckSides(const JobSide (&sides)[2]) {
  // What the first pass reads must be there; for a remote side, the server must be able to enter it.
  const JobSide& read = restoring_ ? sides[1] : sides[0];
  if (read.remote ? !read.client->ChangeDirectory(read.root) : !IsExistingFolder(read.root)) {
    return Skip(restoring_ ? messages::kRestoringSourceNotFound : messages::kSourceDirectoryNotFound,
                text::Concat(*read.shown, RefusalOf(read.client.get())));
  }
  // A preview makes nothing: the pass says that the root would be made.
  const JobSide& written = restoring_ ? sides[0] : sides[1];
  if (!preview_ && !written.remote && !CreateFolder(written.root)) {
    return Skip(messages::kCouldNotCreateDestinationFolder, written.root);
  }
  return true;
}

RunController::JobOutcome RunController::ExpireOldVersions(JobSide (&sides)[2]) {
  if (preview_ || keepVersions_ == 0) return JobOutcome::kDone;
  bool changesSource = restoring_ || (runFlags_ & kRunSync);
  bool changesDestination = !restoring_;
  return RunWorker([&] {
    if (changesSource) ExpireVersions(*sides[0].walker, sides[0].root, keepVersions_, runStart_, log_, progress_);
    if (changesDestination) ExpireVersions(*sides[1].walker, sides[1].root, keepVersions_, runStart_, log_, progress_);
  });
}

RunController::JobOutcome RunController::CountJob(const PlannedPass& first, JobSide (&sides)[2]) {
  JobSide& read = first.reversed ? sides[1] : sides[0];
  statusText_ = L"Enumerating files.";
  view_.ShowStatus(statusText_);
  // The counting pass runs once; later passes reuse its totals.
  return RunWorker([&] { (void)RunCountingPass(*read.walker, read.root, skipAttributes_, progress_); });
}

RunController::JobOutcome RunController::GuardDeletions(const PlannedPass& pass, JobSide (&sides)[2], bool& goAhead) {
  DeletionPlan plan;
  PlannedDeletions planned;
  if (JobOutcome outcome = Transfer(pass, sides, &plan, preview_ ? &planned : nullptr); outcome != JobOutcome::kDone) {
    return outcome;
  }
  progress_.StartPass();
  // A source that lists empty is far more often a drive that came back empty, or the wrong folder, than a
  // wish to delete the whole backup.
  bool everything = plan.sourceRootEmpty && plan.destinationHoldsAny;
  bool tooMany = deleteLimit_ < 100 && plan.files > 10 && plan.files * 100 > uint64_t{deleteLimit_} * plan.destinationFiles;
  if (preview_) {
    // The plan was the preview's deletion pass: nothing follows it.
    for (const auto& deletion : planned.deletions) {
      preview_->Planned(everything || tooMany ? PlannedAction::kHeld : PlannedAction::kDelete, deletion.path,
                        deletion.bytes);
    }
    goAhead = false;
    return JobOutcome::kDone;
  }
  if (!everything && !tooMany) return JobOutcome::kDone;
  WideString files = text::DecimalUnsigned(plan.files);
  WideString all = text::DecimalUnsigned(plan.destinationFiles);
  if (!unattended_ && view_.ConfirmDeletions(text::Concat(L"This backup would delete ", files, L" of the ", all,
                                                          L" files in ", currentPair_->destination, L". Delete them?"))) {
    return JobOutcome::kDone;
  }
  log_.Log(messages::kDeletionsHeldBack, text::Concat(files, L" of ", all, L" files"), messages::kWouldBeDeletedIn,
           currentPair_->destination);
  progress_.deletionsHeldBack = plan.files;
  if (unattended_) progress_.AddFailure();
  goAhead = false;
  return JobOutcome::kDone;
}

RunController::JobOutcome RunController::Transfer(const PlannedPass& pass, JobSide (&sides)[2], DeletionPlan* plan,
                                                  PassPreview* planPreview) {
  JobSide& from = pass.reversed ? sides[1] : sides[0];
  JobSide& to = pass.reversed ? sides[0] : sides[1];
  PassContext context{*from.walker, *to.walker, from.root, to.root, pass.runFlags, skipAttributes_, copyBuffer_.get()};
  context.copyWorkers = from.remote || to.remote ? ftpTransfers_ : kLocalCopyWorkers;
  context.makeSource = from.maker;
  context.makeTarget = to.maker;
  // Strict makes the destination like the source, so a folder standing where a file goes is replaced (and
  // the other way round); Sync's second pass meets the same clash from the other side, already reported.
  bool strictCopy = (runFlags_ & kRunStrict) && !(pass.runFlags & kRunStrict);
  bool secondSyncPass = (runFlags_ & kRunSync) && pass.reversed;
  context.clashes = strictCopy ? ClashRule::kReplace : secondSyncPass ? ClashRule::kIgnore : ClashRule::kReport;
  context.plan = plan;
  context.preview = plan ? planPreview : preview_;
  if (keepVersions_ > 0) context.versionsStamp = versionsStamp_;
  statusText_ = pass.status;
  view_.ShowStatus(statusText_);
  // The plan of a deletion pass is quick and copies nothing: its figures would only flicker.
  showFigures_ = plan == nullptr;
  pace_.Start(GetTickCount64());
  nextStatusMark_ = GetTickCount64() - jobStartTick_ + kFiguresEveryMs;
  JobOutcome outcome = RunWorker([&] { RunTransferPass(context, progress_, log_); });
  showFigures_ = false;
  return outcome;
}

namespace {

DWORD WINAPI WorkerEntry(void* parameter) {
  (*static_cast<const std::function<void()>*>(parameter))();
  return 0;
}

// How often progress and the elapsed time are looked at while nothing else happens.
constexpr DWORD kRefreshMs = 20;
// How long a cancelled worker has to reach its next cancellation point before its system calls are cut.
constexpr ULONGLONG kGracePeriodMs = 2000;

// Waits until the worker ends (true), input for the thread's windows arrives, or timeoutMs pass. The view
// pumps what arrived, so that its window stays live however long a single chunk takes.
bool WaitForWorker(HANDLE worker, DWORD timeoutMs) {
  return MsgWaitForMultipleObjectsEx(1, &worker, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

}  // namespace

RunController::JobOutcome RunController::RunWorker(const std::function<void()>& body) {
  void* parameter = const_cast<std::function<void()>*>(&body);
  UniqueKernelHandle worker(startWorker_ ? startWorker_(WorkerEntry, parameter)
                                         : CreateThread(nullptr, 0, WorkerEntry, parameter, 0, nullptr));
  if (!worker) {
    // Nothing ran: the pair is reported as not backed up, never as done with nothing to do.
    DWORD error = GetLastError();
    log_.Log(messages::kCouldNotStartWorker, currentPair_->source, messages::kOverlapJoin,
             text::Concat(currentPair_->destination, L" (error ", text::DecimalUnsigned(error), L")"));
    return JobOutcome::kNotFinished;
  }
  bool cancelled = false;
  while (!WaitForWorker(worker.get(), kRefreshMs)) {
    ProgressEvent event = view_.NextEvent();
    if (event == ProgressEvent::kCancel) {
      if (HandleCancel()) {
        cancelled = true;
        break;
      }
    } else if (event == ProgressEvent::kPauseToggle) {
      bool pausing = !progress_.pause.IsPaused();
      if (pausing) {
        progress_.pause.Pause();
        view_.ShowStatus(L"Paused. Press \"Resume\" to continue.");
      } else {
        progress_.pause.Resume();
        pace_.Start(GetTickCount64());  // the pause is no part of the pace
        view_.ShowStatus(statusText_);
      }
      view_.ShowPaused(pausing);
    } else {
      RefreshWhileWaiting();
    }
  }

  if (cancelled) {
    progress_.RequestCancel();  // also lets a paused worker go on to its cancellation point
    // The view is pumped all along, so that the window never stops answering while the worker winds down.
    ULONGLONG graceEnd = GetTickCount64() + kGracePeriodMs;
    while (!WaitForWorker(worker.get(), kRefreshMs) && GetTickCount64() < graceEnd) (void)view_.NextEvent();
    // A worker still blocked after the grace period is stuck in a system call (a share that stopped
    // answering): cancel that call and keep waiting. Killing the thread could leave locks held.
    while (!WaitForWorker(worker.get(), 100)) {
      (void)view_.NextEvent();
      CancelSynchronousIo(worker.get());
      for (FtpClient* client : activeClients_) {
        if (client) client->Abort();  // a server that stopped answering
      }
      progress_.breaker.BreakAll();  // the same for the copy workers and their connections
    }
  }
  return cancelled || progress_.CancelRequested() ? JobOutcome::kCancelled : JobOutcome::kDone;
}

bool RunController::Skip(WideView prefix, WideView text) {
  log_.Log(prefix, text);
  progress_.AddFailure();
  return false;
}

bool RunController::HandleCancel() {
  // A preview changes nothing: there is nothing to ask about.
  if (preview_) return true;
  // Nothing goes on while the user decides; No lets the run go on as it was, paused or not.
  bool wasPaused = progress_.pause.IsPaused();
  if (!wasPaused) progress_.pause.Pause();
  bool cancel = view_.ConfirmCancel(restoring_ ? L"Are you sure you want to cancel the restore operation?"
                                               : L"Are you sure you want to cancel the backup operation?");
  if (!cancel && !wasPaused) {
    progress_.pause.Resume();
    pace_.Start(GetTickCount64());
  }
  return cancel;
}

void RunController::RefreshWhileWaiting() {
  uint32_t permille = progress_.progressPermille.load(std::memory_order_relaxed);
  if (permille != lastPermille_) {
    lastPermille_ = permille;
    view_.ShowProgress(permille);
  }
  if (progress_.pause.IsPaused()) return;
  uint64_t now = GetTickCount64();
  uint64_t elapsedMs = now - jobStartTick_;
  if (showFigures_) {
    pace_.Add(now, progress_.bytesDone.load(std::memory_order_relaxed), permille);
  }
  if (elapsedMs < nextStatusMark_) return;
  // The elapsed time once a second; while files are copied, the figures a few times a second.
  uint64_t seconds = elapsedMs / 1000;
  WideString status = seconds == 0 ? statusText_ : text::Concat(statusText_, L" | ", ElapsedText(seconds), L" elapsed");
  if (showFigures_) {
    text::Append(status, L"\r\n",
                 PassFiguresText(progress_.itemsDone.load(std::memory_order_relaxed),
                                 progress_.totalItems.load(std::memory_order_relaxed),
                                 progress_.bytesDone.load(std::memory_order_relaxed),
                                 progress_.totalBytes.load(std::memory_order_relaxed), pace_));
    nextStatusMark_ = elapsedMs + kFiguresEveryMs;
  } else {
    nextStatusMark_ = (seconds + 1) * 1000;
  }
  view_.ShowStatus(status);
}

RunResult RunController::CarryOutCompletion() {
  int choice = view_.CompletionChoice();
  switch (choice) {
    case -1:
    case static_cast<int>(CompletionAction::kDoNothing): return RunResult::kFinished;
    case static_cast<int>(CompletionAction::kCloseApplication): return RunResult::kFinishedAndClose;
    case static_cast<int>(CompletionAction::kLogOff): power_.LogOff(); return RunResult::kFinishedAndClose;
    case static_cast<int>(CompletionAction::kSleep): power_.Sleep(false); return RunResult::kFinished;
    case static_cast<int>(CompletionAction::kHibernate): power_.Sleep(true); return RunResult::kFinished;
    case static_cast<int>(CompletionAction::kShutDown): power_.ShutDown(osVersion_ >= 6.2); return RunResult::kFinishedAndClose;
    case static_cast<int>(CompletionAction::kRestart): power_.Restart(); return RunResult::kFinishedAndClose;
    default: return RunResult::kFinishedAndClose;
  }
}
