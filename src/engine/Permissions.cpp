#include "engine/Permissions.h"

#include "base/FileSystem.h"
#include "base/UniqueHandle.h"

#include <aclapi.h>

#include <array>
#include <vector>

namespace {

// Well-known SIDs built in place, so that no SID needs freeing.
struct WellKnownSid {
  explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = sizeof(buffer);
    valid = CreateWellKnownSid(type, nullptr, buffer, &size) != 0;
  }
  PSID get() { return valid ? static_cast<PSID>(buffer) : nullptr; }
  alignas(void*) BYTE buffer[SECURITY_MAX_SID_SIZE];
  bool valid = false;
};

using TreeResetFunction = DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL, BOOL,
                                         FN_PROGRESS, PROG_INVOKE_SETTING, PVOID);

DWORD ApplySecurity(const WideString& path, bool tree, SECURITY_INFORMATION what, PSID owner, PACL dacl) {
  auto* writablePath = const_cast<LPWSTR>(path.c_str());
  if (tree) {
    // Looked up at run time: not every system's advapi32 has it.
    auto treeReset = reinterpret_cast<TreeResetFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "TreeResetNamedSecurityInfoW")));
    if (treeReset) {
      return treeReset(writablePath, SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr, FALSE, nullptr,
                       ProgressInvokeNever, nullptr);
    }
  }
  return SetNamedSecurityInfoW(writablePath, SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr);
}

}  // namespace

bool ResetPermissions(WideView path, unsigned flags, PSID owner) {
  WellKnownSid everyone(WinWorldSid);
  WellKnownSid system(WinLocalSystemSid);
  WellKnownSid administrators(WinBuiltinAdministratorsSid);

  std::array<EXPLICIT_ACCESSW, 3> entries{};
  PSID sids[] = {everyone.get(), system.get(), administrators.get()};
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].grfAccessPermissions = GENERIC_ALL;
    entries[i].grfAccessMode = SET_ACCESS;
    entries[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[i].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entries[i].Trustee.ptstrName = static_cast<LPWSTR>(sids[i]);
  }
  PACL dacl = nullptr;
  if (SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), nullptr, &dacl) != ERROR_SUCCESS) {
    return false;
  }
  UniqueLocalMemory daclOwner(dacl);

  WideString longPath = LongPathForm(path);
  bool tree = (flags & kResetTree) != 0;
  SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
  if (ApplySecurity(longPath, tree, what, nullptr, dacl) == ERROR_SUCCESS) return true;
  if (!owner) return false;
  // Whoever owns an object may always rewrite its access list.
  if (ApplySecurity(longPath, tree, OWNER_SECURITY_INFORMATION, owner, nullptr) != ERROR_SUCCESS) return false;
  return ApplySecurity(longPath, tree, what, nullptr, dacl) == ERROR_SUCCESS;
}

bool EnableProcessPrivileges() {
  static constexpr const wchar_t* kPrivileges[] = {
      L"SeRestorePrivilege",       L"SeBackupPrivilege",           L"SeDebugPrivilege",
      L"SeSecurityPrivilege",      L"SeTakeOwnershipPrivilege",    L"SeImpersonatePrivilege",
      L"SeSystemProfilePrivilege", L"SeShutdownPrivilege",         L"SeIncreaseQuotaPrivilege",
      L"SeCreateSymbolicLinkPrivilege", L"SeManageVolumePrivilege",
  };
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) return false;
  UniqueKernelHandle token(rawToken);

  std::vector<BYTE> buffer(sizeof(TOKEN_PRIVILEGES) + std::size(kPrivileges) * sizeof(LUID_AND_ATTRIBUTES));
  auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
  DWORD count = 0;
  for (const wchar_t* name : kPrivileges) {
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, name, &luid)) continue;
    privileges->Privileges[count].Luid = luid;
    privileges->Privileges[count].Attributes = SE_PRIVILEGE_ENABLED;
    ++count;
  }
  privileges->PrivilegeCount = count;
  if (count == 0) return false;
  // Privileges the account does not hold are left out by the system (ERROR_NOT_ALL_ASSIGNED).
  return AdjustTokenPrivileges(token.get(), FALSE, privileges, 0, nullptr, nullptr) != 0;
}
