#pragma once

// Checks the image file of every running process before the drive walk,
// terminating infected processes and disposing of their files. On the NT family
// a find that needs a restart ends the program, after the restart notice.
void SweepMemory();

// The 9x-family sweep: the processes of a tool-help snapshot.
void SweepToolhelp();

// The NT-family sweep: the processes psapi lists. An infected process that
// survives termination is treated as a service of the same name: the service is
// stopped and its keys removed, or, when it cannot be stopped, its keys are
// removed and a restart is requested. Non-zero when a restart was requested: the
// infection then stays in memory until Windows restarts.
int SweepPsapi();

// Set when the NT-family sweep has removed the keys of a service it could not
// stop or requested a restart for an image; never cleared by the program.
extern bool sweepRestartFlag;
