#include "engine/FtpPass.h"

#include "base/DirectoryIterator.h"
#include "base/File.h"
#include "base/FileSystem.h"
#include "engine/ForceDelete.h"
#include "engine/LocalPass.h"
#include "engine/Messages.h"
#include "engine/PartialCopy.h"
#include "engine/PassRules.h"
#include "ftp/FtpClient.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

struct Entry {
  WideString name;
  DWORD attributes = 0;
  uint64_t size = 0;
  bool sizeKnown = true;  // a local size always is; a listing may leave it out
  int64_t timePrecision = 1;  // 100-ns units; a listing may keep only seconds, minutes or days
  FILETIME creation{};
  FILETIME lastAccess{};
  FILETIME lastWrite{};
  [[nodiscard]] bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  [[nodiscard]] bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

WideString RemoteJoin(const WideString& folder, const WideString& name) {
  return text::ReplaceAll(text::Concat(folder, L"/", name), L"//", L"/");
}

// One side of an FTP pass: the local file system or a directory tree on a server.
class Side {
 public:
  virtual ~Side() = default;
  [[nodiscard]] virtual bool IsRemote() const = 0;
  [[nodiscard]] virtual WideString Join(const WideString& folder, const WideString& name) const = 0;
  // False when the folder cannot be listed.
  [[nodiscard]] virtual bool List(const WideString& folder, std::vector<Entry>& entries) = 0;
  [[nodiscard]] virtual bool FolderExists(const WideString& folder) = 0;
  [[nodiscard]] virtual bool MakeFolder(const WideString& folder, DWORD attributes) = 0;
  // False when the entry is still there.
  [[nodiscard]] virtual bool Delete(const WideString& path, bool isFolder) = 0;
  [[nodiscard]] virtual bool OpenRead(const WideString& path) = 0;
  [[nodiscard]] virtual int Read(void* buffer, size_t size) = 0;  // -1 on failure
  // True when the source confirms that the whole file was read: a server that cut the data connection
  // looks like the end of the file until its reply says otherwise.
  virtual bool CloseRead() = 0;
  // Writes go to the partial name beside path; FinishWrite puts the complete copy in path's place, and
  // an earlier copy there survives until then.
  [[nodiscard]] virtual bool OpenWrite(const WideString& path) = 0;
  [[nodiscard]] virtual bool Write(const void* data, size_t size) = 0;
  [[nodiscard]] virtual bool FinishWrite(const Entry& source) = 0;
  virtual void AbandonWrite() = 0;
  // True when a remote side's connection is gone; nothing more can be asked of it.
  [[nodiscard]] virtual bool ConnectionLost() const { return false; }
  // Whether an entry of this name can be made or read on this side as it is.
  [[nodiscard]] virtual bool CanHold(const WideString& name) const {
    return name.find_first_of(WideView(L"\r\n\0", 3)) == WideString::npos;
  }
  // What the server last answered, as " (550 Permission denied.)", for the log; empty for a local side.
  [[nodiscard]] virtual WideString LastReply() const { return {}; }
  // After a List that succeeded: the first line of the listing in no known format, or empty when every
  // line was understood. Such a listing is incomplete, and nothing may be deleted on its strength.
  [[nodiscard]] virtual const WideString& NotUnderstood() const {
    static const WideString kNone;
    return kNone;
  }
};

class LocalSide final : public Side {
 public:
  bool IsRemote() const override { return false; }
  WideString Join(const WideString& folder, const WideString& name) const override { return JoinPath(folder, name); }

