#include "ftp/TlsSession.h"

#include <wincrypt.h>

#include <cstring>

namespace {

void SendTokens(Socket& socket, SecBufferDesc& output) {
  for (unsigned long i = 0; i < output.cBuffers; ++i) {
    SecBuffer& buffer = output.pBuffers[i];
    if (buffer.pvBuffer && buffer.cbBuffer) {
      (void)socket.SendAll(buffer.pvBuffer, buffer.cbBuffer);
      FreeContextBuffer(buffer.pvBuffer);
      buffer.pvBuffer = nullptr;
    }
  }
}

constexpr unsigned long kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                          ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                          ISC_REQ_MANUAL_CRED_VALIDATION;

}  // namespace

TlsCredentials::~TlsCredentials() {
  if (valid_) FreeCredentialsHandle(&handle_);
}

bool TlsCredentials::Acquire() {
  if (valid_) return true;
  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  // We check the certificate ourselves, so that an unknown one can be pinned instead of refused.
  credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  valid_ = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                     &credentials, nullptr, nullptr, &handle_, &expiry) == SEC_E_OK;
  return valid_;
}

TlsSession::~TlsSession() {
  if (contextValid_) DeleteSecurityContext(&context_);
}

bool TlsSession::ReadMore(Socket& socket) {
  char buffer[16384];
  int got = socket.Receive(buffer, sizeof(buffer));
  readFailed_ = got < 0;
  if (got <= 0) return false;
  encrypted_.insert(encrypted_.end(), buffer, buffer + got);
  return true;
}

bool TlsSession::Handshake(Socket& socket, TlsCredentials& credentials, const WideString& targetName) {
  if (!credentials.get()) return false;
  WideString target = targetName;
  bool first = true;
  encrypted_.clear();
  while (true) {
    SecBuffer inputBuffers[2] = {};
    inputBuffers[0].BufferType = SECBUFFER_TOKEN;
    inputBuffers[0].pvBuffer = encrypted_.data();
    inputBuffers[0].cbBuffer = static_cast<unsigned long>(encrypted_.size());
    inputBuffers[1].BufferType = SECBUFFER_EMPTY;
    SecBufferDesc input{SECBUFFER_VERSION, 2, inputBuffers};
    SecBuffer outputBuffers[1] = {};
    outputBuffers[0].BufferType = SECBUFFER_TOKEN;
    SecBufferDesc output{SECBUFFER_VERSION, 1, outputBuffers};
    unsigned long attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextW(
        credentials.get(), first ? nullptr : &context_, target.data(), kContextRequest, 0, 0,
        first ? nullptr : &input, 0, &context_, &output, &attributes, &expiry);
    if (first) contextValid_ = status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED;
    first = false;

    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!ReadMore(socket)) return false;
      continue;
    }
    SendTokens(socket, output);
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return false;

    // What the server sent beyond the handshake message stays for the next round (or for Receive).
    if (inputBuffers[1].BufferType == SECBUFFER_EXTRA && inputBuffers[1].cbBuffer > 0) {
      encrypted_.erase(encrypted_.begin(), encrypted_.end() - inputBuffers[1].cbBuffer);
    } else {
      encrypted_.clear();
    }
    if (status == SEC_E_OK) break;
    if (encrypted_.empty() && !ReadMore(socket)) return false;
  }
  return QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) == SEC_E_OK;
}

bool TlsSession::Send(Socket& socket, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  std::vector<char> message(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer);
  while (size > 0) {
    size_t chunk = std::min<size_t>(size, sizes_.cbMaximumMessage);
    std::memcpy(message.data() + sizes_.cbHeader, bytes, chunk);
    SecBuffer buffers[4] = {};
    buffers[0] = {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, message.data()};
    buffers[1] = {static_cast<unsigned long>(chunk), SECBUFFER_DATA, message.data() + sizes_.cbHeader};
    buffers[2] = {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, message.data() + sizes_.cbHeader + chunk};
    buffers[3] = {0, SECBUFFER_EMPTY, nullptr};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&context_, 0, &description, 0) != SEC_E_OK) return false;
    if (!socket.SendAll(message.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer)) return false;
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

