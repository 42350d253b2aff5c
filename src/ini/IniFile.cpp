#include "ini/IniFile.h"

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"
#include "ini/TextFile.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

// Settings files hold a few hundred lines; anything larger is not one, and reading it whole could exhaust
// the memory of a 32-bit process.
constexpr int64_t kMaxFileSize = 16 << 20;

// A line matches key when it begins with the key (first character exact, the rest in any case) and only
// spaces and tabs stand between the key and the first "=".
bool LineMatchesKey(const WideString& line, WideView key) {
  if (key.empty() || line.size() < key.size() + 1 || line[0] != key[0]) return false;
  if (!text::StartsWith(line, key, false)) return false;
  for (size_t at = key.size(); at < line.size(); ++at) {
    if (line[at] == L'=') return true;
    if (line[at] != L' ' && line[at] != L'\t') return false;
  }
  return false;
}

// Whether the file is the UTF-16LE text content with its byte-order mark, byte for byte.
bool HoldsExactly(const WideString& path, const WideString& content) {
  TextFile file;
  if (!file.Open(path, TextFile::kReadOnly | TextFile::kRaw)) return false;
  size_t expected = 2 + content.size() * sizeof(wchar_t);
  if (file.Size() != static_cast<int64_t>(expected)) return false;
  std::string bytes(expected, '\0');
  DWORD got = 0;
  if (!ReadFile(file.handle(), bytes.data(), static_cast<DWORD>(expected), &got, nullptr) || got != expected) return false;
  return bytes[0] == '\xFF' && bytes[1] == '\xFE' && std::memcmp(bytes.data() + 2, content.data(), expected - 2) == 0;
}

// FNV-1a over the UTF-16 units: the same in every build of the program, 32-bit and 64-bit alike.
uint64_t TextHash(WideView text) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (wchar_t unit : text) {
    hash = (hash ^ static_cast<uint16_t>(unit)) * 0x100000001B3ull;
  }
  return hash;
}

// Held while a store reads its file again and replaces it, so that two instances saving the same file at
// once never both start from the same old content (the second would undo the first one's changes).
class SaveLock {
 public:
  explicit SaveLock(WideView path) {
    WideString name = text::Concat(L"Local\\BrimlarkSettingsFile-", text::Hex(TextHash(text::ToLower(path))));
    mutex_.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) return;
    // An instance that ended while holding it leaves it abandoned, which is as good as released; one that
    // hangs never stops another from saving for longer than this.
    DWORD waited = WaitForSingleObject(mutex_.get(), 10000);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~SaveLock() {
    if (held_) ReleaseMutex(mutex_.get());
  }
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;

 private:
  UniqueKernelHandle mutex_;
  bool held_ = false;
};

WideString BuildFileText(const std::vector<WideString>& lines) {
  size_t length = 0;
  for (const auto& line : lines) length += line.size() + 2;
  WideString result;
  result.reserve(length);
  for (const auto& line : lines) {
    if (!line.empty()) text::Append(result, line, L"\r\n");
  }
  return result;
}

}  // namespace

IniFile::IniFile() : headerPattern_(L"^\\[(.+)\\].*", Regex::kCaseless) {}

IniFile::IniFile(WideView path) : IniFile() { Load(path, false); }

IniFile::~IniFile() { AutoSaveNow(); }

// A store that changed nothing writes nothing: its copy of the file may be hours old, and another
// instance (the monitor, a scheduled run, the settings window) may have written the file since.
void IniFile::AutoSaveNow() {
  if (autoSave_ && modified()) (void)Save();
}

