#include "repair/ServiceControl.h"

#include <windows.h>

#include "engine/ScanState.h"
#include "process/AdvapiFunctions.h"
#include "process/OsProbe.h"
#include "process/TokenPrivilege.h"
#include "repair/RestartRequest.h"

namespace {

// The service control manager's all-access mask, used for the service too: it
// holds the rights to stop a service and to query its status.
constexpr DWORD SERVICE_CONTROL_ACCESS = SC_MANAGER_ALL_ACCESS;  // 0xF003F
constexpr DWORD STOP_POLL_INTERVAL_MS = 1000;
constexpr UINT RESTART_FLAGS = EWX_REBOOT | EWX_FORCE;

// Sends the stop control and follows the service while it is stop-pending.
// The state it was last seen in.
DWORD StopAndFollow(SC_HANDLE service, int pollLimit) {
  SERVICE_STATUS status = {};
  if (!advapi::ControlService(service, SERVICE_CONTROL_STOP, &status)) return 0;
  PaintBeforeWait();
  DWORD lastState = status.dwCurrentState;
  for (int polls = 0; advapi::QueryServiceStatus(service, &status); ++polls) {
    lastState = status.dwCurrentState;
    if (lastState != SERVICE_STOP_PENDING || polls >= pollLimit) break;
    Sleep(STOP_POLL_INTERVAL_MS);
  }
  return lastState;
}

}  // namespace

int StopService(const char* serviceName) { return StopServiceWithin(serviceName, STOP_PENDING_POLL_LIMIT); }

int StopServiceWithin(const char* serviceName, int pollLimit) {
  SC_HANDLE manager = advapi::OpenSCManagerA(nullptr, nullptr, SERVICE_CONTROL_ACCESS);
  if (!manager) return 0;
  SC_HANDLE service = advapi::OpenServiceA(manager, serviceName, SERVICE_CONTROL_ACCESS);
  int stopped = 0;
  if (service) {
    stopped = StopAndFollow(service, pollLimit) == SERVICE_STOPPED ? 1 : 0;
    advapi::CloseServiceHandle(service);
  }
  advapi::CloseServiceHandle(manager);
  return stopped;
}

int RestartWindows() {
  if (GetOsFamily() != OS_FAMILY_9X) {
    HANDLE token = OpenOwnToken();
    if (!token) return 0;
    const DWORD error = EnablePrivilege(token, SE_SHUTDOWN_NAME);
    CloseHandle(token);
    if (error != ERROR_SUCCESS) return static_cast<int>(error);
  }
  return RequestRestart(RESTART_FLAGS);
}
