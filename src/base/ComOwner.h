#pragma once
// Single owners of COM interfaces, and COM for the length of one call.

#include <objbase.h>

#include <memory>

template <typename Interface>
struct ComRelease {
  void operator()(Interface* object) const {
    if (object) object->Release();
  }
};
template <typename Interface>
using ComOwner = std::unique_ptr<Interface, ComRelease<Interface>>;

// For callers (the uninstaller, tests) that have not started COM on their thread. A thread that runs it
// in the other model already has what the shell's objects need.
class ComSession {
 public:
  ComSession() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComSession() {
    if (started_) CoUninitialize();
  }
  ComSession(const ComSession&) = delete;
  ComSession& operator=(const ComSession&) = delete;

 private:
  bool started_;
};
