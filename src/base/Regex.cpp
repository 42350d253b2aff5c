#include "base/Regex.h"

#include <pcre2.h>

void Regex::CodeDeleter::operator()(pcre2_code_16* code) const { pcre2_code_free_16(code); }
void Regex::MatchDataDeleter::operator()(pcre2_match_data_16* data) const { pcre2_match_data_free_16(data); }

namespace {

PCRE2_SPTR16 Units(WideView text) {
  // wchar_t and PCRE2's 16-bit unit have the same size and representation on Windows.
  static_assert(sizeof(wchar_t) == sizeof(PCRE2_UCHAR16));
  return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

}  // namespace

Regex::Regex(WideView pattern, unsigned options) {
  // Not compiled in UTF mode: file names and INI lines may hold lone surrogates, which UTF mode would
  // reject, and the program's patterns only need code-unit matching.
  uint32_t compileOptions = 0;
  if (options & kCaseless) compileOptions |= PCRE2_CASELESS;
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  code_.reset(pcre2_compile_16(Units(pattern), pattern.size(), compileOptions, &errorCode, &errorOffset, nullptr));
  if (code_) matchData_.reset(pcre2_match_data_create_from_pattern_16(code_.get(), nullptr));
  if (!matchData_) code_.reset();
}

Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

bool Regex::Matches(WideView subject) const {
  if (!code_) return false;
  int result = pcre2_match_16(code_.get(), Units(subject), subject.size(), 0, 0,
                              matchData_.get(), nullptr);
  return result >= 0;
}

bool Regex::ReplaceAll(WideView subject, WideView replacement, WideString& result) const {
  if (!code_) return false;
  uint32_t options = PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH;
  WideString output(subject.size() + replacement.size() + 16, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    PCRE2_SIZE length = output.size();
    int rc = pcre2_substitute_16(code_.get(), Units(subject), subject.size(), 0, options, matchData_.get(),
                                 nullptr, Units(replacement), replacement.size(),
                                 reinterpret_cast<PCRE2_UCHAR16*>(output.data()), &length);
    if (rc >= 0) {
      output.resize(length);
      result = std::move(output);
      return true;
    }
    if (rc != PCRE2_ERROR_NOMEMORY) return false;
    output.assign(length + 1, L'\0');  // length now holds the size needed
  }
  return false;
}