bool IniFile::Load(WideView path, bool saveFirst) {
  if ((saveFirst || autoSave_) && modified()) (void)Save();
  lines_.clear();
  changes_.clear();
  path_ = WideString(path);
  loadFailedOnExistingFile_ = false;
  textHeldZero_ = false;
  loadedTextHash_ = TextHash({});

  // A file that is there but gave no text must not be replaced by an empty store. Only a file that is
  // definitely missing, empty or nothing but a mark may be created or filled by a later save.
  TextFile file;
  if (!file.Open(path, TextFile::kReadOnly)) {
    DWORD error = file.lastError();
    loadFailedOnExistingFile_ = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    return false;
  }
  int64_t size = file.Size();
  int64_t textStart = file.Seek(0, FILE_CURRENT);
  if (size < 0 || textStart < 0 || size > kMaxFileSize) {
    loadFailedOnExistingFile_ = true;
    return false;
  }
  WideString content;
  if (file.ReadAllText(content) == 0) {
    loadFailedOnExistingFile_ = size > textStart;
    return false;
  }
  textHeldZero_ = content.find(L'\0') != WideString::npos;
  loadedTextHash_ = TextHash(content);

  // Split at CR LF; a text with LF alone (and no CR LF) is split at LF. Bare CR never splits, and in a
  // text with mixed line ends a lone LF stays inside its line, so saving gives back the same bytes.
  WideView separator = L"\r\n";
  if (content.find(L"\r\n") == WideString::npos && content.find(L'\n') != WideString::npos) separator = L"\n";
  WideView rest = content;
  while (true) {
    size_t cut = rest.find(separator);
    WideView piece = rest.substr(0, cut);
    if (!piece.empty() && piece[0] != L'\r') lines_.emplace_back(text::Trim(piece));
    if (cut == WideView::npos) break;
    rest.remove_prefix(cut + separator.size());
  }
  return true;
}

bool IniFile::IsHeaderLine(const WideString& line) const {
  return line.size() > 2 && line[0] == L'[' && headerPattern_.Matches(line);
}

std::optional<size_t> IniFile::FindHeader(WideView section) const {
  if (section.empty()) return std::nullopt;
  WideString bracketed = text::Concat(L"[", section, L"]");
  for (size_t i = 0; i < lines_.size(); ++i) {
    const WideString& line = lines_[i];
    if (line.size() > 2 && line[0] == L'[' && line[1] == section[0] && text::StartsWith(line, bracketed, false)) {
      return i;
    }
  }
  return std::nullopt;
}

size_t IniFile::BodyEnd(size_t headerIndex) const {
  size_t i = headerIndex + 1;
  while (i < lines_.size() && !IsHeaderLine(lines_[i])) ++i;
  return i;
}

// Without a header: among the lines before the first section.
std::optional<size_t> IniFile::FindKeyLine(std::optional<size_t> headerIndex, WideView trimmedKey) const {
  if (trimmedKey.empty() || trimmedKey[0] == L'[') return std::nullopt;
  for (size_t i = headerIndex ? *headerIndex + 1 : 0; i < lines_.size() && !IsHeaderLine(lines_[i]); ++i) {
    if (LineMatchesKey(lines_[i], trimmedKey)) return i;
  }
  return std::nullopt;
}

const wchar_t* IniFile::GetString(WideView section, WideView key, const wchar_t* defaultValue) const {
  if (section.empty() || key.empty()) return defaultValue;
  auto header = FindHeader(section);
  if (!header) return defaultValue;
  auto line = FindKeyLine(*header, text::Trim(key));
  if (!line) return defaultValue;
  const WideString& found = lines_[*line];
  size_t at = found.find(L'=') + 1;
  while (at < found.size() && (found[at] == L' ' || found[at] == L'\t')) ++at;
  return found.c_str() + at;
}

WideString IniFile::SectionOfLine(size_t index) const {
  for (size_t i = index + 1; i-- > 0;) {
    if (i < lines_.size() && IsHeaderLine(lines_[i])) {
      const WideString& header = lines_[i];
      return header.substr(1, header.find(L']') - 1);
    }
  }
  return {};
}

