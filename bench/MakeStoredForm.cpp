// Prints the stored form ("FTP:…") of an FTP location, so that the benchmark can write settings files
// with FTP sides without knowing the program's cipher key.
// Usage: make_stored_form <server> <directory> <user> <password> <port> <flags>

#include "jobs/FtpLocation.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 7) return 2;
  FtpLocation location{argv[1], argv[2], argv[3], argv[4], argv[5], argv[6]};
  auto stored = MakeStoredForm(location);
  if (!stored) return 1;
  std::fputs(text::ToUtf8(*stored).c_str(), stdout);
  return 0;
}
