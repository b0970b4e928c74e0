#include "process/AdvapiFunctions.h"

#include "common/LibraryFunction.h"

namespace {

// The program imports advapi32's registry functions, so the library is loaded
// for its whole run; the function is looked up in it by name.
template <typename Function>
Function Resolve(const char* name) {
  const auto found = LibraryFunction<Function>(GetModuleHandleA("advapi32.dll"), name);
  if (!found) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return found;
}

}  // namespace

namespace advapi {

// Each function's type is taken from its declaration in the platform's
// headers; the declaration is never called, so nothing is imported.
#define QUELLOR_RESOLVE(name) Resolve<decltype(&::name)>(#name)

SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access) {
  const auto call = QUELLOR_RESOLVE(OpenSCManagerA);
  return call ? call(machine, database, access) : nullptr;
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD access) {
  const auto call = QUELLOR_RESOLVE(OpenServiceA);
  return call ? call(manager, serviceName, access) : nullptr;
}

BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
  const auto call = QUELLOR_RESOLVE(ControlService);
  return call ? call(service, control, status) : FALSE;
}

BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
  const auto call = QUELLOR_RESOLVE(QueryServiceStatus);
  return call ? call(service, status) : FALSE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  const auto call = QUELLOR_RESOLVE(CloseServiceHandle);
  return call ? call(handle) : FALSE;
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  const auto call = QUELLOR_RESOLVE(OpenProcessToken);
  return call ? call(process, access, token) : FALSE;
}

BOOL LookupPrivilegeValueA(const char* system, const char* name, LUID* luid) {
  const auto call = QUELLOR_RESOLVE(LookupPrivilegeValueA);
  return call ? call(system, name, luid) : FALSE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState, DWORD bufferLength,
                           TOKEN_PRIVILEGES* previousState, DWORD* returnLength) {
  const auto call = QUELLOR_RESOLVE(AdjustTokenPrivileges);
  return call ? call(token, disableAll, newState, bufferLength, previousState, returnLength) : FALSE;
}

#undef QUELLOR_RESOLVE

FARPROC Find(const char* name) { return Resolve<FARPROC>(name); }

}  // namespace advapi