int TlsSession::Receive(Socket& socket, void* data, size_t size) {
  while (plain_.empty()) {
    if (closed_) return 0;
    if (encrypted_.empty() && !ReadMore(socket)) {
      closed_ = true;
      // A receive that failed or timed out is no end of the data, whatever was received before it.
      return readFailed_ ? -1 : 0;
    }
    SecBuffer buffers[4] = {};
    buffers[0] = {static_cast<unsigned long>(encrypted_.size()), SECBUFFER_DATA, encrypted_.data()};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = DecryptMessage(&context_, &description, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!ReadMore(socket)) return -1;
      continue;
    }
    // Windows reports the peer's close_notify as an expired context.
    if (status == SEC_I_CONTEXT_EXPIRED) {
      closed_ = true;
      return 0;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) return -1;
    size_t extra = 0;
    bool sawData = false;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer) {
        plain_.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
        sawData = true;
      }
      if (buffer.BufferType == SECBUFFER_EXTRA) extra = buffer.cbBuffer;
    }
    if (extra) {
      encrypted_.erase(encrypted_.begin(), encrypted_.end() - extra);
    } else {
      encrypted_.clear();
    }
    // Wine reports the peer's close_notify as a successful decrypt of no data.
    if (!sawData && status == SEC_E_OK && !extra) {
      closed_ = true;
      return 0;
    }
  }
  size_t taken = std::min(size, plain_.size());
  std::memcpy(data, plain_.data(), taken);
  plain_.erase(0, taken);
  return static_cast<int>(taken);
}

void TlsSession::SendCloseNotify(Socket& socket) {
  if (!contextValid_) return;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer shutdownBuffer{sizeof(type), SECBUFFER_TOKEN, &type};
  SecBufferDesc shutdownDescription{SECBUFFER_VERSION, 1, &shutdownBuffer};
  if (ApplyControlToken(&context_, &shutdownDescription) != SEC_E_OK) return;
  SecBuffer outputBuffers[1] = {};
  outputBuffers[0].BufferType = SECBUFFER_TOKEN;
  SecBufferDesc output{SECBUFFER_VERSION, 1, outputBuffers};
  unsigned long attributes = 0;
  TimeStamp expiry;
  SECURITY_STATUS status = InitializeSecurityContextW(nullptr, &context_, nullptr, kContextRequest, 0, 0, nullptr, 0,
                                                      &context_, &output, &attributes, &expiry);
  if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) SendTokens(socket, output);
}

std::string TlsSession::PeerFingerprint() const {
  PCCERT_CONTEXT certificate = nullptr;
  if (!contextValid_ ||
      QueryContextAttributesW(const_cast<CtxtHandle*>(&context_), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
          SEC_E_OK ||
      !certificate) {
    return {};
  }
  std::string hex;
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[32];
  DWORD length = sizeof(digest);
  if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
        CryptHashData(hash, certificate->pbCertEncoded, certificate->cbCertEncoded, 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0)) {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      for (DWORD i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0xF];
      }
    }
    if (hash) CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
  }
  CertFreeCertificateContext(certificate);
  return hex;
}

bool TlsSession::PeerTrusted(const WideString& hostName) const {
  PCCERT_CONTEXT certificate = nullptr;
  if (!contextValid_ ||
      QueryContextAttributesW(const_cast<CtxtHandle*>(&context_), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
          SEC_E_OK ||
      !certificate) {
    return false;
  }
  CERT_CHAIN_PARA chainParameters{};
  chainParameters.cbSize = sizeof(chainParameters);
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  bool trusted = false;
  if (CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainParameters, 0, nullptr,
                              &chain)) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(hostName.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) && status.dwError == 0;
    CertFreeCertificateChain(chain);
  }
  CertFreeCertificateContext(certificate);
  return trusted;
}
