#pragma once
#include <windows.h>

#include <cstddef>

#include "common/FileByHandle.h"

// The folder at the root of a volume into which the NT family's delayed
// deletion moves a file it could not delete, so that the path it leaves for
// the next start of Windows lies where no other user can make it lead to
// another file: only the administrators and the system may change the folder.
inline constexpr char QUARANTINE_FOLDER[] = "QuellorQuarantine";

// Moves the file held by file (identity: its identity; path: where it stands,
// "X:\...") through its handle into the quarantine folder at the root of its
// volume (a volume mounted in a folder has its root there), under a name made
// from its identity, and writes the new path into movedPath. The folder of
// the usual name is used when this run made it or it is trusted (a plain
// folder owned by the administrators, the system or the program's own user,
// which no one else may add to, delete from or change); when someone else's
// folder has that name, a fresh folder of a name no one can know beforehand
// is made, protected and checked. On a volume that keeps no rights (FAT), a
// folder this run made is trusted: no links can be made there. False, with
// nothing moved, when no folder can be had or the move fails. The handle
// needs delete access.
bool MoveIntoQuarantine(HANDLE file, const FileIdentity& identity, const char* path, char* movedPath, std::size_t size);

// True when folder is, by its identity, a quarantine folder this run made or
// used (at once false while there is none): the drive walk does not go into
// them, so that a file moved there is not met twice.
bool IsQuarantineFolderOfThisRun(const char* folder);
// Forgets them (the tests start each case afresh).
void ResetQuarantineFolders();
