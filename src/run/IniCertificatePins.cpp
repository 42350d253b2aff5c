#include "run/IniCertificatePins.h"

namespace {
constexpr WideView kSection = L"Certificates";
}

std::optional<std::string> IniCertificatePins::Find(const std::string& serverAndPort) {
  const wchar_t* stored = appIni_.GetString(kSection, text::FromUtf8(serverAndPort), nullptr);
  if (!stored || !*stored) return std::nullopt;
  return text::ToUtf8(stored);
}

void IniCertificatePins::Remember(const std::string& serverAndPort, const std::string& fingerprint) {
  appIni_.SetString(kSection, text::FromUtf8(serverAndPort), text::FromUtf8(fingerprint));
  (void)appIni_.Save();
}