int IniFile::SetString(WideView section, WideView key, WideView value) {
  if (section.empty() || key.empty()) return 0;
  changes_.push_back({Change::Kind::kSet, WideString(section), WideString(key), WideString(value), {}, {}});
  WideString newLine = text::Concat(key, L"=", value);
  auto header = FindHeader(section);
  if (!header) {
    lines_.push_back(text::Concat(L"[", section, L"]"));
    lines_.push_back(std::move(newLine));
    return 1;
  }
  if (auto line = FindKeyLine(*header, text::Trim(key))) {
    lines_[*line] = std::move(newLine);
  } else {
    lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(BodyEnd(*header)), std::move(newLine));
  }
  return 1;
}

int IniFile::DeleteKey(WideView section, WideView key) {
  if (key.empty()) return 0;
  auto header = FindHeader(section);
  if (!header) return 2;
  auto line = FindKeyLine(*header, text::Trim(key));
  if (!line) return 2;
  lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(*line));
  changes_.push_back({Change::Kind::kDeleteKey, WideString(section), WideString(key), {}, {}, {}});
  return 1;
}

void IniFile::EraseSection(size_t headerIndex) {
  lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(headerIndex),
               lines_.begin() + static_cast<ptrdiff_t>(BodyEnd(headerIndex)));
}

void IniFile::ReplaceSection(WideView section, std::vector<WideString> keyLines) {
  changes_.push_back({Change::Kind::kReplaceSection, WideString(section), {}, {}, {}, keyLines});
  while (auto header = FindHeader(section)) EraseSection(*header);
  lines_.reserve(lines_.size() + keyLines.size() + 1);
  lines_.push_back(text::Concat(L"[", section, L"]"));
  for (WideString& line : keyLines) lines_.push_back(std::move(line));
}

int IniFile::DeleteSection(WideView section) {
  auto header = FindHeader(section);
  if (!header) return 2;
  EraseSection(*header);
  changes_.push_back({Change::Kind::kDeleteSection, WideString(section), {}, {}, {}, {}});
  return 1;
}

std::optional<IniFile::Range> IniFile::SectionRange(WideView section) const {
  auto header = FindHeader(section);
  if (!header) return std::nullopt;
  return Range{*header + 1, BodyEnd(*header)};
}

size_t IniFile::NextKeyLine(size_t from, size_t to) const {
  size_t end = (to == 0 || to > lines_.size()) ? lines_.size() : to;
  for (size_t i = from; i < end; ++i) {
    const WideString& line = lines_[i];
    if (line.size() <= 2 || line[0] == L';') continue;
    if (line[0] == L'[') {
      if (IsHeaderLine(line)) return 0;
      continue;
    }
    if (line.find(L'=', 1) != WideString::npos) return i + 1;
  }
  return 0;
}

bool IniFile::GetKeyValueAt(size_t lineNumber, WideString& key, WideString& value) const {
  if (lineNumber == 0 || lineNumber > lines_.size()) return false;
  const WideString& line = lines_[lineNumber - 1];
  size_t equals = line.find(L'=', 1);
  if (equals == WideString::npos) return false;
  key = text::TrimRight(WideView(line).substr(0, equals));
  value = text::TrimLeft(WideView(line).substr(equals + 1));
  return true;
}

bool IniFile::SetKeyValueAt(size_t lineNumber, WideView key, WideView value) {
  if (lineNumber == 0 || lineNumber > lines_.size() || key.empty()) return false;
  WideString replacedKey, replacedValue;
  if (GetKeyValueAt(lineNumber, replacedKey, replacedValue)) {
    changes_.push_back({Change::Kind::kReplaceLine, SectionOfLine(lineNumber - 1), WideString(key), WideString(value),
                        std::move(replacedKey), {}});
  }
  lines_[lineNumber - 1] = text::Concat(key, L"=", value);
  return true;
}

