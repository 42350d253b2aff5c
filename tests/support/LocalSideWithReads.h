#pragma once
// A local folder whose reads a test decides: slower (a share that barely answers), or failing from some
// read on (a share that goes away in the middle of a file). Everything else is a plain LocalSide.

#include "engine/LocalSide.h"

#include <functional>

class LocalSideWithReads final : public Side {
 public:
  // read(inner, buffer, size, number): the read of that number (1, 2, ...), done through inner or not.
  using ReadHook = std::function<int(LocalSide& inner, void* buffer, size_t size, int number)>;
  explicit LocalSideWithReads(ReadHook read) : read_(std::move(read)) {}

  bool IsRemote() const override { return false; }
  WideString Join(const WideString& folder, const WideString& name) const override { return inner_.Join(folder, name); }
  ListOutcome List(const WideString& folder, std::vector<SideEntry>& entries, Leftovers leftovers) override {
    return inner_.List(folder, entries, leftovers);
  }
  Probe Look(const WideString& path) override { return inner_.Look(path); }
  bool FolderExists(const WideString& folder) override { return inner_.FolderExists(folder); }
  bool StillStands(const WideString& folder) override { return inner_.StillStands(folder); }
  bool MakeFolder(const WideString& folder, DWORD attributes) override { return inner_.MakeFolder(folder, attributes); }
  bool Delete(const WideString& path, bool isFolder) override { return inner_.Delete(path, isFolder); }
  MoveOutcome MoveAside(const WideString& path, const WideString& newPath) override { return inner_.MoveAside(path, newPath); }
  bool OpenRead(const WideString& path) override { return inner_.OpenRead(path); }
  int Read(void* buffer, size_t size) override { return read_(inner_, buffer, size, ++reads_); }
  bool CloseRead() override { return inner_.CloseRead(); }
  bool OpenWrite(const WideString& path) override { return inner_.OpenWrite(path); }
  bool Write(const void* data, size_t size) override { return inner_.Write(data, size); }
  bool FinishWrite(const SideEntry& source) override { return inner_.FinishWrite(source); }
  void AbandonWrite() override { inner_.AbandonWrite(); }

 private:
  ReadHook read_;
  int reads_ = 0;
  LocalSide inner_;
};
