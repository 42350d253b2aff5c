#pragma once
// The completion actions that end the session or stop the machine. They stand behind this interface so
// that tests can see them asked for without logging anybody off.

class SystemPower {
 public:
  virtual ~SystemPower() = default;
  virtual bool LogOff() = 0;
  virtual bool Sleep(bool hibernate) = 0;
  // hybrid: Windows 8 and later shut down with hybrid shut-down (fast start-up).
  virtual bool ShutDown(bool hybrid) = 0;
  virtual bool Restart() = 0;
};

// The real calls: ExitWindowsEx and SetSuspendState.
class WindowsPower final : public SystemPower {
 public:
  bool LogOff() override;
  bool Sleep(bool hibernate) override;
  bool ShutDown(bool hybrid) override;
  bool Restart() override;
};
