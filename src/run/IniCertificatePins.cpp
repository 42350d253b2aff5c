#include "run/IniCertificatePins.h"

namespace {
constexpr WideView kSection = L"Certificates";
}

std::optional<std::string> IniCertificatePins::Find(const std::string& serverAndPort) {
  AcquireSRWLockExclusive(&lock_);
  std::optional<std::string> found = FindLocked(serverAndPort);
  ReleaseSRWLockExclusive(&lock_);
  return found;
}

std::optional<std::string> IniCertificatePins::FindLocked(const std::string& serverAndPort) const {
  const wchar_t* stored = appIni_.GetString(kSection, text::FromUtf8(serverAndPort), nullptr);
  if (!stored || !*stored) return std::nullopt;
  return text::ToUtf8(stored);
}

void IniCertificatePins::Remember(const std::string& serverAndPort, const std::string& fingerprint) {
  AcquireSRWLockExclusive(&lock_);
  appIni_.SetString(kSection, text::FromUtf8(serverAndPort), text::FromUtf8(fingerprint));
  (void)appIni_.Save();
  ReleaseSRWLockExclusive(&lock_);
}
