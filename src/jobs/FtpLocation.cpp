#include "jobs/FtpLocation.h"

#include "jobs/SecretText.h"

WideString FtpLocation::PlainForm() const {
  return text::Concat(server, L"\n", remoteDirectory, L"\n", userName, L"\n", password, L"\n", port, L"\n", flags);
}

std::optional<FtpLocation> FtpLocation::FromPlainForm(WideView plain) {
  std::vector<WideString> fields = text::Split(plain, L"\n");
  if (fields.size() < 6) return std::nullopt;
  return FtpLocation{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
}

uint32_t FtpLocation::FlagValue() const { return static_cast<uint32_t>(text::ParseDecimal(flags)); }

std::optional<uint16_t> FtpLocation::PortNumber() const {
  auto number = text::ParseBoundedDecimal(port, 1, 65535);
  if (!number) return std::nullopt;
  return static_cast<uint16_t>(*number);
}

uint32_t FtpLocation::ConnectionFlags() const {
  uint32_t result = UsesSsl() ? kFlagSecure : kFlagNoCacheWriteBinary;
  if (UsesPassive()) result |= kFlagPassive;
  return result;
}

std::optional<WideString> MakeStoredForm(const FtpLocation& location) {
  auto cipher = secret_text::Encipher(location.PlainForm());
  if (!cipher) return std::nullopt;
  return text::Concat(kStoredFormPrefix, *cipher);
}

std::optional<WideString> DecryptLocation(WideView storedForm) {
  if (!text::StartsWith(storedForm, kStoredFormPrefix)) return std::nullopt;
  return secret_text::Decipher(storedForm.substr(kStoredFormPrefix.size()));
}

std::optional<WideString> DisplayForm(WideView text, bool isStored) {
  std::optional<WideString> plain;
  if (isStored) {
    plain = DecryptLocation(text);
    if (!plain) return std::nullopt;
  } else {
    plain = WideString(text);
  }
  std::vector<WideString> fields = text::Split(*plain, L"\n");
  if (fields.size() < 6) return std::nullopt;
  return text::Concat(kDisplayFormPrefix, text::ReplaceAll(text::Concat(fields[0], L"/", fields[1]), L"//", L"/"));
}

std::optional<FtpLocation> ReadLocation(WideView storedForm) {
  auto plain = DecryptLocation(storedForm);
  if (!plain) return std::nullopt;
  return FtpLocation::FromPlainForm(*plain);
}

std::optional<FtpLocation> ParseFtpAddress(WideView address) {
  if (KindOfLocation(address) != LocationKind::kFtp) return std::nullopt;
  WideView rest = address.substr(kDisplayFormPrefix.size());
  size_t slash = rest.find(L'/');
  WideView host = rest.substr(0, slash);
  FtpLocation location;
  if (slash != WideView::npos) location.remoteDirectory = WideString(rest.substr(slash));
  // A password may hold an "@" of its own: the server follows the last one.
  if (size_t at = host.rfind(L'@'); at != WideView::npos) {
    WideView account = host.substr(0, at);
    size_t colon = account.find(L':');
    location.userName = WideString(account.substr(0, colon));
    if (colon != WideView::npos) location.password = WideString(account.substr(colon + 1));
    host = host.substr(at + 1);
  }
  // The colons inside a bracketed IPv6 address are no port separator.
  size_t colon = host.rfind(L':');
  if (colon != WideView::npos && host.find(L']', colon) == WideView::npos) {
    location.port = WideString(host.substr(colon + 1));
    host = host.substr(0, colon);
  }
  location.server = WideString(host);
  return location;
}

LocationKind KindOfLocation(WideView text) {
  return text::StartsWith(text, kDisplayFormPrefix, false) ? LocationKind::kFtp : LocationKind::kLocal;
}
