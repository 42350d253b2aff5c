#include "update/UpdateCheck.h"

#include "base/FileSystem.h"
#include "base/ProgramVersion.h"
#include "engine/ForceDelete.h"
#include "engine/PartialCopy.h"
#include "update/AutoUpdateWindow.h"
#include "update/Download.h"
#include "update/Verification.h"
#include "update/Version.h"

#include <memory>
#include <string_view>

namespace {

constexpr WideView kVersionPage = L"/brimlark_backup/checkversion.php";
constexpr WideView kExecutablePage = L"/brimlark_backup/Brimlark.exe";
constexpr WideView kRefusal = L"\r\ninvalid";
constexpr DWORD kPollMs = 10;
constexpr uint32_t kHttpOk = 200;

// The site's scheme and host (with its port, when it names one): what a browser would send as Referer.
WideString HomeOf(WideView site) {
  size_t hostStart = site.find(L"://");
  size_t pathStart = hostStart == WideView::npos ? WideView::npos : site.find(L'/', hostStart + 3);
  return WideString(site.substr(0, pathStart));
}

// Waits for the download to end, keeping the window (when it is open) answering and its bar up to date.
// False when the user cancelled: the window goes at once and the download is told to stop (it may take a
// moment to notice, and its owner waits for it).
bool AwaitDownload(Download& download, AutoUpdateWindow& window, bool showPercent) {
  uint32_t shown = UINT32_MAX;
  HANDLE thread = download.thread();
  while (!download.Ended()) {
    if (!window.IsOpen()) {
      WaitForSingleObject(thread, kPollMs);
      continue;
    }
    if (window.CancelRequested()) {
      download.Cancel();
      window.Close();
      return false;
    }
    if (showPercent && download.percent() != shown) {
      shown = download.percent();
      window.ShowPercent(shown);
    }
    MsgWaitForMultipleObjects(1, &thread, FALSE, kPollMs, QS_ALLINPUT);
  }
  if (window.IsOpen() && window.CancelRequested()) {
    window.Close();
    return false;
  }
  return true;
}

// The version the answer starts with: its first line, without a byte-order mark or blanks before it.
WideView FirstLine(WideView answer) {
  while (!answer.empty() && (answer.front() == 0xFEFF || answer.front() == L' ' || answer.front() == L'\t')) {
    answer.remove_prefix(1);
  }
  return answer.substr(0, answer.find_first_of(L"\r\n"));
}

void Discard(const WideString& path) {
  if (IsExistingFile(path)) (void)ForceDelete(path, 0);
}

// The running executable cannot be overwritten, but it can be renamed: it moves aside to updateTempPath
// and the new file takes its name. When the second step fails, the first is undone.
bool PutInPlace(const AppPaths& paths, const WideString& newExecutable) {
  constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  WideString modulePath = LongPathForm(paths.modulePath);
  WideString asidePath = LongPathForm(paths.updateTempPath);
  if (!MoveFileExW(modulePath.c_str(), asidePath.c_str(), kReplace)) return false;
  if (MoveFileExW(LongPathForm(newExecutable).c_str(), modulePath.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  (void)MoveFileExW(asidePath.c_str(), modulePath.c_str(), kReplace);
  return false;
}

// The downloaded file is the one to install: the transfer ended whole with 200, it holds every byte the
// server announced, its digest is the announced one, and it is a Windows program.
bool IsTheAnnouncedExecutable(const Download& download, const WideString& path, const Sha256Digest& announced) {
  if (download.state() != DownloadState::kFinished || download.status() != DownloadStatus::kOk ||
      download.httpStatus() != kHttpOk) {
    return false;
  }
  if (std::optional<uint64_t> size = download.announcedSize(); size && FileSize(path) != *size) return false;
  std::optional<Sha256Digest> digest = FileSha256(path);
  return digest && *digest == announced && HasExecutableHeader(path);
}

}  // namespace

std::optional<WideString> UpdateSite(const IniFile& appIni) {
  WideString site(text::Trim(text::View(appIni.GetString(L"Settings", L"UpdateSite", L""))));
  while (!site.empty() && site.back() == L'/') site.pop_back();
  if (site.empty()) return WideString(kDefaultUpdateSite);
  constexpr WideView kScheme = L"https://";
  if (!text::StartsWith(site, kScheme, false) || site.size() == kScheme.size()) return std::nullopt;
  return site;
}

UpdateOutcome RunUpdateCheck(const AppPaths& paths, const IniFile& appIni, UiMode uiMode, UiWindow* owner) {
  std::optional<WideString> site = UpdateSite(appIni);
  if (!site) return UpdateOutcome::kNothingInstalled;
  WideString home = HomeOf(*site);

  AutoUpdateWindow window(owner);
  if (uiMode == UiMode::kNormal) (void)window.Open();

  DownloadRequest check;
  check.url = text::Concat(*site, kVersionPage);
  check.mode = kDownloadToMemory | kDownloadReload;
  check.referer = home;
  std::unique_ptr<Download> versionDownload = Download::Start(std::move(check));
  if (!versionDownload || !AwaitDownload(*versionDownload, window, false)) return UpdateOutcome::kNothingInstalled;
  if (versionDownload->status() != DownloadStatus::kOk || versionDownload->state() != DownloadState::kFinished ||
      versionDownload->httpStatus() != kHttpOk) {
    return UpdateOutcome::kNothingInstalled;
  }
  std::string_view bytes = versionDownload->data();
  bytes = bytes.substr(0, bytes.find('\0'));
  WideString answer = text::FromUtf8(bytes);
  if (text::Find(answer, kRefusal, {.caseSensitive = false}) != 0) return UpdateOutcome::kNothingInstalled;
  if (CompareVersions(FirstLine(answer), kProgramVersion) <= 0) return UpdateOutcome::kNothingInstalled;
  // Without the digest nothing could tell the file that arrives from another: nothing is installed.
  std::optional<Sha256Digest> announced = AnnouncedSha256(bytes);
  if (!announced) return UpdateOutcome::kNothingInstalled;
  versionDownload.reset();

  window.ShowDownloading();
  WideString newExecutable = text::Concat(paths.modulePath, kPartialCopySuffix);
  DownloadRequest fetch;
  fetch.url = text::Concat(*site, kExecutablePage);
  fetch.targetPath = newExecutable;
  fetch.mode = kDownloadReload;
  fetch.referer = home;
  std::unique_ptr<Download> download = Download::Start(std::move(fetch));
  if (!download) return UpdateOutcome::kNothingInstalled;
  bool kept = AwaitDownload(*download, window, true);
  if (kept) window.ShowPercent(download->percent());
  kept = kept && IsTheAnnouncedExecutable(*download, newExecutable, *announced);
  download.reset();
  if (!kept || !PutInPlace(paths, newExecutable)) {
    Discard(newExecutable);
    return UpdateOutcome::kNothingInstalled;
  }
  return UpdateOutcome::kNewVersionInstalled;
}
