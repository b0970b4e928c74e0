#include "process/OsProbe.h"

#include <windows.h>

#include "common/LibraryFunction.h"

namespace {

bool QueryVersion(OSVERSIONINFOA& info) {
  info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExA(&info) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

// Asked afresh at every call: nothing is cached.
int GetOsFamily() {
  OSVERSIONINFOA info;
  if (!QueryVersion(info)) return OS_FAMILY_UNKNOWN;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
      return OS_FAMILY_9X;
    case VER_PLATFORM_WIN32_NT:
      return OS_FAMILY_NT;
    default:
      return OS_FAMILY_OTHER;
  }
}

int GetNtGeneration() {
  OSVERSIONINFOA info;
  if (!QueryVersion(info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT) return NT_GENERATION_NONE;
  if (info.dwMajorVersion <= 4) return NT_GENERATION_4;
  if (info.dwMajorVersion == 5) return NT_GENERATION_5;
  return NT_GENERATION_NONE;
}

bool RunsUnderWow64() {
  using IsWow64Function = BOOL(WINAPI*)(HANDLE process, BOOL * wow64);
  const auto isWow64 = LibraryFunction<IsWow64Function>(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

bool SystemIs64Bit() { return sizeof(void*) == 8 || RunsUnderWow64(); }
