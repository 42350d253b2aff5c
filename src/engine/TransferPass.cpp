#include "engine/TransferPass.h"

#include "base/FileSystem.h"
#include "engine/Messages.h"
#include "engine/PassRules.h"
#include "engine/Versions.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// What happens to an entry carrying a skipped attribute; the directions differ.
enum class SkipRule {
  kDescendUncounted,    // local to local: a file is left out; a folder is still walked, but not counted
  kSkipEntirely,        // local to FTP: a file or folder is left out, not created, entered or counted
  kSkipFiles,           // FTP to local: a file is left out; folders are never skipped
  kCountThenSkipFiles,  // FTP to FTP: a file is counted, then left out; folders are never skipped
};

// What differs between the four directions of a pass: skip rules, walking order and the log's texts.
struct Direction {
  SkipRule skipRule;
  bool foldersAfterFiles;  // a remote source's subfolders wait until the folder's own files are done
  WideView cannotCreateFolder;
  WideView cannotReadFolder;
  WideView cannotOpenSource;
  WideView cannotOpenTarget;
  WideView cannotRead;
  WideView cannotWrite;

  static Direction Of(const Side& source, const Side& target) {
    using namespace messages;
    bool fromRemote = source.IsRemote();
    bool toRemote = target.IsRemote();
    return Direction{
        fromRemote ? (toRemote ? SkipRule::kCountThenSkipFiles : SkipRule::kSkipFiles)
                   : (toRemote ? SkipRule::kSkipEntirely : SkipRule::kDescendUncounted),
        fromRemote,
        toRemote     ? kCouldNotCreateRemoteDirectory
        : fromRemote ? kCouldNotCreateBackupDestinationFolder
                     : kCouldNotCreateDestinationFolder,
        fromRemote ? kCouldNotReadRemoteFolder : kCouldNotReadFolder,
        fromRemote ? kCouldNotOpenFtpForReading : kCouldNotOpenLocalForReading,
        toRemote ? kCouldNotOpenFtpForWriting : kCouldNotOpenLocalForWriting,
        !fromRemote ? kCouldNotReadLocal : toRemote ? kCouldNotReadFtp : kCouldNotReadRemote,
        toRemote ? kCouldNotWriteFtp : kCouldNotWriteLocal,
    };
  }
};

struct TreeSize {
  uint64_t files = 0;
  uint64_t bytes = 0;
};

// The files in a folder and all its subfolders, links left out; what cannot be listed counts as none.
TreeSize SizeBelow(Side& side, const WideString& folder) {
  std::vector<SideEntry> entries;
  TreeSize size;
  if (side.List(folder, entries, Leftovers::kLeave) != ListOutcome::kListed) return size;
  for (const SideEntry& entry : entries) {
    if (entry.IsLink()) continue;
    if (entry.IsDirectory()) {
      TreeSize below = SizeBelow(side, side.Join(folder, entry.name));
      size.files += below.files;
      size.bytes += below.bytes;
    } else {
      ++size.files;
      size.bytes += entry.size;
    }
  }
  return size;
}

// The attributes a new target folder takes from its source folder.
DWORD FolderAttributes(const SideEntry& folder) {
  DWORD attributes = folder.attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
  return attributes == 0 ? kNoAttributes : attributes;
}

// The entries of one folder on the other side, read with one listing instead of one query per entry
// (which is what makes comparing a large unchanged tree fast). Names are matched without regard to case,
// as the file systems and most servers do; where the folder holds two names that differ only in case (a
// server or share that tells them apart), each is matched by its exact name first.
struct OtherFolder {
  ListOutcome outcome = ListOutcome::kFailed;
  bool incomplete = false;  // listed, but with lines in no known format
  std::unordered_map<WideString, SideEntry> entries;  // by lower-case name, the first of each
  std::unordered_map<WideString, SideEntry> caseTwins;  // by exact name, the others

  [[nodiscard]] bool Listed() const { return outcome == ListOutcome::kListed && !incomplete; }
};

// What is known about an entry's counterpart on the other side.
struct Counterpart {
  bool exists = false;
  bool definitelyMissing = false;
  const SideEntry* entry = nullptr;  // when it exists
};

