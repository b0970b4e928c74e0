#include "repair/DelayedDelete.h"

// Delayed deletion arrives with its own change; until then nothing is scheduled.
int ScheduleDeleteOnRestart(const char*) { return 0; }
bool AddWininitRename(const char*, const char*) { return false; }
