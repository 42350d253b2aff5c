#pragma once
// The program's own INI store: the whole file in memory as an ordered list of lines, looked up by
// section and key, edited in place and written back as UTF-16LE with a byte-order mark and CR LF.

#include "base/Regex.h"
#include "base/WideString.h"

#include <optional>
#include <vector>

class IniFile {
 public:
  struct Range {
    size_t firstBody;  // index of the first line after the header
    size_t end;        // index of the next header line, or the number of lines
  };

  IniFile();
  explicit IniFile(WideView path);
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  // Replaces the content with the file's lines; true when any text was read. The path is kept even
  // when the file cannot be read, so that a later Save creates it (or, for a file that is there but
  // could not be read, a Save to a path named by the caller replaces it).
  bool Load(WideView path, bool saveFirst = false);

  // Points into the stored line (valid until the store next changes), or returns defaultValue.
  [[nodiscard]] const wchar_t* GetString(WideView section, WideView key, const wchar_t* defaultValue) const;
  // Non-zero on success; 0 when section or key is empty.
  int SetString(WideView section, WideView key, WideView value);
  // 1 removed, 2 not found, 0 when key is empty.
  int DeleteKey(WideView section, WideView key);
  // 1 removed, 2 not found.
  int DeleteSection(WideView section);
  // Puts the section, with exactly these "key=value" lines, at the end of the store in one step (a
  // section of thousands of keys set one by one would be searched once per key).
  void ReplaceSection(WideView section, std::vector<WideString> keyLines);

  [[nodiscard]] std::optional<Range> SectionRange(WideView section) const;
  // 1-based number of the next key line among the lines [from, to) (to 0 = all), or 0.
  [[nodiscard]] size_t NextKeyLine(size_t from, size_t to) const;
  [[nodiscard]] bool GetKeyValueAt(size_t lineNumber, WideString& key, WideString& value) const;
  // Replaces the line with the 1-based number by "key=value" where it stands; false when there is no
  // such line or key is empty.
  bool SetKeyValueAt(size_t lineNumber, WideView key, WideView value);

  // Without a path: writes this store's own changes since it was loaded or last saved into its file as
  // it is on disk now (read again, the keys and sections this store set or deleted applied to it), so
  // that what other programs wrote meanwhile survives; afterwards the store holds the merged result. A
  // file that is there but cannot be read now is left alone.
  // With a path: writes exactly what the store holds there (a Save as, the user's choice); the path
  // becomes the store's path.
  // True when text was written. The previous file is replaced only once the new one is complete. While
  // writeBackRefused(), only a path given here is written.
  bool Save(std::optional<WideView> path = std::nullopt);

  // Automatic saving (at destruction and before another Load) writes only a store that changed.
  void SetAutoSave(bool on) { autoSave_ = on; }
  // A store that never writes its file, whatever it is asked (a preview changes nothing).
  void SetReadOnly() { readOnly_ = true; }
  // Whether the store holds changes not yet saved.
  [[nodiscard]] bool modified() const { return !changes_.empty(); }
  [[nodiscard]] bool autoSave() const { return autoSave_; }
  [[nodiscard]] const WideString& path() const { return path_; }
  [[nodiscard]] const std::vector<WideString>& lines() const { return lines_; }
  // True when the last Load found a file that is there but could not be read at all: it could not be
  // opened, it is larger than a settings file can be, reading failed, or its bytes gave no text.
  [[nodiscard]] bool loadFailedOnExistingFile() const { return loadFailedOnExistingFile_; }
  // True when the file of the last Load must not be replaced by what the store holds: it could not be
  // read, or what was read held a zero character and so is no plausible text (binary data, or UTF-16 in
  // an encoding not recognised). The lines that were read stay loaded. Save() without a path, automatic
  // saving and Load's saving first leave the file alone until a Save to a given path succeeds.
  [[nodiscard]] bool writeBackRefused() const { return loadFailedOnExistingFile_ || textHeldZero_; }

 private:
  [[nodiscard]] bool IsHeaderLine(const WideString& line) const;
  [[nodiscard]] std::optional<size_t> FindHeader(WideView section) const;
  [[nodiscard]] size_t BodyEnd(size_t headerIndex) const;
  [[nodiscard]] std::optional<size_t> FindKeyLine(std::optional<size_t> headerIndex, WideView trimmedKey) const;
  [[nodiscard]] WideString SectionOfLine(size_t index) const;
  void EraseSection(size_t headerIndex);
  void AutoSaveNow();
  [[nodiscard]] bool WriteFile(const std::vector<WideString>& lines, bool& wroteText);
  [[nodiscard]] bool MergeIntoFile();

  // One edit, kept so that it can be made again on the file as another program left it.
  struct Change {
    enum class Kind { kSet, kDeleteKey, kDeleteSection, kReplaceSection, kReplaceLine };
    Kind kind;
    WideString section;
    WideString key;
    WideString value;
    WideString replacedKey;         // kReplaceLine: the key of the line that was replaced
    std::vector<WideString> lines;  // kReplaceSection: its key lines
  };
  void ApplyChange(const Change& change);

  bool autoSave_ = false;
  bool readOnly_ = false;
  bool loadFailedOnExistingFile_ = false;
  bool textHeldZero_ = false;
  std::vector<Change> changes_;  // since the last load or save, in order
  uint64_t loadedTextHash_ = 0;  // of the file's text as last read or written
  WideString path_;
  std::vector<WideString> lines_;
  Regex headerPattern_;
};
