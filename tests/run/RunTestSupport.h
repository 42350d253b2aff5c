#pragma once
// A progress view and a power seam for tests: they record what the controller showed and asked for.

#include "LocalSideWithReads.h"
#include "run/RunController.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class RecordingView final : public ProgressView {
 public:
  void Open(WideView caption) override { captions.emplace_back(caption); }
  void Close() override { ++closed; }
  void ShowLocations(WideView source, WideView destination) override {
    locations.emplace_back(WideString(source) + L" | " + WideString(destination));
  }
  void ShowStatus(WideView text) override { statuses.emplace_back(text); }
  void ShowMarquee(bool) override {}
  void ShowProgress(uint32_t permille) override { progress.push_back(permille); }
  void ShowPaused(bool paused) override { pausedStates.push_back(paused); }
  ProgressEvent NextEvent() override {
    ++eventCalls;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    return nextEvent ? nextEvent() : ProgressEvent::kNone;
  }
  bool ConfirmCancel(WideView question) override {
    questions.emplace_back(question);
    return answerYes;
  }
  bool ConfirmDeletions(WideView question) override {
    questions.emplace_back(question);
    return deleteYes;
  }
  int CompletionChoice() override { return completion; }

  std::function<ProgressEvent()> nextEvent;
  bool answerYes = true;
  bool deleteYes = false;
  int completion = 0;
  std::vector<WideString> captions, locations, statuses, questions;
  std::vector<uint32_t> progress;
  std::vector<bool> pausedStates;
  int closed = 0;
  int eventCalls = 0;
};

class RecordingPower final : public SystemPower {
 public:
  bool LogOff() override { return Note(L"log off"); }
  bool Sleep(bool hibernate) override { return Note(hibernate ? L"hibernate" : L"sleep"); }
  bool ShutDown(bool hybrid) override { return Note(hybrid ? L"hybrid shut down" : L"shut down"); }
  bool Restart() override { return Note(L"restart"); }
  std::vector<WideString> calls;

 private:
  bool Note(const wchar_t* call) {
    calls.emplace_back(call);
    return true;
  }
};

// A local folder that reads slowly, as a share that barely answers: each read waits first, as long as
// delayOfRead says for the read of that number (1, 2, ...), and reads at most 64 KiB.
inline std::unique_ptr<Side> SlowLocalSide(std::function<DWORD(int)> delayOfRead) {
  return std::make_unique<LocalSideWithReads>(
      [delayOfRead = std::move(delayOfRead)](LocalSide& inner, void* buffer, size_t size, int number) {
        Sleep(delayOfRead(number));
        return inner.Read(buffer, std::min<size_t>(size, 64 * 1024));
      });
}
