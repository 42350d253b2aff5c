#include "run/SystemPower.h"

#include <windows.h>
#include <powrprof.h>

namespace {
constexpr UINT kHybridShutdown = 0x00400000;
}

bool WindowsPower::LogOff() { return ExitWindowsEx(EWX_LOGOFF, 0) != 0; }

bool WindowsPower::Sleep(bool hibernate) { return SetSuspendState(hibernate, FALSE, FALSE) != 0; }

bool WindowsPower::ShutDown(bool hybrid) {
  return ExitWindowsEx(hybrid ? (EWX_SHUTDOWN | kHybridShutdown) : EWX_SHUTDOWN, 0) != 0;
}

bool WindowsPower::Restart() { return ExitWindowsEx(EWX_REBOOT, 0) != 0; }
