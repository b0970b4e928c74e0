#include "repair/RestartRequest.h"

BOOL RequestRestart(UINT flags) { return ExitWindowsEx(flags, 0); }
