#pragma once
#include <windows.h>

#include "common/FileByHandle.h"

// Has a file deleted at the next start of Windows: on the NT family through the
// platform's move-on-restart facility, on the 9x family through an entry in
// the [rename] section of wininit.ini. 1 when scheduled, 0 when not.
int ScheduleDeleteOnRestart(const char* path);
// The NT family's delayed deletion of a file it holds: the file is moved,
// through its handle (which needs delete access), into the quarantine folder
// of its volume (repair/Quarantine.h), and that path, which no other user can
// make lead elsewhere, is deleted at the next start of Windows, and then the
// folder, when that leaves it empty. 1 when scheduled; 0, with nothing
// scheduled, when the move fails, or when the restart entry cannot be
// written (the file is then moved back to path).
int ScheduleHeldFileDeletion(HANDLE file, const FileIdentity& identity, const char* path);
// The NT family's delayed deletion of a file that cannot be moved (another
// program holds it without sharing its deletion): path itself is left for
// the next start of Windows, when no other user can make it lead to another
// file (repair/FileSecurity.h). 1 when scheduled, else 0.
int ScheduleDeletionByPath(const char* path);
// Adds "key=value" at the end of the [rename] section of wininit.ini in the
// Windows folder (the section is made when missing). The old file is copied to
// the temporary folder and left there; the new file keeps the old one's
// attributes. True when written. A wininit.ini that cannot be opened for
// writing (read-only, say) is not rewritten; on any failure wininit.ini stays
// as it was.
bool AddWininitRename(const char* key, const char* value);
