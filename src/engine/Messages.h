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
// A file or folder to be deleted or replaced that could not be moved to the run's versions folder; it stays.
inline constexpr WideView kCouldNotKeepOldVersion = L"Could not keep the old version: ";
inline constexpr WideView kNameCannotBeSent = L"File name cannot be sent to this server: ";
// The second of two entries of one source folder whose names differ only in case, for a target that cannot
// hold both.
inline constexpr WideView kNamesDifferOnlyInCase = L"Names differ only in case: ";
inline constexpr WideView kCouldNotReplaceFolderWithFile = L"Could not replace a folder with a file: ";
inline constexpr WideView kCouldNotReplaceFileWithFolder = L"Could not replace a file with a folder: ";
// The other side could not tell whether an entry (or anything in a folder) is there.
inline constexpr WideView kCouldNotCheck = L"Could not check: ";
// A folder pair the run refuses before touching anything.
inline constexpr WideView kNotAFullPath = L"Not a full path: ";
inline constexpr WideView kNotAValidPath = L"Not a valid path: ";
inline constexpr WideView kNotAValidFtpLocation = L"Not a valid FTP location: ";
inline constexpr WideView kSourceAndDestinationOverlap = L"Source and destination overlap: ";
inline constexpr WideView kOverlapJoin = L" and ";
// Then "N of M files", kWouldBeDeletedIn and the destination.
inline constexpr WideView kDeletionsHeldBack = L"Deletions held back: ";
inline constexpr WideView kWouldBeDeletedIn = L" would be deleted in ";
// The pair's source and destination follow, joined by kOverlapJoin, and the system's error in parentheses.
inline constexpr WideView kCouldNotStartWorker = L"Could not start the backup of ";

}  // namespace messages
