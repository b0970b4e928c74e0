#pragma once
#include <windows.h>

// Who besides the trusted may change a file or a folder, read from its
// security descriptor. Trusted are the administrators, the system, the
// installer service (TrustedInstaller) and the user the program runs as. A
// descriptor without a list of rights (a FAT volume keeps none) grants
// everyone everything; an entry of a kind the check does not read counts as
// granting everything too.

// The Administrators group and the system, for the lists the program writes.
PSID AdministratorsSid();
PSID LocalSystemSid();

// The rights over a folder that let their holder change what it holds, or
// who may.
inline constexpr DWORD FOLDER_CHANGING_RIGHTS = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE |
                                                WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// True when folder is a folder the quarantine may use: a plain folder (no
// reparse point), owned by a trusted account, which nobody else may add to,
// delete from or change.
bool IsTrustedFolder(const char* folder);

// True when no other user can make path ("X:\...") lead to another file, so
// that it may be left for the next start of Windows: every folder below the
// drive's root on the way to the file, and the file itself, is no reparse
// point, is owned by a trusted account and lets nobody else delete it or
// change its rights or owner, and its folder (the root too) lets nobody else
// delete what it holds. Adding entries redirects nothing and is allowed: the
// root of C: lets every user make folders.
bool PathCannotBeRedirected(const char* path);
