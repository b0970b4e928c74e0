#pragma once
#include <windows.h>

// The one call that restarts the machine (ExitWindowsEx). The program links the
// real one; tests link one that records the request instead.
BOOL RequestRestart(UINT flags);