class TransferWalk {
 public:
  TransferWalk(const PassContext& context, RunProgress& progress, ErrorLog& log)
      : source_(context.source),
        target_(context.target),
        rules_(context.runFlags),
        direction_(Direction::Of(context.source, context.target)),
        skipAttributes_(context.skipAttributes),
        clashes_(context.clashes),
        plan_(rules_.deletionPass ? context.plan : nullptr),
        preview_(context.preview),
        versions_{context.sourceRoot, context.versionsStamp},
        versionsInTarget_{context.targetRoot, context.versionsStamp},
        sourceRoot_(context.sourceRoot),
        otherRoot_(context.targetRoot),
        buffer_(context.copyBuffer),
        progress_(progress),
        log_(log) {}

  [[nodiscard]] CopyTexts Texts() const {
    return CopyTexts{direction_.cannotOpenSource, direction_.cannotOpenTarget, direction_.cannotRead,
                     direction_.cannotWrite};
  }
  // From now on the walk hands its copies to these workers.
  void HandCopiesTo(CopyWorkers* workers) { workers_ = workers; }

  // False when the walk must stop (cancelled, or a deletion pass that lost the other side).
  bool Folder(const WideString& source, const WideString& target, DWORD attributes);

 private:
  // lowerName: the entry's name in lower case, as the other side's entries are looked up.
  bool Entry(const WideString& source, const WideString& target, const SideEntry& entry, const WideString& lowerName,
             const OtherFolder& other, std::vector<const SideEntry*>& laterFolders);
  // A target entry of the other kind (a folder where the file goes, or a file where the folder goes): true
  // when the source entry may go on as if the target had none.
  [[nodiscard]] bool ResolveClash(const SideEntry& entry, const Counterpart& counterpart, const WideString& targetPath);
  [[nodiscard]] OtherFolder ListOther(const WideString& target);
  // In the deletion pass: whether deleting in this folder may begin; sets stop when the walk must end.
  [[nodiscard]] bool DeletionMayGoOn(const WideString& target, bool sourceComplete, const OtherFolder& other,
                                     bool& stop);
  [[nodiscard]] Counterpart CounterpartOf(const OtherFolder& other, const SideEntry& entry,
                                          const WideString& lowerName, const WideString& targetPath);
  void DeleteUnmatched(const Counterpart& counterpart, const WideString& sourcePath, const SideEntry& entry,
                       const WideString& target, const WideString& targetPath, const OtherFolder& other);
  bool CopyFile(const WideString& sourcePath, const WideString& targetPath, const SideEntry& entry,
                const Counterpart& counterpart);
  // Deletes an entry of a side, or moves it to the run's versions folder there.
  [[nodiscard]] bool Remove(Side& side, const VersionsPlace& versions, const WideString& path, bool isFolder);
  [[nodiscard]] bool KeepsVersions() const { return !versions_.stamp.empty(); }
  // Whether the pass may change anything: neither a plan nor a preview does.
  [[nodiscard]] bool Changes() const { return !plan_ && !preview_; }
  [[nodiscard]] bool ListingIsComplete(const Side& side, const WideString& folder);

  // A failure on a side: a server's refusal is said after the path, so that a refused TLS or a full disk
  // is not taken for a missing folder.
  // A plan says nothing: the pass that follows it says it all (in a preview none follows).
  [[nodiscard]] bool Silent() const { return plan_ && !preview_; }
  void Fail(WideView prefix, WideView path, const Side& side) {
    if (Silent()) return;
    log_.Log(prefix, path, side.LastReply());
    progress_.AddFailure();
  }
  void Fail(WideView prefix, WideView path) {
    if (Silent()) return;
    log_.Log(prefix, path);
    progress_.AddFailure();
  }
  [[nodiscard]] Comparison Compare(const SideEntry& source, const SideEntry& target) const {
    return PassRules::Compare(FileTimeValue(source.lastWrite), source.size, FileTimeValue(target.lastWrite),
                              target.size, std::max(source.timePrecision, target.timePrecision));
  }

