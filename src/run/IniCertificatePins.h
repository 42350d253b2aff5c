#pragma once
// Pinned server certificates kept in the application INI file, section "Certificates", one key per
// server and port ("backupsrv:21") holding the SHA-256 fingerprint.

#include "ftp/FtpClient.h"
#include "ini/IniFile.h"

class IniCertificatePins final : public CertificatePins {
 public:
  explicit IniCertificatePins(IniFile& appIni) : appIni_(appIni) {}
  [[nodiscard]] std::optional<std::string> Find(const std::string& serverAndPort) override;
  void Remember(const std::string& serverAndPort, const std::string& fingerprint) override;

 private:
  [[nodiscard]] std::optional<std::string> FindLocked(const std::string& serverAndPort) const;

  IniFile& appIni_;
  SRWLOCK lock_ = SRWLOCK_INIT;  // a run's copy workers connect from their own threads
};
