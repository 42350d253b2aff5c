#pragma once
// The texts that open every error-log entry. Each ends in its own separator, because the log puts
// nothing between the prefix and what follows.

#include "base/WideString.h"

namespace messages {

inline constexpr WideView kCouldNotCreateDestinationFolder = L"Could not create destination folder: ";
inline constexpr WideView kCouldNotOpenLocalForReading = L"Could not open local file for reading: ";
inline constexpr WideView kCouldNotOpenLocalForWriting = L"Could not open local file for writing: ";
inline constexpr WideView kCouldNotReadLocal = L"Could not read local file: ";
inline constexpr WideView kCouldNotWriteLocal = L"Could not write local file: ";
inline constexpr WideView kCouldNotCreateBackupDestinationFolder = L"Could not create backup destination folder: ";
inline constexpr WideView kCouldNotOpenFtpForReading = L"Could not open FTP file for reading: ";
inline constexpr WideView kCouldNotReadRemote = L"Could not read remote file: ";
inline constexpr WideView kCouldNotReadFtp = L"Could not read FTP file: ";
inline constexpr WideView kCouldNotCreateRemoteDirectory = L"Could not create remote FTP directory: ";
inline constexpr WideView kCouldNotOpenFtpForWriting = L"Could not open FTP file for writing: ";
inline constexpr WideView kCouldNotWriteFtp = L"Could not write FTP file: ";
inline constexpr WideView kCouldNotGetFtpInfo = L"Could not get FTP info for ";
inline constexpr WideView kRestoringSourceNotFound = L"Restoring source not found: ";
inline constexpr WideView kSourceDirectoryNotFound = L"Source directory not found: ";
// Two blanks, then the server, then kAtPort and the port.
inline constexpr WideView kCouldNotConnect = L"Could not connect to  ";
inline constexpr WideView kAtPort = L" at port ";
inline constexpr WideView kCouldNotReadFolder = L"Could not read folder: ";
// The folder, then the server's reply in parentheses.
inline constexpr WideView kCouldNotReadRemoteFolder = L"Could not read remote folder: ";
// The folder, then the first line of its listing in no known format, in parentheses.
inline constexpr WideView kCouldNotReadRemoteListing = L"Could not read remote folder listing: ";
inline constexpr WideView kCouldNotDelete = L"Could not delete: ";
inline constexpr WideView kNameCannotBeSent = L"File name cannot be sent to this server: ";
// A folder pair the run refuses before touching anything.
inline constexpr WideView kNotAFullPath = L"Not a full path: ";
inline constexpr WideView kNotAValidPath = L"Not a valid path: ";
inline constexpr WideView kSourceAndDestinationOverlap = L"Source and destination overlap: ";
inline constexpr WideView kOverlapJoin = L" and ";

}  // namespace messages
