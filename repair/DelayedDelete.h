#pragma once

// Has a file deleted at the next start of Windows. 1 when scheduled, 0 when not.
int ScheduleDeleteOnRestart(const char* path);
// Adds "key=value" to the [rename] section of wininit.ini. True when written.
bool AddWininitRename(const char* key, const char* value);
