#pragma once
#include <windows.h>

// Terminates the process(es) running the given file by the method of the
// platform: tool-help on the 9x family, psapi on NT 5.x, the performance data on
// NT 4.0 and on NT 6 and later. Non-zero: the caller is to try deleting the file
// again. A failed tool-help or performance-data attempt shows the message box
// "Could not kill process" (the path as its caption) and gives 0; on any other
// platform nothing is attempted and the result is 1.
int KillProcessByPath(const char* path);

// The first process of a snapshot whose file name (after the last backslash)
// equals the path's, ignoring case. 1 when it was terminated.
int KillByToolhelp(const char* path);

// Every process of the performance data whose instance name begins with the
// path's file name without extension. 1 when at least one was terminated.
int KillByPerfData(const char* path);

// The last step of KillByPerfData: every filled slot whose name begins with the
// target is opened and terminated. 1 when at least one termination succeeded.
struct PerfProcessSlot;
int TerminatePerfMatches(const PerfProcessSlot* slots, int filled, const char* target);

// Every process whose main module path equals path, ignoring case. True when
// the process list could be taken, whether or not anything matched.
bool KillByPsapi(const char* path);

// A second termination of a process the caller terminated a moment ago: true
// when it was terminated again or has already ended (no process of that id is
// left, or it has an exit code), false when it lives on and refuses.
bool TerminatedOrEnded(DWORD processId);
