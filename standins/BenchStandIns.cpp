// Linked into scan_bench in place of the message dialog and the restart
// request: the benchmark asks nobody and restarts nothing.
#include <windows.h>

#include "engine/SkinMessageBox.h"
#include "repair/RestartRequest.h"

int SkinMessageBox(const char*, const char*, int) { return IDNO; }
BOOL RequestRestart(UINT) { return FALSE; }
