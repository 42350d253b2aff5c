#include "jobs/SettingsFile.h"

#include "jobs/FtpLocation.h"

#include <set>

namespace {

constexpr WideView kSettings = L"Settings";
constexpr WideView kFolders = L"Folders";
constexpr WideView kPairSeparator = L"<|>";

// Calls visit(key, value, lineNumber) for each key line of the "Folders" section, in file order.
template <typename Visit>
void ForEachFolderLine(const IniFile& store, Visit visit) {
  auto range = store.SectionRange(kFolders);
  if (!range) return;
  for (size_t line = store.NextKeyLine(range->firstBody, range->end); line != 0;
       line = store.NextKeyLine(line, range->end)) {
    WideString key, value;
    if (store.GetKeyValueAt(line, key, value)) visit(key, value, line);
  }
}

bool NeedsUpgrade(const IniFile& store) {
  return text::ParseDecimal(text::View(store.GetString(kSettings, L"version", L"0"))) == 0;
}

struct PairTexts {
  WideString source;
  WideString destination;
};

// Only the first two parts count; a value without separator names the same text on both sides.
PairTexts SplitPair(WideView value) {
  size_t separator = value.find(kPairSeparator);
  if (separator == WideView::npos) return {WideString(value), WideString(value)};
  WideView rest = value.substr(separator + kPairSeparator.size());
  return {WideString(value.substr(0, separator)), WideString(rest.substr(0, rest.find(kPairSeparator)))};
}

// Fills the visible side and its stored form from a file text. A stored form that cannot be deciphered
// stays visible as it is, so that saving the job again keeps it instead of dropping the pair.
void ReadSide(const WideString& fileText, WideString& shown, WideString& stored) {
  if (!text::StartsWith(fileText, kStoredFormPrefix)) {
    shown = fileText;
    return;
  }
  stored = fileText;
  auto display = DisplayForm(fileText, true);
  shown = display ? *display : fileText;
}

const WideString& SideToSave(const WideString& shown, const WideString& stored) {
  return (text::StartsWith(shown, kDisplayFormPrefix, false) && !stored.empty()) ? stored : shown;
}

}  // namespace

uint32_t LoadJob(IniFile& jobIni, WideView path, JobList& jobs, BackupOptions& options) {
  jobIni.Load(path, true);
  jobIni.SetAutoSave(true);
  if (NeedsUpgrade(jobIni)) UpgradeSettings(jobIni);

  jobs.Clear();
  ForEachFolderLine(jobIni, [&](const WideString& key, const WideString& value, size_t) {
    PairTexts texts = SplitPair(value);
    FolderPair pair;
    pair.itemId = key;
    ReadSide(texts.source, pair.source, pair.sourceLocation);
    WideString destination = texts.destination;
    if (!destination.empty() && (destination[0] == L'0' || destination[0] == L'1')) {
      pair.checked = destination[0] == L'1';
      destination.erase(0, 1);
    }
    ReadSide(destination, pair.destination, pair.destinationLocation);
    jobs.Add(std::move(pair));
  });

  const wchar_t* flagText = jobIni.GetString(kSettings, L"Flag", nullptr);
  const wchar_t* skipText = jobIni.GetString(kSettings, L"SkipAttributes", nullptr);
  uint32_t flag = flagText ? static_cast<uint32_t>(text::ParseDecimal(flagText)) : kDefaultFlag;
  uint32_t skip = skipText ? static_cast<uint32_t>(text::ParseDecimal(skipText)) : kDefaultSkipAttributes;
  options = BackupOptions::FromStored(flag, skip);
  options.keepVersions = KeepVersionsSetting(jobIni);
  return flag;
}

