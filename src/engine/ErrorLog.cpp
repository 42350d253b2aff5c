#include "engine/ErrorLog.h"

#include "base/FileSystem.h"
#include "base/TimeStamp.h"
#include "engine/ForceDelete.h"
#include "ini/TextFile.h"

namespace {

WideString KeyWithSuffix(WideView keyBase, unsigned suffix) {
  if (suffix == 0) return WideString(keyBase);
  return text::Concat(keyBase, L".", text::DecimalUnsigned(suffix));
}

// An entry is one line; a line break inside a message would break the file apart.
WideString OneLine(WideView message) {
  WideString line(message);
  for (auto& c : line) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return line;
}

}  // namespace

namespace {

struct ExclusiveLock {
  SRWLOCK& lock;
  explicit ExclusiveLock(SRWLOCK& held) : lock(held) { AcquireSRWLockExclusive(&lock); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

}  // namespace

bool ErrorLog::Log(WideView prefix, WideView first, WideView second, WideView third) {
  WideString message = text::Concat(prefix, first, second, third);
  if (message.empty()) return false;
  if (sink_) {
    ExclusiveLock locked(lock_);
    sink_(OneLine(message));
    return true;
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LogAt(now, message);
}

bool ErrorLog::LogAt(const SYSTEMTIME& time, WideView message) {
  if (message.empty()) return false;
  WideString stamp = FormatTimeStamp(time, true);
  if (stamp.size() < 12) return false;
  WideString section = stamp.substr(0, 10);
  WideString key = stamp.substr(11);
  WideString line = OneLine(message);

  ExclusiveLock locked(lock_);
  if (!IsExistingFile(path_)) {
    tail_.reset();
    TextFile created;
    if (!created.Open(path_, TextFile::kUtf16Le | TextFile::kCreate)) return false;
  }
  if (Append(section, key, line)) return true;
  return WriteThroughProfile(section, key, line);
}

bool ErrorLog::Append(WideView section, WideView key, WideView message) {
  if (!tail_) return false;
  bool sameSection = section == tail_->section;
  // A clock that went back may meet keys written earlier; the profile path checks for them.
  if (section < WideView(tail_->section) || (sameSection && key < WideView(tail_->keyBase))) return false;

  TextFile file;
  if (!file.Open(path_, TextFile::kAppend | TextFile::kRaw | TextFile::kExclusive)) return false;
  if (file.Size() != static_cast<int64_t>(tail_->fileSize)) return false;

  unsigned suffix = (sameSection && key == WideView(tail_->keyBase)) ? tail_->suffix + 1 : 0;
  WideString entry;
  if (!sameSection) text::Append(entry, L"[", section, L"]\r\n");
  text::Append(entry, KeyWithSuffix(key, suffix), L"=", message, L"\r\n");
  size_t bytes = entry.size() * sizeof(wchar_t);
  if (!file.WriteBytes(entry.data(), bytes)) {
    tail_.reset();
    return false;
  }
  tail_->fileSize += bytes;
  tail_->section = WideString(section);
  tail_->keyBase = WideString(key);
  tail_->suffix = suffix;
  return true;
}

bool ErrorLog::WriteThroughProfile(WideView section, WideView key, WideView message) {
  WideString sectionText(section);
  unsigned suffix = 0;
  WideString candidate(key);
  static constexpr wchar_t kAbsent[] = L"\x01";
  wchar_t probe[4];
  while (GetPrivateProfileStringW(sectionText.c_str(), candidate.c_str(), kAbsent, probe, 4, path_.c_str()) != 1 ||
         probe[0] != kAbsent[0]) {
    candidate = KeyWithSuffix(key, ++suffix);
  }
  WideString messageText(message);
  if (!WritePrivateProfileStringW(sectionText.c_str(), candidate.c_str(), messageText.c_str(), path_.c_str())) {
    tail_.reset();
    return false;
  }
  RememberTail(section, key, suffix);
  return true;
}

// After a write through the profile functions, looks at the end of the file: when it is a UTF-16LE file
// whose last section is the one just written and which ends in CR LF, later entries can be appended.
void ErrorLog::RememberTail(WideView section, WideView keyBase, unsigned suffix) {
  tail_.reset();
  TextFile file;
  if (!file.Open(path_, TextFile::kReadOnly | TextFile::kRaw)) return;
  int64_t size = file.Size();
  if (size < 4 || size % 2) return;
  unsigned char mark[2] = {};
  DWORD got = 0;
  if (!ReadFile(file.handle(), mark, 2, &got, nullptr) || got != 2 || mark[0] != 0xFF || mark[1] != 0xFE) return;

  constexpr int64_t kTailBytes = 64 * 1024;
  int64_t from = std::max<int64_t>(2, size - kTailBytes);
  from += from % 2;
  if (file.Seek(from, FILE_BEGIN) < 0) return;
  WideString tailText(static_cast<size_t>((size - from) / 2), L'\0');
  if (!ReadFile(file.handle(), tailText.data(), static_cast<DWORD>(tailText.size() * 2), &got, nullptr) ||
      got != tailText.size() * 2) {
    return;
  }
  if (!text::EndsWith(tailText, L"\r\n")) return;
  size_t header = tailText.rfind(L"\r\n[");
  WideView lastHeader;
  if (header != WideString::npos) {
    lastHeader = WideView(tailText).substr(header + 2);
  } else if (from == 2 && text::StartsWith(tailText, L"[")) {
    lastHeader = tailText;
  } else {
    return;
  }
  if (!text::StartsWith(lastHeader, text::Concat(L"[", section, L"]\r\n"))) return;
  tail_ = Tail{static_cast<uint64_t>(size), WideString(section), WideString(keyBase), suffix};
}

bool ErrorLog::Clear() {
  ExclusiveLock locked(lock_);
  tail_.reset();
  return ForceDelete(path_, 0) != ForceDeleteResult::kFailed;
}
