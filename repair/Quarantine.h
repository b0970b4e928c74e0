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
// "X:\...") through its handle into the quarantine folder of the path's
// volume, under a name made from its identity, and writes the new path into
// movedPath. False, with nothing moved, when the path has no drive letter,
// when the folder can be neither made nor trusted (it must be a plain folder,
// owned by the administrators, the system or the program's own user, which no
// one else may add to, delete from or change), or when the move fails (the
// file lies on another volume than its drive's root, say). The handle needs
// delete access.
bool MoveIntoQuarantine(HANDLE file, const FileIdentity& identity, const char* path, char* movedPath, std::size_t size);

// True when folder is a folder the quarantine may use, as above.
bool IsTrustedFolder(const char* folder);
