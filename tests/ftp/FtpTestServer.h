#pragma once
// The FTP server that the test run starts (scripts/ftp-test-server.sh): its port and home folder as
// seen through Wine's drive Z:.

#include "base/WideString.h"

#include "TestSupport.h"

#include <cstdint>
#include <string>

struct FtpTestServer {
  uint16_t port = 0;
  WideString home;
  uint16_t tlsPort = 0;       // a server that requires TLS, with a self-signed certificate for "localhost"
  uint16_t breakingPort = 0;  // a server that cuts every download after 64 KiB
  uint16_t noReplacePort = 0; // a server that refuses to rename over an existing file
  uint16_t shortPort = 0;     // a server that sends at most 1 MiB of a file and still reports success
  uint16_t germanPort = 0;    // a LIST-only server that writes month names in German
  uint16_t noUtf8Port = 0;    // a server that neither lists nor takes UTF-8 (names in Windows-1252)
  uint16_t noMfmtPort = 0;    // a server without MFMT that sets times with "MDTM time path"
  uint16_t droppingPort = 0;  // a server that drops the session when a "drop-connection" file is transferred
  // Debian's vsftpd, anonymous with write rights below vsftpdHome\pub: LIST only, no MFMT, minute times.
  uint16_t vsftpdPort = 0;
  uint16_t vsftpdTlsPort = 0;  // the same, requiring TLS
  WideString vsftpdHome;

  static FtpTestServer Read() {
    FtpTestServer server;
    wchar_t state[1024];
    DWORD length = GetEnvironmentVariableW(L"BRIMLARK_FTP_STATE", state, 1024);
    if (length == 0 || length >= 1024) return server;
    WideString windowsPath = L"Z:" + text::ReplaceAll(WideView(state, length), L"/", L"\\");
    std::string content = testing_support::ReadTestFile(windowsPath);
    size_t newline = content.find('\n');
    if (newline == std::string::npos) return server;
    server.port = static_cast<uint16_t>(std::stoi(content.substr(0, newline)));
    size_t second = content.find('\n', newline + 1);
    if (second == std::string::npos) return server;
    std::string home = content.substr(newline + 1, second - newline - 1);
    server.tlsPort = static_cast<uint16_t>(std::atoi(content.c_str() + second + 1));
    size_t third = content.find('\n', second + 1);
    if (third != std::string::npos) server.breakingPort = static_cast<uint16_t>(std::atoi(content.c_str() + third + 1));
    size_t fourth = third == std::string::npos ? third : content.find('\n', third + 1);
    if (fourth != std::string::npos) server.noReplacePort = static_cast<uint16_t>(std::atoi(content.c_str() + fourth + 1));
    size_t fifth = fourth == std::string::npos ? fourth : content.find('\n', fourth + 1);
    if (fifth != std::string::npos) server.shortPort = static_cast<uint16_t>(std::atoi(content.c_str() + fifth + 1));
    size_t sixth = fifth == std::string::npos ? fifth : content.find('\n', fifth + 1);
    if (sixth != std::string::npos) server.germanPort = static_cast<uint16_t>(std::atoi(content.c_str() + sixth + 1));
    size_t seventh = sixth == std::string::npos ? sixth : content.find('\n', sixth + 1);
    if (seventh != std::string::npos) server.noUtf8Port = static_cast<uint16_t>(std::atoi(content.c_str() + seventh + 1));
    size_t eighth = seventh == std::string::npos ? seventh : content.find('\n', seventh + 1);
    if (eighth != std::string::npos) server.noMfmtPort = static_cast<uint16_t>(std::atoi(content.c_str() + eighth + 1));
    size_t ninth = eighth == std::string::npos ? eighth : content.find('\n', eighth + 1);
    if (ninth != std::string::npos) server.droppingPort = static_cast<uint16_t>(std::atoi(content.c_str() + ninth + 1));
    server.home = L"Z:" + text::ReplaceAll(text::FromUtf8(home), L"/", L"\\");
    std::string vsftpd = testing_support::ReadTestFile(windowsPath + L"-vsftpd");
    size_t first = vsftpd.find('\n');
    size_t second2 = first == std::string::npos ? first : vsftpd.find('\n', first + 1);
    size_t third2 = second2 == std::string::npos ? second2 : vsftpd.find('\n', second2 + 1);
    if (third2 != std::string::npos) {
      server.vsftpdPort = static_cast<uint16_t>(std::atoi(vsftpd.c_str()));
      server.vsftpdTlsPort = static_cast<uint16_t>(std::atoi(vsftpd.c_str() + first + 1));
      std::string vsftpdHome = vsftpd.substr(second2 + 1, third2 - second2 - 1);
      server.vsftpdHome = L"Z:" + text::ReplaceAll(text::FromUtf8(vsftpdHome), L"/", L"\\");
    }
    return server;
  }
};
