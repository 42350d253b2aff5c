#include "mainwnd/JobStatus.h"

#include "run/RunFigures.h"

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

WideString RunSummaryText(const RunSummary& summary) {
  WideView operation = summary.restoring ? L"restore" : L"backup";
  bool failed = summary.failures != 0 || summary.jobsSkipped != 0;
  WideString text = summary.result == RunResult::kCancelled ? text::Concat(L"The ", operation, L" was cancelled.")
                    : failed ? text::Concat(L"The ", operation, L" finished with failures.")
                             : text::Concat(L"The ", operation, L" is complete.");
  text::Append(text, L"\r\n\r\nFiles copied: ", GroupedNumber(summary.filesCopied), L" (", SizeText(summary.bytesCopied),
               L")\r\nReplaced: ", GroupedNumber(summary.replaced), L"\r\nDeleted: ", GroupedNumber(summary.deleted),
               L"\r\nKept as versions: ", GroupedNumber(summary.keptAsVersions));
  text::Append(text, L"\r\nDeletions held back: ", GroupedNumber(summary.heldBack));
  if (summary.heldBack != 0) text::Append(text, L" (not confirmed)");
  text::Append(text, summary.restoring ? L"\r\nNewer in the source: " : L"\r\nNewer in the backup: ",
               GroupedNumber(summary.newerInTarget), L"\r\nTime taken: ", ElapsedText(summary.seconds));
  if (failed) text::Append(text, L"\r\n\r\n", FailureReport(summary.failures, summary.jobsSkipped));
  return text;
}
