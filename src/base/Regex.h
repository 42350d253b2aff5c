#pragma once
// A compiled PCRE2 pattern over UTF-16 text.

#include "base/WideString.h"

#include <memory>

struct pcre2_real_code_16;
struct pcre2_real_match_data_16;

class Regex {
 public:
  enum Options : unsigned { kNone = 0, kCaseless = 1 };

  // An invalid pattern gives an object whose valid() is false and which matches nothing.
  explicit Regex(WideView pattern, unsigned options = kNone);
  ~Regex();
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;

  [[nodiscard]] bool valid() const { return code_ != nullptr; }
  [[nodiscard]] bool Matches(WideView subject) const;
  // Replaces every match; "$n" in replacement refers to group n. Returns false (and leaves result alone)
  // when the substitution fails.
  [[nodiscard]] bool ReplaceAll(WideView subject, WideView replacement, WideString& result) const;

 private:
  struct CodeDeleter {
    void operator()(pcre2_real_code_16* code) const;
  };
  struct MatchDataDeleter {
    void operator()(pcre2_real_match_data_16* data) const;
  };
  std::unique_ptr<pcre2_real_code_16, CodeDeleter> code_;
  std::unique_ptr<pcre2_real_match_data_16, MatchDataDeleter> matchData_;
};