std::optional<size_t> SaveJob(IniFile& jobIni, WideView path, const JobList& jobs, const BackupOptions& options) {
  jobIni.SetString(kSettings, L"version", L"1");
  jobIni.SetString(kSettings, L"Flag", text::DecimalUnsigned(options.FlagValue()));
  jobIni.SetString(kSettings, L"SkipAttributes", text::DecimalUnsigned(options.skipAttributes));
  // A file that never named the days keeps reading the default without the key.
  if (options.keepVersions != kDefaultKeepVersions || jobIni.GetString(kSettings, L"KeepVersions", nullptr)) {
    jobIni.SetString(kSettings, L"KeepVersions", text::DecimalUnsigned(options.keepVersions));
  }
  std::vector<WideString> lines;
  lines.reserve(jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    const FolderPair& pair = jobs[i];
    const WideString& source = SideToSave(pair.source, pair.sourceLocation);
    const WideString& destination = SideToSave(pair.destination, pair.destinationLocation);
    if (source.empty() || destination.empty()) continue;
    lines.push_back(text::Concat(text::DecimalUnsigned(i), L"=", source, kPairSeparator, pair.checked ? L"" : L"0",
                                 destination));
  }
  size_t written = lines.size();
  jobIni.ReplaceSection(kFolders, std::move(lines));

  // The file always holds text (the options), so a save that wrote nothing failed, whatever the count.
  if (!jobIni.Save(path)) return std::nullopt;
  return written;
}

size_t UpgradeSettings(IniFile& store) {
  struct OldLine {
    size_t number;
    WideString source;
    WideString destination;
  };
  std::vector<OldLine> oldLines;
  std::set<WideString> usedKeys;
  ForEachFolderLine(store, [&](const WideString& key, const WideString& value, size_t line) {
    // A file may lack its version and still hold lines in the numbered form (written by hand, or mixed
    // with old lines); read as "source=destination", such a line would become a different pair.
    if (value.find(kPairSeparator) == WideString::npos) {
      oldLines.push_back({line, key, value});
    } else {
      usedKeys.insert(key);
    }
  });

  // Each old line becomes a numbered line where it stands, so the pairs keep their order, under the
  // lowest number no numbered line has taken.
  size_t next = 0;
  for (const OldLine& old : oldLines) {
    while (usedKeys.count(text::DecimalUnsigned(next))) ++next;
    store.SetKeyValueAt(old.number, text::DecimalUnsigned(next++),
                        text::Concat(old.source, kPairSeparator, old.destination));
  }
  store.SetString(kSettings, L"version", L"1");
  store.Save();
  return oldLines.size();
}

int InspectSettingsFile(WideView path) {
  IniFile store(path);
  if (store.loadFailedOnExistingFile()) return -1;
  if (NeedsUpgrade(store)) UpgradeSettings(store);
  if (!store.SectionRange(kFolders)) return -1;
  int checked = 0;
  ForEachFolderLine(store, [&](const WideString&, const WideString& value, size_t) {
    PairTexts texts = SplitPair(value);
    if (texts.destination.empty() || texts.destination[0] != L'0') ++checked;
  });
  return checked;
}

uint32_t KeepVersionsSetting(const IniFile& jobIni) {
  auto days = text::ParseBoundedDecimal(text::View(jobIni.GetString(kSettings, L"KeepVersions", L"")), 0, 36500);
  return days ? static_cast<uint32_t>(*days) : kDefaultKeepVersions;
}

uint32_t DeleteLimitSetting(const IniFile& jobIni) {
  auto limit = text::ParseBoundedDecimal(text::View(jobIni.GetString(kSettings, L"DeleteLimit", L"")), 1, 100);
  return limit ? static_cast<uint32_t>(*limit) : kDefaultDeleteLimit;
}

uint32_t BackupOptions::FlagValue() const {
  return static_cast<uint32_t>(mode) | (useUpdateMethod ? kUpdateMethodFlag : 0);
}

BackupOptions BackupOptions::FromStored(uint32_t flag, uint32_t skipAttributes) {
  BackupOptions options;
  if (flag & 4) options.mode = BackupMode::kSync;
  else if (flag & 2) options.mode = BackupMode::kRestore;
  else if (flag & 1) options.mode = BackupMode::kStrict;
  else options.mode = BackupMode::kCommon;
  options.useUpdateMethod = options.mode == BackupMode::kSync || (flag & kUpdateMethodFlag) != 0;
  options.skipAttributes = skipAttributes & (kSkipHidden | kSkipSystem);
  return options;
}