  Side& source_;
  Side& target_;
  const PassRules rules_;
  const Direction direction_;
  const uint32_t skipAttributes_;
  const ClashRule clashes_;
  DeletionPlan* const plan_;
  PassPreview* const preview_;
  // Where what is deleted (in the side the deletion pass walks) or replaced (in the target) is kept.
  const VersionsPlace versions_;
  const VersionsPlace versionsInTarget_;
  const WideString sourceRoot_;
  const WideString otherRoot_;
  unsigned char* const buffer_;
  RunProgress& progress_;
  ErrorLog& log_;
  CopyWorkers* workers_ = nullptr;
  Probe lookedUp_;  // the last entry asked about on its own
  std::unordered_set<WideString> uncheckedFolders_;  // folders already reported as "could not check"
};

bool TransferWalk::Folder(const WideString& source, const WideString& target, DWORD attributes) {
  if (!rules_.deletionPass && !target_.FolderExists(target)) {
    if (preview_) {
      preview_->Planned(PlannedAction::kFolder, target, 0);
    } else if (!target_.MakeFolder(target, attributes)) {
      Fail(direction_.cannotCreateFolder, target, target_);
      return true;
    }
  }

  // Remote listings are read whole and closed before anything else happens on the connection.
  // The deletion pass walks the side it deletes in; a copying pass writes to the other one. Leftovers of a
  // killed run are cleared only where the pass writes.
  std::vector<SideEntry> entries;
  if (source_.List(source, entries, rules_.deletionPass && Changes() ? Leftovers::kClear : Leftovers::kLeave) !=
      ListOutcome::kListed) {
    // A listing that failed is no empty folder: what it would have shown was neither copied nor compared.
    if (!progress_.CancelRequested()) Fail(direction_.cannotReadFolder, source, source_);
    return !progress_.ShouldStop();
  }
  if (source == sourceRoot_) LeaveOutVersionsFolder(entries);
  bool sourceComplete = ListingIsComplete(source_, source);
  // The other side is listed in every pass: comparisons and the deletion pass read their answers from
  // it, and the listing clears what a killed run left there.
  OtherFolder other = ListOther(target);
  if (plan_ && target == otherRoot_) {
    plan_->sourceRootEmpty = other.outcome == ListOutcome::kListed && !other.incomplete && other.entries.empty();
  }
  if (rules_.deletionPass) {
    bool stop = false;
    if (!DeletionMayGoOn(target, sourceComplete, other, stop)) return !stop && !progress_.ShouldStop();
  }

  // Two source names that differ only in case would be written to one target entry, the second over the
  // first: only the first is taken, every run says so for the others.
  std::vector<WideString> lowerNames;
  lowerNames.reserve(entries.size());
  for (const SideEntry& entry : entries) lowerNames.push_back(text::ToLower(entry.name));
  std::unordered_set<WideView> namesSeen;
  bool oneEntryForTwoNames = !rules_.deletionPass && target_.FoldsCase();
  if (oneEntryForTwoNames) namesSeen.reserve(entries.size());
  std::vector<const SideEntry*> laterFolders;
  for (size_t i = 0; i < entries.size(); ++i) {
    const SideEntry& entry = entries[i];
    if (progress_.ShouldStop()) return false;
    if (oneEntryForTwoNames && !entry.IsLink() && !namesSeen.insert(lowerNames[i]).second) {
      Fail(messages::kNamesDifferOnlyInCase, source_.Join(source, entry.name));
      if (!entry.IsDirectory()) {
        progress_.itemsDone.fetch_add(1, std::memory_order_relaxed);
        progress_.AddBytes(entry.size);
      }
      continue;
    }
    if (!Entry(source, target, entry, lowerNames[i], other, laterFolders)) return false;
  }
  for (const SideEntry* folder : laterFolders) {
    if (progress_.ShouldStop()) return false;
    if (!Folder(source_.Join(source, folder->name), target_.Join(target, folder->name), FolderAttributes(*folder))) {
      return false;
    }
  }
  return true;
}

OtherFolder TransferWalk::ListOther(const WideString& target) {
  OtherFolder other;
  std::vector<SideEntry> listed;
  other.outcome =
      target_.List(target, listed, rules_.deletionPass || !Changes() ? Leftovers::kLeave : Leftovers::kClear);
  if (other.outcome != ListOutcome::kListed) return other;
  if (target == otherRoot_) LeaveOutVersionsFolder(listed);
  // What an incomplete listing does not show cannot be taken for missing.
  other.incomplete = !ListingIsComplete(target_, target);
  other.entries.reserve(listed.size());
  for (SideEntry& entry : listed) {
    auto [at, added] = other.entries.try_emplace(text::ToLower(entry.name));
    if (added) {
      at->second = std::move(entry);
    } else {
      WideString name = entry.name;
      other.caseTwins.emplace(std::move(name), std::move(entry));
    }
  }
  return other;
}

