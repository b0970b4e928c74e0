#pragma once
#include <windows.h>

// The service control manager and token functions of advapi32.dll, resolved
// by name at each call instead of imported: the 9x family's advapi32 exports
// them only in part, and a program that imports a function its platform lacks
// does not start at all. Each behaves as the function of the same name; when
// the platform lacks it, it fails with ERROR_CALL_NOT_IMPLEMENTED.
namespace advapi {

SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access);
SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD access);
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);
BOOL CloseServiceHandle(SC_HANDLE handle);

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
BOOL LookupPrivilegeValueA(const char* system, const char* name, LUID* luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState, DWORD bufferLength,
                           TOKEN_PRIVILEGES* previousState, DWORD* returnLength);

}  // namespace advapi
