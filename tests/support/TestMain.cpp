// The test programs' main: Google Test's, except that the process ends as soon as the results are out.
// Under Wine a test program that had printed its results and passed twice stayed alive until CTest's
// timeout (two full runs of the suite, two different programs, never when run alone); ending here skips
// the runtime's and the libraries' exit work, where it stood. The exit code is the tests' result as before.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
  return result;
}
