#include "mainwnd/JobStatus.h"

JobStatus LoadedStatus(WideView path) { return {text::Concat(L"Loaded: ", StatusFileName(path)), WideString(path)}; }

WideString StatusFileName(WideView path) {
  size_t slash = path.rfind(L'\\');
  if (slash != WideView::npos) return WideString(path.substr(slash + 1));
  if (!path.empty() && path.back() == L':') return {};
  return WideString(path);
}
