#include "process/TokenPrivilege.h"

#include "process/AdvapiFunctions.h"

HANDLE OpenOwnToken() {
  HANDLE token = nullptr;
  return advapi::OpenProcessToken(GetCurrentProcess(), PRIVILEGE_TOKEN_ACCESS, &token) ? token : nullptr;
}

DWORD EnablePrivilege(HANDLE token, const char* privilegeName) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!advapi::LookupPrivilegeValueA(nullptr, privilegeName, &privileges.Privileges[0].Luid)) return GetLastError();
  // A successful adjustment reports its outcome (0 or 1300) through the last
  // error, which not every platform clears itself.
  SetLastError(ERROR_SUCCESS);
  const BOOL adjusted = advapi::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  const DWORD error = GetLastError();
  return adjusted || error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}
