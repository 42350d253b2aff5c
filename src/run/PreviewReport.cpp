#include "run/PreviewReport.h"

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"

namespace {

constexpr WideView kActionNames[kPlannedActionKinds] = {L"new", L"update", L"delete", L"folder", L"held", L"newer"};

void AppendTotals(WideString& text, const PreviewPlan::Totals& totals) {
  for (size_t i = 0; i < kPlannedActionKinds; ++i) {
    text::Append(text, L"\t", kActionNames[i], L"=", text::DecimalUnsigned(totals.count[i]));
  }
  text::Append(text, L"\tbytes=", text::DecimalUnsigned(totals.BytesToCopy()));
}

}  // namespace

WideView ReportActionName(PlannedAction action) { return kActionNames[static_cast<size_t>(action)]; }

uint64_t PreviewPlan::Totals::BytesToCopy() const {
  return bytes[static_cast<size_t>(PlannedAction::kNew)] + bytes[static_cast<size_t>(PlannedAction::kUpdate)];
}

void PreviewPlan::Totals::Add(const Totals& other) {
  for (size_t i = 0; i < kPlannedActionKinds; ++i) {
    count[i] += other.count[i];
    bytes[i] += other.bytes[i];
  }
}

void PreviewPlan::BeginJob(const FolderPair& pair) {
  std::lock_guard<std::mutex> lock(mutex_);
  pairs_.push_back({pair.source, pair.destination, false, {}});
  job_ = {};
}

void PreviewPlan::EndJob(bool setUp) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pairs_.empty()) return;
  Pair& pair = pairs_.back();
  pair.setUp = setUp;
  if (setUp) {
    pair.totals = job_;
    run_.Add(job_);
  } else {
    ++pairsNotSetUp_;
  }
  lines_.push_back({LineKind::kPairEnd, PlannedAction::kNew, pairs_.size() - 1, {}});
}

void PreviewPlan::Planned(PlannedAction action, const WideString& path, uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto index = static_cast<size_t>(action);
  ++job_.count[index];
  job_.bytes[index] += bytes;
  lines_.push_back({LineKind::kAction, action, bytes, path});
}

void PreviewPlan::Problem(WideView message) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++problems_;
  lines_.push_back({LineKind::kProblem, PlannedAction::kNew, 0, WideString(message)});
}

WideString PreviewReportText(const PreviewPlan& plan) {
  WideString text;
  for (const PreviewPlan::Line& line : plan.lines()) {
    switch (line.kind) {
      case PreviewPlan::LineKind::kAction:
        text::Append(text, ReportActionName(line.action), L"\t", line.text, L"\t", text::DecimalUnsigned(line.bytes), L"\r\n");
        break;
      case PreviewPlan::LineKind::kProblem: text::Append(text, L"error\t", line.text, L"\r\n"); break;
      case PreviewPlan::LineKind::kPairEnd: {
        const PreviewPlan::Pair& pair = plan.pairs()[line.bytes];
        text::Append(text, L"pair\t", pair.source, L"\t", pair.destination);
        if (pair.setUp) {
          AppendTotals(text, pair.totals);
        } else {
          text::Append(text, L"\tnot set up");
        }
        text::Append(text, L"\r\n");
        break;
      }
    }
  }
  text::Append(text, L"run\tpairs=", text::DecimalUnsigned(plan.pairs().size()), L"\tnot set up=",
               text::DecimalUnsigned(plan.pairsNotSetUp()));
  AppendTotals(text, plan.totals());
  text::Append(text, L"\r\n");
  return text;
}

namespace {

std::string WithMark(WideView text) { return "\xEF\xBB\xBF" + text::ToUtf8(text); }

bool WriteBytes(HANDLE file, const std::string& bytes) { return WriteAll(file, bytes.data(), bytes.size()); }

bool WriteToConsole(HANDLE console, WideView text) {
  while (!text.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size(), 8192));
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data(), chunk, &written, nullptr) || written == 0) return false;
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool WritePreviewReport(WideView path, WideView text) {
  if (!path.empty()) {
    // Written whole beside its place and then moved there: a reader never sees half a report.
    WideString temporary = text::Concat(path, L".~brlk-part");
    {
      UniqueHandle file(CreateFileW(LongPathForm(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file || !WriteBytes(file.get(), WithMark(text))) {
        file.reset();
        (void)DeleteFileW(LongPathForm(temporary).c_str());
        return false;
      }
    }
    if (MoveFileExW(LongPathForm(temporary).c_str(), LongPathForm(path).c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return true;
    }
    (void)DeleteFileW(LongPathForm(temporary).c_str());
    return false;
  }
  // A program without a console of its own inherits a redirected standard output as a file or a pipe.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (output && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN) {
    return GetConsoleMode(output, &mode) ? WriteToConsole(output, text) : WriteBytes(output, WithMark(text));
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  UniqueHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  return console && WriteToConsole(console.get(), text);
}
