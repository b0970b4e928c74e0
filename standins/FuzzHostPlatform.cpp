// Linked into the host (Linux) fuzz programs, which build the engine's file
// readers without Windows: no-op stand-ins for what the readers' neighbours
// call. The fuzz programs examine files, they never change anything.
#include <windows.h>

#include "engine/Detection.h"

BOOL DeleteFileA(const char*) { return 0; }
BOOL MoveFileA(const char*, const char*) { return 0; }
LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
HWND GetDlgItem(HWND, int) { return nullptr; }
BOOL RedrawWindow(HWND, const RECT*, HRGN, UINT) { return 0; }

// The detection step's disposal, which the tables and the marker scanner name.
int32_t DetectAndDispose(const char*, const char*) { return 0; }
void RenameInfectedFile(const char*, const char*) {}
void DisposeByChoice(const char*, const char*, const DisposalWays&) {}
