#pragma once
#include <windows.h>

// Operations on an open file through its handle, so that they reach the file
// the handle was opened on even when its path has since been made to lead
// elsewhere (a folder swapped for a link). The NT family only: they call
// ntdll.dll's NtSetInformationFile, looked up by name (every NT has it; the
// newer SetFileInformationByHandle needs Vista). Each is false when the call
// is missing or the file system refuses.

// Opens path on the NT family without following a final link (from NT 5;
// NT 4.0 has no links, and no such flag), sharing everything; the same
// with INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenWithoutFollowing(const char* path, DWORD access, DWORD flags = 0);

// True when what path names is a reparse point, asked of the path as well as
// of the open handle: Wine opens through a link whatever the flags, and shows
// it only in the path's own attributes.
bool IsReparsePoint(const char* path, DWORD handleAttributes);

// True when the reparse point held by file (opened without following) is a
// name surrogate: a symbolic link, a junction or a mount point, which stands
// for another name. Other tags (deduplicated, archived or cloud-backed files)
// keep the file's data behind a filter. A tag that cannot be read counts as a
// surrogate.
bool IsNameSurrogate(HANDLE file);

// What identifies a file while it exists: its volume and its index there.
struct FileIdentity {
  DWORD volumeSerial = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
};
bool SameFile(const FileIdentity& left, const FileIdentity& right);

// The file's identity and attributes.
bool ReadFileIdentity(HANDLE file, FileIdentity& identity, DWORD& attributes);
// The same of what path names now, a folder too, without following a final
// link.
bool ReadPathIdentity(const char* path, FileIdentity& identity, DWORD& attributes);

// Sets the file's attributes (FILE_ATTRIBUTE_ARCHIVE clears read-only, hidden
// and system); the handle needs FILE_WRITE_ATTRIBUTES.
bool SetAttributesByHandle(HANDLE file, DWORD attributes);

// Marks the file for deletion when its last handle closes; the handle needs
// DELETE. A running program's image, say, refuses.
bool DeleteByHandle(HANDLE file);

// Gives the file a new full path ("C:\x\y.z") on the same volume; the handle
// needs DELETE. replace: an existing file of that name is replaced.
bool RenameByHandle(HANDLE file, const char* newPath, bool replace);