bool TransferWalk::DeletionMayGoOn(const WideString& target, bool sourceComplete, const OtherFolder& other,
                                   bool& stop) {
  // The other side must answer for this folder before anything in it may be judged missing there.
  if (other.outcome == ListOutcome::kMissing) {
    Fail(messages::kSourceDirectoryNotFound, target);
    return false;
  }
  // Nothing is deleted in a folder either of whose listings was incomplete.
  if (!sourceComplete || other.incomplete) return false;
  // A deletion pass that cannot ask the other side any more stops: nothing may be deleted on a guess.
  if (!other.Listed() && (target_.ConnectionLost() || source_.ConnectionLost())) {
    Fail(messages::kCouldNotCheck, target);
    stop = true;
    return false;
  }
  return true;
}

bool TransferWalk::Entry(const WideString& source, const WideString& target, const SideEntry& entry,
                         const WideString& lowerName, const OtherFolder& other,
                         std::vector<const SideEntry*>& laterFolders) {
  if (entry.IsLink()) return true;  // links are neither copied nor entered
  WideString sourcePath = source_.Join(source, entry.name);
  WideString targetPath = target_.Join(target, entry.name);
  // A line break or a zero in a name would end an FTP command early, and a name the server's encoding
  // cannot hold would arrive altered (two names as one): such an entry is left alone.
  if (!source_.CanHold(entry.name) || !target_.CanHold(entry.name)) {
    Fail(messages::kNameCannotBeSent, sourcePath);
    return true;
  }

  Counterpart counterpart = CounterpartOf(other, entry, lowerName, targetPath);
  if (plan_) {
    plan_->destinationHoldsAny = true;
    if (!entry.IsDirectory()) ++plan_->destinationFiles;
  }
  if (rules_.deletionPass && !counterpart.exists) {
    DeleteUnmatched(counterpart, sourcePath, entry, target, targetPath, other);
    return true;
  }
  bool clash = counterpart.entry && counterpart.entry->IsDirectory() != entry.IsDirectory();
  // The copying pass before it has replaced or reported a file standing where a folder is.
  if (rules_.deletionPass && clash) return true;

  bool counted = true;
  if (skipAttributes_ != 0 && (entry.attributes & skipAttributes_)) {
    switch (direction_.skipRule) {
      case SkipRule::kSkipEntirely: return true;
      case SkipRule::kDescendUncounted: counted = false; break;
      case SkipRule::kSkipFiles: break;
      case SkipRule::kCountThenSkipFiles:
        if (!entry.IsDirectory()) progress_.AddItem();
        break;
    }
    if (!entry.IsDirectory()) return true;
  }

  if (clash && !ResolveClash(entry, counterpart, targetPath)) {
    if (entry.IsDirectory()) {
      if (counted) progress_.AddItem();
    } else {
      progress_.itemsDone.fetch_add(1, std::memory_order_relaxed);
      progress_.AddBytes(entry.size);
    }
    return true;
  }
  if (clash) counterpart = Counterpart{false, true, nullptr};  // it made way

  if (entry.IsDirectory()) {
    if (direction_.foldersAfterFiles) {
      laterFolders.push_back(&entry);
    } else if (!Folder(sourcePath, targetPath, FolderAttributes(entry))) {
      return false;
    }
    if (counted) progress_.AddItem();
    return true;
  }

  progress_.itemsDone.fetch_add(1, std::memory_order_relaxed);
  if (rules_.deletionPass) progress_.bytesDone.fetch_add(entry.size, std::memory_order_relaxed);
  progress_.UpdateProgress();
  if (rules_.deletionPass) return true;
  if (rules_.compare && counterpart.exists && !counterpart.entry->IsDirectory()) {
    Comparison comparison = Compare(entry, *counterpart.entry);
    if (comparison != Comparison::kCopy) {
      // In Sync the other pass carries it back; otherwise it stays newer in the target, and the run says so.
      if (comparison == Comparison::kTargetNewer && !rules_.syncing) {
        progress_.newerInTarget.fetch_add(1, std::memory_order_relaxed);
        if (preview_) preview_->Planned(PlannedAction::kNewer, targetPath, counterpart.entry->size);
      }
      progress_.AddBytes(entry.size);
      return true;
    }
  }
  return CopyFile(sourcePath, targetPath, entry, counterpart);
}

