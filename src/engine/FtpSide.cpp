#include "engine/FtpSide.h"

#include "engine/PartialCopy.h"
#include "ftp/FtpClient.h"

#include <optional>
#include <unordered_set>

namespace {

WideString RemoteJoin(const WideString& folder, const WideString& name) {
  return text::ReplaceAll(text::Concat(folder, L"/", name), L"//", L"/");
}

}  // namespace

FtpSide::FtpSide(std::unique_ptr<FtpClient> client, BlockedCallBreaker& breaker)
    : owned_(std::move(client)), client_(*owned_) {
  FtpClient* connection = owned_.get();
  enrolment_ = breaker.EnrolConnection([connection] { connection->Abort(); });
}

FtpSide::~FtpSide() { enrolment_.End(); }

WideString FtpSide::Join(const WideString& folder, const WideString& name) const { return RemoteJoin(folder, name); }

ListOutcome FtpSide::List(const WideString& folder, std::vector<SideEntry>& entries, Leftovers leftovers) {
  entries.clear();
  notUnderstood_.clear();
  std::vector<FtpFindRecord> records;
  std::string notUnderstood;
  // A server's refusal does not tell a missing folder from one it will not show. A transient failure
  // (a 4xx reply: the data connection broke or could not be opened) is tried once more.
  if (!client_.List(folder, records, &notUnderstood)) {
    const FtpReply& reply = client_.lastReply();
    bool transient = reply.code >= 400 && reply.code < 500 && !reply.ConnectionClosing() && !client_.listingTooLarge();
    records.clear();
    notUnderstood.clear();
    if (!transient || !client_.IsConnected() || !client_.List(folder, records, &notUnderstood)) {
      return ListOutcome::kFailed;
    }
  }
  if (!notUnderstood.empty()) {
    notUnderstood_ = client_.usesUtf8() ? text::FromUtf8(notUnderstood) : text::FromAnsi(notUnderstood);
  }
  std::unordered_set<WideString> names;
  for (const auto& record : records) names.insert(text::ToLower(record.name));
  for (auto& record : records) {
    if (leftovers == Leftovers::kLeave && !record.IsDirectory() && IsLeftoverName(record.name)) continue;
    if (!record.IsDirectory() && IsPartialCopyName(record.name)) {
      // An upload that never finished, or a complete one that could not take its name.
      (void)client_.DeleteRemoteFile(RemoteJoin(folder, record.name));
      continue;
    }
    if (!record.IsDirectory() && IsOldCopyName(record.name)) {
      // A replace that a killed run left halfway (only a killed run leaves one): the old copy goes back
      // where the new one never arrived.
      WideString original = record.name.substr(0, record.name.size() - kOldCopySuffix.size());
      WideString aside = RemoteJoin(folder, record.name);
      if (names.count(text::ToLower(original))) {
        (void)client_.DeleteRemoteFile(aside);
        continue;
      }
      if (!client_.Rename(aside, RemoteJoin(folder, original))) continue;
      names.insert(text::ToLower(original));
      record.name = std::move(original);
    }
    entries.push_back(SideEntry{std::move(record.name), record.attributes, record.size, record.sizeKnown,
                                record.timePrecision, record.lastWrite, record.lastWrite, record.lastWrite});
  }
  return ListOutcome::kListed;
}

bool FtpSide::FolderExists(const WideString& folder) { return client_.ChangeDirectory(folder); }

// The server creates one level at a time: below the walk's root that is all it is asked for, and a root
// whose parents are missing is made level by level.
bool FtpSide::MakeFolder(const WideString& folder, DWORD) {
  if (client_.MakeDirectory(folder)) return true;
  if (!client_.IsConnected()) return false;
  for (size_t slash = folder.find(L'/', 1); slash != WideString::npos; slash = folder.find(L'/', slash + 1)) {
    WideString level = folder.substr(0, slash);
    if (!client_.ChangeDirectory(level) && !client_.MakeDirectory(level)) return false;
  }
  return client_.MakeDirectory(folder);
}

