#pragma once
// A directory tree on an FTP server as one side of a transfer pass, over a connection the run owns.
// Uploads go to the partial name and take the target's name only when the server confirms them whole;
// an old copy is never deleted before the new one stands in its place.

#include "engine/RunProgress.h"
#include "engine/Side.h"

#include <memory>
#include <unordered_set>

class FtpClient;

class FtpSide final : public Side {
 public:
  explicit FtpSide(FtpClient& client) : client_(client) {}
  // A side with a connection of its own (a copy worker's), which a cancel can break off while enrolled.
  FtpSide(std::unique_ptr<FtpClient> client, BlockedCallBreaker& breaker);
  ~FtpSide() override;

  bool IsRemote() const override { return true; }
  WideString Join(const WideString& folder, const WideString& name) const override;

  ListOutcome List(const WideString& folder, std::vector<SideEntry>& entries, Leftovers leftovers) override;
  // A server has no cheap question for one entry: the answer is "cannot tell".
  Probe Look(const WideString&) override { return {}; }
  bool FolderExists(const WideString& folder) override;
  // The listing came whole from the server, on this connection, a moment ago.
  bool StillStands(const WideString&) override { return true; }
  bool MakeFolder(const WideString& folder, DWORD attributes) override;
  bool Delete(const WideString& path, bool isFolder) override;
  MoveOutcome MoveAside(const WideString& path, const WideString& newPath) override;

  bool OpenRead(const WideString& path) override;
  int Read(void* buffer, size_t size) override;
  bool CloseRead() override;

  bool OpenWrite(const WideString& path) override;
  bool Write(const void* data, size_t size) override;
  bool FinishWrite(const SideEntry& source) override;
  void AbandonWrite() override;

  bool ConnectionLost() const override;
  bool CanHold(const WideString& name) const override;
  bool FoldsCase() const override;
  WideString LastReply() const override;
  const WideString& NotUnderstood() const override { return notUnderstood_; }

 private:
  bool DeleteTree(const WideString& folder);
  bool TakeTargetsPlace();

  std::unique_ptr<FtpClient> owned_;
  FtpClient& client_;
  BlockedCallBreaker::Enrolment enrolment_;  // ends before the connection it names
  WideString target_;
  WideString written_;
  uint64_t sent_ = 0;
  WideString notUnderstood_;
  // The folders MoveAside made on this connection hold only what it moved there since. In one it found
  // there, an earlier run of the same second may have left the same path.
  std::unordered_set<WideString> madeFolders_;
  std::unordered_set<WideString> foundFolders_;
  std::unordered_set<WideString> movedHere_;
};
