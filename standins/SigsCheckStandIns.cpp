// Linked into the host cross-check of the exported signatures (tools/sigs/
// tests), which links the real detection step and uses it only to ask whether a file is infected (the memory sweep's
// check): every call that would change a file, a process or the system refuses
// or does nothing, and nothing reports to a window.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "engine/ExaminedFile.h"
#include "process/OsProbe.h"
#include "process/ProcessKill.h"
#include "repair/DelayedDelete.h"
#include "repair/StartupRepair.h"

BOOL DeleteFileA(const char*) { return 0; }
BOOL MoveFileA(const char*, const char*) { return 0; }
BOOL SetFileAttributesA(const char*, DWORD) { return 0; }
LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
HWND GetDlgItem(HWND, int) { return nullptr; }
BOOL RedrawWindow(HWND, const RECT*, HRGN, UINT) { return 0; }
void Sleep(DWORD) {}
int KillProcessByPath(const char*) { return 0; }
int ScheduleDeleteOnRestart(const char*) { return 0; }
int RepairStartupEntries(const char*) { return 1; }

// The host has no NT family and no handles: the examined file is read by its
// path, as on the 9x family, and no action on it is ever taken.
int GetOsFamily() { return OS_FAMILY_9X; }
bool SameFile(const FileIdentity&, const FileIdentity&) { return false; }
int ExaminedFile::Open(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
bool ExaminedFile::IsAt(const char*) const { return false; }
bool ExaminedFile::ClearAttributes(const char*) { return false; }
bool ExaminedFile::Delete(const char*) { return false; }
bool ExaminedFile::RenameTo(const char*, const char*) { return false; }
int ExaminedFile::ScheduleDeletion(const char*) { return 0; }
void ExaminedFile::Close() { access_ = 0; }