bool FtpSide::Delete(const WideString& path, bool isFolder) {
  return isFolder ? DeleteTree(path) : client_.DeleteRemoteFile(path);
}

MoveOutcome FtpSide::MoveAside(const WideString& path, const WideString& newPath) {
  size_t slash = newPath.rfind(L'/');
  WideString parent = slash != WideString::npos && slash > 0 ? newPath.substr(0, slash) : WideString(L"/");
  if (!madeFolders_.count(parent) && !foundFolders_.count(parent)) {
    if (client_.ChangeDirectory(parent)) {
      foundFolders_.insert(parent);
    } else if (MakeFolder(parent, 0)) {
      madeFolders_.insert(parent);
    } else {
      return MoveOutcome::kFailed;
    }
  }
  // Servers rename over an existing file without a word: unless the new path is known to be free, it is
  // asked about first.
  bool known = madeFolders_.count(parent) != 0;
  if (known ? movedHere_.count(newPath) != 0 : (client_.QuerySize(newPath) || client_.ChangeDirectory(newPath))) {
    return MoveOutcome::kPlaceTaken;
  }
  if (client_.Rename(path, newPath)) {
    if (known) movedHere_.insert(newPath);
    return MoveOutcome::kMoved;
  }
  // As on a local side, the empty folders on the way go (the server removes only empty ones).
  for (size_t end = slash; end != WideString::npos && end > 0; end = newPath.rfind(L'/', end - 1)) {
    WideString folder = newPath.substr(0, end);
    if (!client_.RemoveRemoteDirectory(folder)) break;
    madeFolders_.erase(folder);
    foundFolders_.erase(folder);
  }
  return MoveOutcome::kFailed;
}

// A server removes only empty folders: the content goes first, depth first, each level on a listing the
// server gave in full. A folder that cannot be listed keeps everything in it.
bool FtpSide::DeleteTree(const WideString& folder) {
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

bool FtpSide::OpenRead(const WideString& path) { return client_.OpenForReading(path); }
int FtpSide::Read(void* buffer, size_t size) { return client_.Read(buffer, size); }
bool FtpSide::CloseRead() { return client_.FinishTransfer(); }

// Every upload goes to the partial name: a cut connection or a killed run never leaves a short file under
// the target's name, where it would pass for the newest copy.
bool FtpSide::OpenWrite(const WideString& path) {
  target_ = path;
  written_ = text::Concat(path, kPartialCopySuffix);
  sent_ = 0;
  return client_.OpenForWriting(written_);
}

bool FtpSide::Write(const void* data, size_t size) {
  if (!client_.Write(data, size)) return false;
  sent_ += size;
  return true;
}

bool FtpSide::FinishWrite(const SideEntry& source) {
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
  // The copy takes the source's time where the server allows it, so that later runs compare like with
  // like instead of sending the file again (or back and forth in Sync).
  (void)client_.SetModificationTime(written_, source.lastWrite);
  return TakeTargetsPlace();
}

void FtpSide::AbandonWrite() {
  client_.AbandonTransfer();
  (void)client_.DeleteRemoteFile(written_);
}

// The complete new copy takes the target's name; the old copy is never deleted before that, and the new
// one never because a rename failed (it then stays under the partial name for the next run to remove).
bool FtpSide::TakeTargetsPlace() {
  if (client_.Rename(written_, target_)) return true;
  // Servers that refuse to rename over an existing file: the old copy steps aside and comes back when the
  // new one cannot take its place.
  WideString aside = text::Concat(target_, kOldCopySuffix);
  if (!client_.Rename(target_, aside)) return false;
  if (client_.Rename(written_, target_)) {
    (void)client_.DeleteRemoteFile(aside);
    return true;
  }
  (void)client_.Rename(aside, target_);
  return false;
}

bool FtpSide::ConnectionLost() const { return !client_.IsConnected(); }
bool FtpSide::CanHold(const WideString& name) const { return client_.CanSendName(name); }
bool FtpSide::FoldsCase() const { return client_.ListsLikeWindows(); }

WideString FtpSide::LastReply() const {
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
