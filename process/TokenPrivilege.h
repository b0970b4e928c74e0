#pragma once
#include <windows.h>

// Token access for enabling a privilege of the program's own process.
inline constexpr DWORD PRIVILEGE_TOKEN_ACCESS = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;  // 0x28

// Opens the token of the program's own process with PRIVILEGE_TOKEN_ACCESS.
// Null when it cannot be opened.
HANDLE OpenOwnToken();

// Enables one privilege (by name, e.g. SE_SHUTDOWN_NAME) in the token. Returns
// the error the platform reports for the adjustment: 0 when enabled,
// ERROR_NOT_ALL_ASSIGNED (1300) when the account does not hold it.
DWORD EnablePrivilege(HANDLE token, const char* privilegeName);