  bool List(const WideString& folder, std::vector<Entry>& entries) override {
    entries.clear();
    DirectoryIterator listing;
    for (bool found = listing.Open(JoinPath(LongPathForm(folder), L"*"), DirectoryIterator::kSkipReparsePoints); found;
         found = listing.Next()) {
      const WIN32_FIND_DATAW& data = listing.data();
      if (!listing.IsDirectory() && IsPartialCopyName(data.cFileName)) {
        (void)ForceDelete(JoinPath(folder, data.cFileName), 0);
        continue;
      }
      entries.push_back(Entry{data.cFileName, data.dwFileAttributes, listing.size(), true, 1, data.ftCreationTime,
                              data.ftLastAccessTime, data.ftLastWriteTime});
    }
    return listing.EndedNormally() && IsExistingFolder(folder);
  }
  bool FolderExists(const WideString& folder) override { return IsExistingFolder(folder); }
  bool MakeFolder(const WideString& folder, DWORD attributes) override { return CreateFolder(folder, attributes); }
  bool Delete(const WideString& path, bool) override {
    return ForceDelete(path, kDeleteResetPermissions) == ForceDeleteResult::kDeleted;
  }

  bool OpenRead(const WideString& path) override {
    if (!reading_.OpenForReading(path)) return false;
    // Exactly the length the file has now is sent; a file that shrinks meanwhile fails the copy.
    int64_t length = reading_.Size();
    remaining_ = length < 0 ? 0 : static_cast<uint64_t>(length);
    return length >= 0;
  }
  int Read(void* buffer, size_t size) override {
    if (remaining_ == 0) return 0;
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(remaining_, size));
    if (!reading_.Read(buffer, wanted, got) || got == 0) return -1;
    remaining_ -= got;
    return static_cast<int>(got);
  }
  bool CloseRead() override {
    reading_.Close();
    return true;
  }

  bool OpenWrite(const WideString& path) override { return writing_.Open(path); }
  bool Write(const void* data, size_t size) override { return writing_.Write(data, size); }
  bool FinishWrite(const Entry& source) override {
    return writing_.Commit(source.creation, source.lastAccess, source.lastWrite, source.attributes);
  }
  void AbandonWrite() override { writing_.Abandon(); }

 private:
  File reading_;
  uint64_t remaining_ = 0;
  PartialCopy writing_;
};

// An old remote copy moved aside while a new one takes its name, on servers that will not rename over an
// existing file. Left behind only by a killed run: the next listing puts it back or removes it.
constexpr WideView kOldCopySuffix = L".~brlk-old";
bool IsOldCopyName(WideView name) { return text::EndsWith(name, kOldCopySuffix, false); }

class RemoteSide final : public Side {
 public:
  explicit RemoteSide(FtpClient& client) : client_(client) {}
  bool IsRemote() const override { return true; }
  WideString Join(const WideString& folder, const WideString& name) const override { return RemoteJoin(folder, name); }

  bool List(const WideString& folder, std::vector<Entry>& entries) override {
    entries.clear();
    std::vector<FtpFindRecord> records;
    std::string notUnderstood;
    notUnderstood_.clear();
    if (!client_.List(folder, records, &notUnderstood)) return false;
    if (!notUnderstood.empty()) notUnderstood_ = client_.usesUtf8() ? text::FromUtf8(notUnderstood) : text::FromAnsi(notUnderstood);
    std::unordered_map<WideString, bool> names;
    for (const auto& record : records) names.emplace(text::ToLower(record.name), true);
    for (auto& record : records) {
      if (!record.IsDirectory() && IsPartialCopyName(record.name)) {
        // An upload that never finished, or a complete one that could not take its name.
        (void)client_.DeleteRemoteFile(RemoteJoin(folder, record.name));
        continue;
      }
      if (!record.IsDirectory() && IsOldCopyName(record.name)) {
        // A replace that a killed run left halfway: the old copy goes back where the new one never arrived.
        WideString original = record.name.substr(0, record.name.size() - kOldCopySuffix.size());
        WideString aside = RemoteJoin(folder, record.name);
        if (names.count(text::ToLower(original))) {
          (void)client_.DeleteRemoteFile(aside);
          continue;
        }
        if (!client_.Rename(aside, RemoteJoin(folder, original))) continue;
        names.emplace(text::ToLower(original), true);
        record.name = std::move(original);
      }
      entries.push_back(Entry{std::move(record.name), record.attributes, record.size, record.sizeKnown,
                              record.timePrecision, record.lastWrite, record.lastWrite, record.lastWrite});
    }
    return true;
  }
  bool FolderExists(const WideString& folder) override { return client_.ChangeDirectory(folder); }
  // The server creates one level at a time: below the walk's root that is all it is asked for, and a root
  // whose parents are missing is made level by level.
  bool MakeFolder(const WideString& folder, DWORD) override {
    if (client_.MakeDirectory(folder)) return true;
    if (!client_.IsConnected()) return false;
    for (size_t slash = folder.find(L'/', 1); slash != WideString::npos; slash = folder.find(L'/', slash + 1)) {
      WideString level = folder.substr(0, slash);
      if (!client_.ChangeDirectory(level) && !client_.MakeDirectory(level)) return false;
    }
    return client_.MakeDirectory(folder);
  }
  bool Delete(const WideString& path, bool isFolder) override {
    return isFolder ? DeleteTree(path) : client_.DeleteRemoteFile(path);
  }

