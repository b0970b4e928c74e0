#pragma once
#include <windows.h>

// Terminates the process(es) running the given file by the method of the
// platform: tool-help on the 9x family; the psapi list, compared by full image
// path, on NT 5.x and later, and on NT 4.0 where psapi.dll is installed;
// otherwise on NT 4.0 the performance data, compared by exact name. Non-zero:
// the caller is to try deleting the file again. Except on NT 5.x, an attempt
// that terminates nothing shows the message box "Could not kill process" (the
// path as its caption) and gives 0; on any other platform nothing is
// attempted and the result is 1. The program's own process, and those Windows
// cannot live without, are never terminated (MayTerminate).
int KillProcessByPath(const char* path);

// The first process of a snapshot that runs the file at path: its full image
// path is path (ignoring case, or in short form), or, where the platform gives
// only a bare name, its name is path's file name. 1 when it was terminated.
int KillByToolhelp(const char* path);

// Every process of the performance data whose instance name is the path's file
// name without extension, ignoring case. 1 when at least one was terminated.
int KillByPerfData(const char* path);

// The last step of KillByPerfData: every filled slot whose name is the target
// is opened and terminated. 1 when at least one termination succeeded.
struct PerfProcessSlot;
int TerminatePerfMatches(const PerfProcessSlot* slots, int filled, const char* target);

// Every process whose main module path equals path, ignoring case. True when
// the process list could be taken, whether or not anything matched.
bool KillByPsapi(const char* path);

// The same processes; 1 when at least one of them was terminated, else 0.
int KillByImagePath(const char* path);

// A second termination of a process the caller terminated a moment ago: true
// when it was terminated again or has already ended (no process of that id is
// left, or it has an exit code), false when it lives on and refuses.
bool TerminatedOrEnded(DWORD processId);
