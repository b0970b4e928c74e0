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

// advapi32's function of this name, or null (with ERROR_CALL_NOT_IMPLEMENTED)
// where the platform lacks it.
FARPROC Find(const char* name);

// Calls a BOOL function of advapi32 by name: FALSE, with
// ERROR_CALL_NOT_IMPLEMENTED, where the platform lacks it.
template <typename Function, typename... Args>
BOOL CallByName(const char* name, Args... args) {
  const auto call = reinterpret_cast<Function>(reinterpret_cast<void*>(Find(name)));
  return call ? call(args...) : FALSE;
}

}  // namespace advapi

// advapi::CallByName with the function's type taken from its declaration in the
// platform's headers (which is never called, so nothing is imported).
#define ADVAPI_CALL(name, ...) advapi::CallByName<decltype(&::name)>(#name, __VA_ARGS__)