  bool OpenRead(const WideString& path) override { return client_.OpenForReading(path); }
  int Read(void* buffer, size_t size) override { return client_.Read(buffer, size); }
  bool CloseRead() override { return client_.FinishTransfer(); }

  // Every upload goes to the partial name: a cut connection or a killed run never leaves a short file
  // under the target's name, where it would pass for the newest copy.
  bool OpenWrite(const WideString& path) override {
    target_ = path;
    written_ = text::Concat(path, kPartialCopySuffix);
    sent_ = 0;
    return client_.OpenForWriting(written_);
  }
  bool Write(const void* data, size_t size) override {
    if (!client_.Write(data, size)) return false;
    sent_ += size;
    return true;
  }
  bool FinishWrite(const Entry& source) override {
    // The copy counts only when the server confirms it and holds every byte that was sent.
    if (!client_.FinishTransfer()) {
      (void)client_.DeleteRemoteFile(written_);
      return false;
    }
    std::optional<uint64_t> stored = client_.QuerySize(written_);
    if (stored && *stored != sent_) {
      (void)client_.DeleteRemoteFile(written_);
      return false;
    }
    // The copy takes the source's time where the server allows it, so that later runs compare like
    // with like instead of sending the file again (or back and forth in Sync).
    (void)client_.SetModificationTime(written_, source.lastWrite);
    return TakeTargetsPlace();
  }
  void AbandonWrite() override {
    client_.AbandonTransfer();
    (void)client_.DeleteRemoteFile(written_);
  }
  bool ConnectionLost() const override { return !client_.IsConnected(); }
  bool CanHold(const WideString& name) const override { return client_.CanSendName(name); }
  const WideString& NotUnderstood() const override { return notUnderstood_; }
  WideString LastReply() const override {
    const FtpReply& reply = client_.lastReply();
    std::string firstLine = reply.text.substr(0, reply.text.find('\n'));
    // Only a refusal or a broken connection explains a failure; a success reply would mislead.
    if ((reply.code == 0 && firstLine.empty()) || reply.IsPreliminary() || reply.IsCompletion() ||
        reply.IsIntermediate()) {
      return {};
    }
    std::string shown = reply.code ? std::to_string(reply.code) + " " + firstLine : firstLine;
    return text::Concat(L" (", client_.usesUtf8() ? text::FromUtf8(shown) : text::FromAnsi(shown), L")");
  }

