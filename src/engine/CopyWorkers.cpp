#include "engine/CopyWorkers.h"

#include <chrono>

namespace {

// How often a wait looks at the cancel request, which nothing signals to these waits.
constexpr std::chrono::milliseconds kCancelLook{50};

}  // namespace

CopyWorkers::CopyWorkers(CopyWorkerSetup setup, RunProgress& progress, ErrorLog& log)
    : setup_(std::move(setup)), progress_(progress), log_(log), queueLimit_(std::max<size_t>(2 * setup_.workers, 4)) {}

void CopyWorkers::StartWorkers() {
  // Started with the first copy: a pass that copies nothing (a rerun where nothing changed) starts none.
  started_ = true;
  for (size_t i = 0; i < setup_.workers; ++i) {
    UniqueKernelHandle thread(CreateThread(nullptr, 0, Entry, this, 0, nullptr));
    if (!thread) continue;  // fewer workers; with none the walk copies
    threads_.push_back(std::move(thread));
    ++working_;
  }
}

CopyWorkers::~CopyWorkers() {
  (void)Finish();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  for (const UniqueKernelHandle& thread : threads_) WaitForSingleObject(thread.get(), INFINITE);
}

DWORD WINAPI CopyWorkers::Entry(void* self) {
  static_cast<CopyWorkers*>(self)->Work();
  return 0;
}

bool CopyWorkers::Hand(const WideString& sourcePath, const WideString& targetPath, const SideEntry& entry,
                       OldCopy old) {
  WideString key = text::ToLower(targetPath);
  std::unique_lock<std::mutex> lock(mutex_);
  if (!started_) StartWorkers();
  // Two names that differ in case only (from a server that tells them apart) are one file here: the
  // second waits for the first instead of writing the same partial copy at the same time.
  while (working_ != 0 && (waiting_.size() >= queueLimit_ || targets_.contains(key))) {
    if (progress_.CancelRequested()) return false;
    changed_.wait_for(lock, kCancelLook);
  }
  if (progress_.CancelRequested()) return false;
  targets_.insert(key);
  waiting_.push_back(Task{sourcePath, targetPath, entry, std::move(key), std::move(old)});
  if (working_ == 0) return CopyWaitingOnTheWalk(lock);
  lock.unlock();
  changed_.notify_all();
  return true;
}

bool CopyWorkers::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    if (progress_.CancelRequested()) return false;
    if (working_ == 0 && !waiting_.empty()) {
      if (!CopyWaitingOnTheWalk(lock)) return false;
      continue;
    }
    if (waiting_.empty() && busy_ == 0) return true;
    changed_.wait_for(lock, kCancelLook);
  }
}

bool CopyWorkers::Take(Task& task) {
  // A paused run holds every worker between files too.
  progress_.pause.WaitWhilePaused();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!closing_ && waiting_.empty() && !progress_.CancelRequested()) changed_.wait_for(lock, kCancelLook);
  if (progress_.CancelRequested() || waiting_.empty()) return false;
  task = std::move(waiting_.front());
  waiting_.pop_front();
  ++busy_;
  lock.unlock();
  changed_.notify_all();  // room for the walk's next copy
  return true;
}

void CopyWorkers::Done(const Task& task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --busy_;
    targets_.erase(task.targetKey);
  }
  changed_.notify_all();
}

void CopyWorkers::Work() {
  BlockedCallBreaker::Enrolment enrolment = progress_.breaker.EnrolThisThread();
  std::unique_ptr<unsigned char[]> buffer;
  std::unique_ptr<Side> source;
  std::unique_ptr<Side> target;
  Task task;
  while (Take(task)) {
    if (!source) source = setup_.makeSource();
    if (!target) target = setup_.makeTarget();
    if (!buffer && source && target) {
      buffer.reset(new (std::nothrow) unsigned char[kCopyBufferSize]);
      if (buffer) {
        std::lock_guard<std::mutex> lock(mutex_);
        peakBuffers_ = std::max(peakBuffers_, ++buffers_);
      }
    }
    if (!source || !target || !buffer) {
      // This worker cannot reach a side now (a server that takes fewer connections, say): it retires, and
      // its file goes back to the front for the others, or for the walk when it was the last one.
      {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_front(std::move(task));
        --busy_;
        --working_;
        if (buffer) --buffers_;
      }
      changed_.notify_all();
      return;
    }
    FileCopy copy{*source, *target, setup_.texts, CopyBuffer{buffer.get(), kCopyBufferSize}, progress_, log_};
    (void)CopyOneFile(copy, task.sourcePath, task.targetPath, task.entry, task.old);
    // A connection that broke (the file's failure is logged) is opened again for the next file.
    if (source->ConnectionLost()) source.reset();
    if (target->ConnectionLost()) target.reset();
    Done(task);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (buffer) --buffers_;
}

bool CopyWorkers::CopyWaitingOnTheWalk(std::unique_lock<std::mutex>& lock) {
  while (!waiting_.empty()) {
    Task task = std::move(waiting_.front());
    waiting_.pop_front();
    ++busy_;
    lock.unlock();
    FileCopy copy{*setup_.walkSource, *setup_.walkTarget, setup_.texts, setup_.walkBuffer, progress_, log_};
    bool goOn = CopyOneFile(copy, task.sourcePath, task.targetPath, task.entry, task.old);
    lock.lock();
    --busy_;
    targets_.erase(task.targetKey);
    if (!goOn) return false;
  }
  return !progress_.CancelRequested();
}
