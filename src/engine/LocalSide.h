#pragma once
// A local (or network) folder tree as one side of a transfer pass. Every file it writes is made through
// PartialCopy; every file it reads is read for exactly the length it had when it was opened.

#include "base/File.h"
#include "engine/PartialCopy.h"
#include "engine/Side.h"

class LocalSide final : public Side {
 public:
  bool IsRemote() const override { return false; }
  WideString Join(const WideString& folder, const WideString& name) const override;

  ListOutcome List(const WideString& folder, std::vector<SideEntry>& entries, Leftovers leftovers) override;
  Probe Look(const WideString& path) override;
  bool FolderExists(const WideString& folder) override;
  bool StillStands(const WideString& folder) override { return FolderExists(folder); }
  bool MakeFolder(const WideString& folder, DWORD attributes) override;
  bool Delete(const WideString& path, bool isFolder) override;
  MoveOutcome MoveAside(const WideString& path, const WideString& newPath) override;

  bool OpenRead(const WideString& path) override;
  int Read(void* buffer, size_t size) override;
  bool CloseRead() override;

  bool OpenWrite(const WideString& path) override { return writing_.Open(path); }
  bool Write(const void* data, size_t size) override { return writing_.Write(data, size); }
  bool FinishWrite(const SideEntry& source) override {
    return writing_.Commit(source.creation, source.lastAccess, source.lastWrite, source.attributes);
  }
  void AbandonWrite() override { writing_.Abandon(); }

 private:
  File reading_;
  uint64_t remaining_ = 0;
  PartialCopy writing_;
};