 private:
  // A server removes only empty folders: the content goes first, depth first, each level on a listing
  // the server gave in full. A folder that cannot be listed keeps everything in it.
  bool DeleteTree(const WideString& folder) {
    std::vector<FtpFindRecord> records;
    if (!client_.List(folder, records)) return false;
    bool emptied = true;
    for (const auto& record : records) {
      WideString path = RemoteJoin(folder, record.name);
      bool isFolder = record.IsDirectory() && !(record.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
      if (!(isFolder ? DeleteTree(path) : client_.DeleteRemoteFile(path))) emptied = false;
    }
    return emptied && client_.RemoveRemoteDirectory(folder);
  }

  // The complete new copy takes the target's name; the old copy is never deleted before that, and the new
  // one never because a rename failed (it then stays under the partial name for the next run to remove).
  bool TakeTargetsPlace() {
    if (client_.Rename(written_, target_)) return true;
    // Servers that refuse to rename over an existing file: the old copy steps aside and comes back when
    // the new one cannot take its place.
    WideString aside = text::Concat(target_, kOldCopySuffix);
    if (!client_.Rename(target_, aside)) return false;
    if (client_.Rename(written_, target_)) {
      (void)client_.DeleteRemoteFile(aside);
      return true;
    }
    (void)client_.Rename(aside, target_);
    return false;
  }

  FtpClient& client_;
  WideString target_;
  WideString written_;
  uint64_t sent_ = 0;
  WideString notUnderstood_;
};

struct Counterpart {
  bool exists = false;
  bool definitelyMissing = false;
  Entry entry;
};

class FtpWalk {
 public:
  FtpWalk(RunState& state, ErrorLog& log, Side& source, Side& target)
      : state_(state), log_(log), source_(source), target_(target), rules_(state.runFlags) {
    if (!state_.copyBuffer) state_.copyBuffer = std::make_unique<unsigned char[]>(kCopyBufferSize);
  }

  bool Folder(const WideString& source, const WideString& target);

 private:
  void Fail(WideView prefix, WideView path) { RecordFailure(state_, log_, prefix, path); }
  // A failure on a side: a server's refusal is said after the path, so that a refused TLS or a full disk
  // is not taken for a missing folder.
  void Fail(WideView prefix, WideView path, const Side& side) {
    log_.Log(prefix, path, side.LastReply());
    state_.failureCount.fetch_add(1, std::memory_order_relaxed);
  }
  bool ShouldCopy(const Entry& source, const Entry& target) const {
    return rules_.ShouldCopy(FileTimeValue(source.lastWrite), source.size, FileTimeValue(target.lastWrite), target.size,
                             std::max(source.timePrecision, target.timePrecision));
  }
  bool CopyFile(const WideString& sourcePath, const WideString& targetPath, const Entry& entry);
  // After a List that succeeded: false, logged and counted, when the listing held lines in no known format.
  bool ListingIsComplete(const Side& side, const WideString& folder) {
    if (side.NotUnderstood().empty()) return true;
    log_.Log(messages::kCouldNotReadRemoteListing, folder, text::Concat(L" (", side.NotUnderstood(), L")"));
    state_.failureCount.fetch_add(1, std::memory_order_relaxed);
    return false;
  }