bool TransferWalk::ResolveClash(const SideEntry& entry, const Counterpart& counterpart, const WideString& targetPath) {
  switch (clashes_) {
    case ClashRule::kIgnore: return false;
    case ClashRule::kReport:
      Fail(entry.IsDirectory() ? messages::kCouldNotReplaceFileWithFolder : messages::kCouldNotReplaceFolderWithFile,
           targetPath);
      return false;
    case ClashRule::kReplace: {
      // Only on a definite answer: what the target holds there is known from its listing or a lookup.
      bool isFolder = counterpart.entry->IsDirectory();
      if (preview_) {
        uint64_t bytes = isFolder ? SizeBelow(target_, targetPath).bytes : counterpart.entry->size;
        preview_->Planned(PlannedAction::kDelete, targetPath, bytes);
        return true;
      }
      return Remove(target_, versionsInTarget_, targetPath, isFolder);
    }
  }
  return false;
}

Counterpart TransferWalk::CounterpartOf(const OtherFolder& other, const SideEntry& entry, const WideString& lowerName,
                                       const WideString& targetPath) {
  Counterpart counterpart;
  if (other.Listed()) {
    auto found = other.entries.find(lowerName);
    counterpart.exists = found != other.entries.end();
    counterpart.definitelyMissing = !counterpart.exists;
    if (!counterpart.exists) return counterpart;
    counterpart.entry = &found->second;
    if (!other.caseTwins.empty() && found->second.name != entry.name) {
      auto exact = other.caseTwins.find(entry.name);
      if (exact != other.caseTwins.end()) counterpart.entry = &exact->second;
    }
    return counterpart;
  }
  // Where the other side could not be listed, an entry is asked about on its own, and only when the
  // answer matters: copying without comparison needs nothing to be known about the other side.
  if (!rules_.compare && !rules_.deletionPass) return counterpart;
  lookedUp_ = target_.Look(targetPath);
  counterpart.exists = lookedUp_.exists;
  counterpart.definitelyMissing = lookedUp_.definitelyMissing;
  if (counterpart.exists) counterpart.entry = &lookedUp_.entry;
  return counterpart;
}

void TransferWalk::DeleteUnmatched(const Counterpart& counterpart, const WideString& sourcePath, const SideEntry& entry,
                                   const WideString& target, const WideString& targetPath, const OtherFolder& other) {
  // "Not found" counts only while the folder on the other side is still there to ask.
  if (counterpart.definitelyMissing && target_.StillStands(target)) {
    bool isFolder = entry.IsDirectory();
    if (plan_ || preview_) {
      TreeSize size = isFolder ? SizeBelow(source_, sourcePath) : TreeSize{1, entry.size};
      if (plan_) {
        plan_->files += size.files;
        if (isFolder) plan_->destinationFiles += size.files;
      }
      if (preview_) preview_->Planned(PlannedAction::kDelete, sourcePath, size.bytes);
      return;
    }
    if (Remove(source_, versions_, sourcePath, isFolder)) {
      progress_.entriesDeleted.fetch_add(1, std::memory_order_relaxed);
    }
    return;
  }
  // The other side could not tell (a share gone, access denied): nothing is deleted on a guess. A folder
  // that could not be listed at all is said once, not once for each of its entries.
  if (other.outcome == ListOutcome::kListed) {
    Fail(messages::kCouldNotCheck, targetPath);
  } else if (uncheckedFolders_.insert(target).second) {
    Fail(messages::kCouldNotCheck, target);
  }
}

