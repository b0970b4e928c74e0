// Linked into the host cross-check of the exported signatures (tools/sigs/
// tests), which links the real detection step and uses it only to ask whether a file is infected (the memory sweep's
// check): every call that would change a file, a process or the system refuses
// or does nothing, and nothing reports to a window.
#include <windows.h>

#include "process/ProcessKill.h"
#include "repair/DelayedDelete.h"
#include "repair/StartupRepair.h"

BOOL DeleteFileA(const char*) { return 0; }
BOOL MoveFileA(const char*, const char*) { return 0; }
BOOL SetFileAttributesA(const char*, DWORD) { return 0; }
LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
void Sleep(DWORD) {}
int KillProcessByPath(const char*) { return 0; }
int ScheduleDeleteOnRestart(const char*) { return 0; }
int RepairStartupEntries(const char*) { return 1; }
