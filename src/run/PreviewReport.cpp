#include "run/PreviewReport.h"

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"

namespace {

constexpr WideView kActionNames[] = {L"new", L"update", L"delete", L"folder", L"held", L"newer"};

}  // namespace

void PreviewReport::Totals::Add(const Totals& other) {
  for (size_t i = 0; i < actions.size(); ++i) actions[i] += other.actions[i];
  bytesToCopy += other.bytesToCopy;
}

WideString PreviewReport::TotalsText(const Totals& totals) {
  WideString text;
  for (size_t i = 0; i < totals.actions.size(); ++i) {
    text::Append(text, L"\t", kActionNames[i], L"=", text::DecimalUnsigned(totals.actions[i]));
  }
  text::Append(text, L"\tbytes=", text::DecimalUnsigned(totals.bytesToCopy));
  return text;
}

void PreviewReport::BeginJob(const FolderPair& pair) {
  std::lock_guard<std::mutex> lock(mutex_);
  pair_ = &pair;
  job_ = {};
}

void PreviewReport::EndJob(bool setUp) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++pairs_;
  text::Append(text_, L"pair\t", pair_->source, L"\t", pair_->destination);
  if (setUp) {
    text::Append(text_, TotalsText(job_), L"\r\n");
    run_.Add(job_);
  } else {
    ++pairsNotSetUp_;
    text::Append(text_, L"\tnot set up\r\n");
  }
  pair_ = nullptr;
}

void PreviewReport::Planned(PlannedAction action, const WideString& path, uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto index = static_cast<size_t>(action);
  ++job_.actions[index];
  if (action == PlannedAction::kNew || action == PlannedAction::kUpdate) job_.bytesToCopy += bytes;
  text::Append(text_, kActionNames[index], L"\t", path, L"\t", text::DecimalUnsigned(bytes), L"\r\n");
}

void PreviewReport::Problem(WideView message) {
  std::lock_guard<std::mutex> lock(mutex_);
  text::Append(text_, L"error\t", message, L"\r\n");
}

WideString PreviewReport::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text::Concat(text_, L"run\tpairs=", text::DecimalUnsigned(pairs_), L"\tnot set up=",
                      text::DecimalUnsigned(pairsNotSetUp_), TotalsText(run_), L"\r\n");
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