void IniFile::ApplyChange(const Change& change) {
  switch (change.kind) {
    case Change::Kind::kSet: (void)SetString(change.section, change.key, change.value); break;
    case Change::Kind::kDeleteKey: (void)DeleteKey(change.section, change.key); break;
    case Change::Kind::kDeleteSection: (void)DeleteSection(change.section); break;
    case Change::Kind::kReplaceSection: ReplaceSection(change.section, change.lines); break;
    case Change::Kind::kReplaceLine: {
      // The line is replaced where it stands now, if another program has not changed it already.
      std::optional<size_t> header;
      if (!change.section.empty() && !(header = FindHeader(change.section))) break;
      if (auto line = FindKeyLine(header, text::Trim(change.replacedKey))) {
        (void)SetKeyValueAt(*line + 1, change.key, change.value);
      }
      break;
    }
  }
}

bool IniFile::Save(std::optional<WideView> path) {
  // Writing back a store that did not read its file fully would replace that file with what little was
  // understood of it; only a path the caller names may do that.
  if (readOnly_ || (!path && writeBackRefused())) return false;
  if (path) path_ = WideString(*path);
  if (path_.empty()) return false;
  if (!path) return MergeIntoFile();
  SaveLock lock(path_);
  bool wroteText = false;
  if (!WriteFile(lines_, wroteText)) return false;
  changes_.clear();
  return wroteText;
}

bool IniFile::MergeIntoFile() {
  SaveLock lock(path_);
  IniFile current;
  current.Load(path_);
  // A file that is there but cannot be read now (held open, or no text any more) is left alone.
  if (current.writeBackRefused()) return false;
  // Nobody wrote the file since it was read: what this store holds is the merged result already.
  bool unchangedOnDisk = current.loadedTextHash_ == loadedTextHash_;
  if (!unchangedOnDisk) {
    for (const Change& change : changes_) current.ApplyChange(change);
  }
  bool wroteText = false;
  if (!WriteFile(unchangedOnDisk ? lines_ : current.lines_, wroteText)) return false;
  if (!unchangedOnDisk) lines_ = std::move(current.lines_);
  changes_.clear();
  return wroteText;
}

bool IniFile::WriteFile(const std::vector<WideString>& lines, bool& wroteText) {
  WideString content = BuildFileText(lines);
  wroteText = !content.empty();

  // A file that already holds exactly this content is left alone: rewriting it would only cost a flush
  // to disk.
  if (!content.empty() && HoldsExactly(path_, content)) {
    loadFailedOnExistingFile_ = false;
    textHeldZero_ = false;
    loadedTextHash_ = TextHash(content);
    return true;
  }

  // The new content goes to a temporary file beside the target, which replaces the target in one step
  // only when it is complete: a full disk or a killed process never leaves a half-written store.
  WideString temporaryPath = text::Concat(path_, L".", text::Hex(GetCurrentProcessId()), L"-",
                                          text::Hex(GetTickCount64()), L".tmp");
  TextFile temporary;
  if (!temporary.Open(temporaryPath,
                      TextFile::kUtf16Le | TextFile::kCreateFolders | TextFile::kExclusive | TextFile::kCreate)) {
    return false;
  }
  size_t written = content.empty() ? 0 : temporary.WriteText(content);
  bool complete = content.empty() || written == content.size() * sizeof(wchar_t);
  complete = complete && FlushFileBuffers(temporary.handle());
  temporary.Close();

  WideString longTemporary = LongPathForm(temporaryPath);
  WideString longTarget = LongPathForm(path_);
  if (complete) {
    // Keep the hidden and system marks of the file being replaced.
    DWORD oldAttributes = GetFileAttributesW(longTarget.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
      DWORD kept = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
      if (kept) SetFileAttributesW(longTemporary.c_str(), kept);
    }
    // Another program reading the file for a moment (an indexer, a virus scanner) is waited out briefly.
    for (int attempt = 0; attempt < 10; ++attempt) {
      if (attempt > 0) Sleep(20);
      complete = MoveFileExW(longTemporary.c_str(), longTarget.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      DWORD error = complete ? ERROR_SUCCESS : GetLastError();
      if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    }
  }
  if (!complete) {
    DeleteFileW(longTemporary.c_str());
    return false;
  }
  loadFailedOnExistingFile_ = false;
  textHeldZero_ = false;
  loadedTextHash_ = TextHash(content);
  return true;
}
