#include "engine/RunHistory.h"

#include "ini/TextFile.h"

#include <cwchar>

namespace {

WideString Stamp(const SYSTEMTIME& time) {
  wchar_t text[32] = {};
  swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
           time.wSecond);
  return text;
}

// A field is one piece of a line: tabs and line breaks in a path would cut the line apart.
WideString Field(WideView value) {
  WideString field(value);
  for (auto& c : field) {
    if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
  }
  return field;
}

WideString Figure(WideView name, uint64_t value) { return text::Concat(L"\t", name, L"=", text::DecimalUnsigned(value)); }

}  // namespace

WideString JobHistoryLine(const SYSTEMTIME& time, const JobRecord& record) {
  return text::Concat(Stamp(time), L"\t", Field(record.settingsFile), L"\t", Field(record.source), L"\t",
                      Field(record.destination), L"\t", record.mode, L"\tresult=", record.result,
                      text::Concat(Figure(L"copied", record.filesCopied), Figure(L"bytes", record.bytesCopied),
                                   Figure(L"replaced", record.replaced), Figure(L"deleted", record.deleted)),
                      text::Concat(Figure(L"versions", record.keptAsVersions), Figure(L"held", record.heldBack),
                                   Figure(L"newer", record.newerInTarget), Figure(L"failures", record.failures),
                                   Figure(L"seconds", record.seconds)));
}

WideString RunEndHistoryLine(const SYSTEMTIME& time, WideView settingsFile, int exitCode) {
  return text::Concat(Stamp(time), L"\t", Field(settingsFile), L"\texit=", text::Decimal(exitCode));
}

bool RunHistory::Append(WideView line) {
  if (path_.empty()) return false;
  for (int attempt = 0; attempt < 25; ++attempt) {
    if (attempt > 0) Sleep(20);
    TextFile file;
    if (!file.Open(path_, TextFile::kAppend | TextFile::kUtf16Le | TextFile::kExclusive)) {
      if (file.lastError() == ERROR_SHARING_VIOLATION) continue;
      return false;
    }
    WideString text = text::Concat(line, L"\r\n");
    for (size_t at = 0; at + 2 < text.size(); ++at) {
      if (text[at] == L'\r' || text[at] == L'\n') text[at] = L' ';  // one line, whatever it was given
    }
    return file.WriteText(text) == text.size() * sizeof(wchar_t);
  }
  return false;
}