// False only when cancelled: a file that fails is logged, and the walk goes on.
bool TransferWalk::CopyFile(const WideString& sourcePath, const WideString& targetPath, const SideEntry& entry,
                            const Counterpart& counterpart) {
  if (preview_) {
    preview_->Planned(counterpart.exists ? PlannedAction::kUpdate : PlannedAction::kNew, targetPath, entry.size);
    progress_.AddBytes(entry.size);
    return !progress_.ShouldStop();
  }
  // A copy of the same size and time as the new one loses nothing when it is replaced (Common without the
  // update method copies every file every time); one whose presence is not known may still be there.
  OldCopy old{counterpart.exists};
  bool same = counterpart.entry && Compare(entry, *counterpart.entry) == Comparison::kSame;
  if (KeepsVersions() && !same && !counterpart.definitelyMissing) old.keepIn = &versionsInTarget_;
  if (workers_) return workers_->Hand(sourcePath, targetPath, entry, std::move(old));
  CopyTexts texts = Texts();
  return CopyOneFile(FileCopy{source_, target_, texts, CopyBuffer{buffer_, kCopyBufferSize}, progress_, log_},
                     sourcePath, targetPath, entry, old);
}

bool TransferWalk::Remove(Side& side, const VersionsPlace& versions, const WideString& path, bool isFolder) {
  if (!KeepsVersions()) {
    if (side.Delete(path, isFolder)) return true;
    Fail(messages::kCouldNotDelete, path, side);
    return false;
  }
  WideString keptAt;
  switch (KeepVersion(side, versions, path, keptAt)) {
    case MoveOutcome::kMoved: progress_.versionsKept.fetch_add(1, std::memory_order_relaxed); return true;
    case MoveOutcome::kNothingThere: return true;  // gone meanwhile
    case MoveOutcome::kPlaceTaken:
    case MoveOutcome::kFailed: break;
  }
  Fail(messages::kCouldNotKeepOldVersion, path, side);
  return false;
}

bool TransferWalk::ListingIsComplete(const Side& side, const WideString& folder) {
  if (side.NotUnderstood().empty()) return true;
  if (Silent()) return false;
  log_.Log(messages::kCouldNotReadRemoteListing, folder, text::Concat(L" (", side.NotUnderstood(), L")"));
  progress_.AddFailure();
  return false;
}

bool CountFolder(Side& side, const WideString& folder, uint32_t skipAttributes, RunProgress& progress,
                 bool root = false) {
  std::vector<SideEntry> entries;
  if (side.List(folder, entries, Leftovers::kLeave) != ListOutcome::kListed) return true;
  if (root) LeaveOutVersionsFolder(entries);
  for (const SideEntry& entry : entries) {
    if (entry.IsLink()) continue;
    if (entry.IsDirectory()) {
      if (!CountFolder(side, side.Join(folder, entry.name), skipAttributes, progress)) return false;
    } else if (skipAttributes != 0 && (entry.attributes & skipAttributes)) {
      continue;
    } else {
      progress.totalBytes.fetch_add(entry.size, std::memory_order_relaxed);
    }
    // Folders count too, whatever their attributes: the mask applies to files in this pass.
    progress.totalItems.fetch_add(1, std::memory_order_relaxed);
    if (progress.ShouldStop()) return false;
  }
  return true;
}

}  // namespace

void RunTransferPass(const PassContext& context, RunProgress& progress, ErrorLog& log) {
  progress.StartPass();
  BlockedCallBreaker::Enrolment enrolment = progress.breaker.EnrolThisThread();
  TransferWalk walk(context, progress, log);
  std::unique_ptr<CopyWorkers> workers;
  bool deletionPass = (context.runFlags & kRunStrict) != 0;
  if (!deletionPass && !context.preview && context.copyWorkers > 1 && context.makeSource && context.makeTarget) {
    workers = std::make_unique<CopyWorkers>(
        CopyWorkerSetup{context.copyWorkers, context.makeSource, context.makeTarget, walk.Texts(), &context.source,
                        &context.target, CopyBuffer{context.copyBuffer, kCopyBufferSize}},
        progress, log);
    walk.HandCopiesTo(workers.get());
  }
  Probe root = context.source.Look(context.sourceRoot);
  (void)walk.Folder(context.sourceRoot, context.targetRoot, root.exists ? FolderAttributes(root.entry) : kNoAttributes);
  // The pass ends when its last copy does: the next pass compares against what this one wrote.
  if (workers) (void)workers->Finish();
}

bool RunCountingPass(Side& source, const WideString& root, uint32_t skipAttributes, RunProgress& progress) {
  progress.totalBytes = 1;
  progress.totalItems = 1;
  return CountFolder(source, root, skipAttributes, progress, true);
}