  RunState& state_;
  ErrorLog& log_;
  Side& source_;
  Side& target_;
  const PassRules rules_;
};

bool FtpWalk::Folder(const WideString& source, const WideString& target) {
  if (!rules_.deletionPass && !target_.FolderExists(target)) {
    if (!target_.MakeFolder(target, kNoAttributes)) {
      Fail(target_.IsRemote() ? messages::kCouldNotCreateRemoteDirectory
                              : messages::kCouldNotCreateBackupDestinationFolder,
           target, target_);
      return true;
    }
  }

  // Remote listings are read whole and closed before anything else happens on the connection.
  std::vector<Entry> entries;
  if (!source_.List(source, entries)) {
    // A listing that failed is no empty folder: what it would have shown was neither copied nor compared.
    if (!state_.CancelRequested()) {
      if (source_.IsRemote()) {
        log_.Log(messages::kCouldNotReadRemoteFolder, source, source_.LastReply());
        state_.failureCount.fetch_add(1, std::memory_order_relaxed);
      } else {
        Fail(messages::kCouldNotReadFolder, source);
      }
    }
    return !state_.ShouldStop();
  }

  bool sourceComplete = ListingIsComplete(source_, source);
  std::unordered_map<WideString, Entry> others;
  bool othersListed = false;
  // The other side is listed once per folder in every pass: comparisons and the deletion pass need it,
  // and the listing clears what a killed run left there.
  {
    std::vector<Entry> otherEntries;
    othersListed = target_.List(target, otherEntries);
    for (auto& other : otherEntries) others.emplace(text::ToLower(other.name), std::move(other));
    // What an incomplete listing does not show cannot be taken for missing.
    if (othersListed && !ListingIsComplete(target_, target)) othersListed = false;
  }
  // Nothing is deleted in a folder either of whose listings was incomplete.
  if (rules_.deletionPass && (!sourceComplete || (!othersListed && !target_.NotUnderstood().empty()))) return true;
  // A deletion pass that cannot ask the other side any more stops: nothing may be deleted on a guess.
  if (rules_.deletionPass && !othersListed && (target_.ConnectionLost() || source_.ConnectionLost())) {
    Fail(messages::kSourceDirectoryNotFound, target);
    return false;
  }

  std::vector<const Entry*> laterFolders;
  for (const Entry& entry : entries) {
    if (state_.ShouldStop()) return false;
    if (entry.IsLink()) continue;
    WideString sourcePath = source_.Join(source, entry.name);
    WideString targetPath = target_.Join(target, entry.name);
    // A line break or a zero in a name would end an FTP command early, and a name the server's encoding
    // cannot hold would arrive altered (two names as one): such an entry is left alone.
    if (!source_.CanHold(entry.name) || !target_.CanHold(entry.name)) {
      Fail(messages::kNameCannotBeSent, sourcePath);
      continue;
    }

    Counterpart counterpart;
    if (othersListed) {
      auto found = others.find(text::ToLower(entry.name));
      counterpart.exists = found != others.end();
      counterpart.definitelyMissing = !counterpart.exists;
      if (counterpart.exists) counterpart.entry = found->second;
    }

    if (rules_.deletionPass && !counterpart.exists) {
      if (counterpart.definitelyMissing) {
        if (!source_.Delete(sourcePath, entry.IsDirectory())) Fail(messages::kCouldNotDelete, sourcePath, source_);
      } else {
        Fail(messages::kSourceDirectoryNotFound, targetPath);  // the other side could not tell
      }
      continue;
    }

    if (state_.skipAttributes != 0 && (entry.attributes & state_.skipAttributes)) {
      // From a local source a matching file or folder is skipped entirely: not created, entered or counted.
      if (!source_.IsRemote()) continue;
      // From a remote source only files are skipped; between two servers they are counted first.
      if (!entry.IsDirectory()) {
        if (target_.IsRemote()) state_.AddItem();
        continue;
      }
    }

    if (entry.IsDirectory()) {
      if (source_.IsRemote()) {
        laterFolders.push_back(&entry);
      } else if (!Folder(sourcePath, targetPath)) {
        return false;
      }
      state_.AddItem();
      continue;
    }

    state_.itemsDone.fetch_add(1, std::memory_order_relaxed);
    if (rules_.deletionPass) state_.bytesDone.fetch_add(entry.size, std::memory_order_relaxed);
    state_.UpdateProgress();
    if (rules_.deletionPass) continue;

    if (rules_.compare && counterpart.exists && !counterpart.entry.IsDirectory() && !ShouldCopy(entry, counterpart.entry)) {
      state_.AddBytes(entry.size);
      continue;
    }
    if (!CopyFile(sourcePath, targetPath, entry)) return false;
  }

  // Subfolders of a remote source are walked once the folder's own files are done.
  for (const Entry* folder : laterFolders) {
    if (state_.ShouldStop()) return false;
    if (!Folder(source_.Join(source, folder->name), target_.Join(target, folder->name))) return false;
  }
  return true;
}

bool FtpWalk::CopyFile(const WideString& sourcePath, const WideString& targetPath, const Entry& entry) {
  if (!source_.OpenRead(sourcePath)) {
    Fail(source_.IsRemote() ? messages::kCouldNotOpenFtpForReading : messages::kCouldNotOpenLocalForReading,
         sourcePath, source_);
    return true;
  }
  if (!target_.OpenWrite(targetPath)) {
    (void)source_.CloseRead();
    Fail(target_.IsRemote() ? messages::kCouldNotOpenFtpForWriting : messages::kCouldNotOpenLocalForWriting,
         targetPath, target_);
    return true;
  }
  WideView readFailure = !source_.IsRemote()  ? messages::kCouldNotReadLocal
                         : target_.IsRemote() ? messages::kCouldNotReadFtp
                                              : messages::kCouldNotReadRemote;
  WideView writeFailure = target_.IsRemote() ? messages::kCouldNotWriteFtp : messages::kCouldNotWriteLocal;

  unsigned char* buffer = state_.copyBuffer.get();
  uint64_t received = 0;
  while (true) {
    int got = source_.Read(buffer, kCopyBufferSize);
    if (got < 0) {
      Fail(readFailure, sourcePath, source_);
      break;
    }
    if (got == 0) {
      // A server that stops early and still says 226 gives a short file: the listed size tells.
      bool whole = source_.CloseRead() && (!source_.IsRemote() || !entry.sizeKnown || received == entry.size);
      if (!whole) {
        Fail(readFailure, sourcePath, source_);
        target_.AbandonWrite();
        return true;
      }
      if (!target_.FinishWrite(entry)) Fail(writeFailure, targetPath, target_);
      return !state_.CancelRequested();
    }
    if (!target_.Write(buffer, static_cast<size_t>(got))) {
      Fail(writeFailure, targetPath, target_);
      break;
    }
    received += static_cast<uint64_t>(got);
    state_.AddBytes(static_cast<uint64_t>(got));
    if (state_.ShouldStop()) {
      (void)source_.CloseRead();
      target_.AbandonWrite();
      return false;
    }
  }
  (void)source_.CloseRead();
  target_.AbandonWrite();
  return true;
}

bool CountRemote(RunState& state, FtpClient& client, const WideString& folder) {
  std::vector<FtpFindRecord> records;
  if (!client.List(folder, records)) return true;  // a directory that cannot be listed counts as empty
  std::vector<WideString> subfolders;
  for (const auto& record : records) {
    if (record.attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (record.IsDirectory()) {
      subfolders.push_back(record.name);
    } else if (IsPartialCopyName(record.name) || IsOldCopyName(record.name) ||
               (state.skipAttributes != 0 && (record.attributes & state.skipAttributes))) {
      continue;
    } else {
      state.totalBytes.fetch_add(record.size, std::memory_order_relaxed);
    }
    state.totalItems.fetch_add(1, std::memory_order_relaxed);
    if (state.ShouldStop()) return false;
  }
  for (const auto& name : subfolders) {
    if (state.ShouldStop()) return true;
    if (!CountRemote(state, client, RemoteJoin(folder, name))) return false;
  }
  return true;
}

}  // namespace

bool CountFtpTree(RunState& state, const WideString& remoteFolder) {
  if (!state.sourceConnection) return true;
  return CountRemote(state, *state.sourceConnection, remoteFolder);
}

void RunFtpPass(RunState& state, ErrorLog& log) {
  LocalSide localSource, localTarget;
  std::optional<RemoteSide> remoteSource, remoteTarget;
  Side* source = &localSource;
  Side* target = &localTarget;
  if (state.sourceConnection && state.transferKind != TransferKind::kLocalToFtp) {
    remoteSource.emplace(*state.sourceConnection);
    source = &*remoteSource;
  }
  if (state.targetConnection && state.transferKind != TransferKind::kFtpToLocal) {
    remoteTarget.emplace(*state.targetConnection);
    target = &*remoteTarget;
  }
  FtpWalk walk(state, log, *source, *target);
  walk.Folder(state.sourceRoot, state.targetRoot);
}
