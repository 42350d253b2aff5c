#include "mainwnd/JobStatus.h"

JobStatus LoadedStatus(WideView path) { return {text::Concat(L"Loaded: ", StatusFileName(path)), WideString(path)}; }

WideString StatusFileName(WideView path) {
  size_t slash = path.rfind(L'\\');
  if (slash != WideView::npos) return WideString(path.substr(slash + 1));
  if (!path.empty() && path.back() == L':') return {};
  return WideString(path);
}

WideString FailureReport(uint64_t failedFiles, uint64_t failedPairs) {
  if (failedFiles == 0 && failedPairs == 0) return {};
  WideString report;
  if (failedFiles != 0) {
    text::Append(report, text::DecimalUnsigned(failedFiles), failedFiles == 1 ? L" file" : L" files",
                 L" could not be copied.\r\n");
  }
  if (failedPairs != 0) {
    text::Append(report, text::DecimalUnsigned(failedPairs), failedPairs == 1 ? L" folder pair" : L" folder pairs",
                 L" could not be backed up.\r\n");
  }
  text::Append(report, L"\r\nFor more information please see the error log.");
  return report;
}
