#pragma once
#include <windows.h>

#include "common/FileByHandle.h"

// The file the detection step examines. On the NT family it is held by one
// handle from the moment it is opened until its disposal is over, and every
// action reaches it through that handle, or through its path only once the
// path has been proven, again, to name that same file: a folder swapped for a
// link in between makes nothing happen to another file. The 9x family has no
// links and no users; there the file is read and acted on by path, as before.
class ExaminedFile {
 public:
  ExaminedFile() = default;
  ~ExaminedFile() { Close(); }
  ExaminedFile(const ExaminedFile&) = delete;
  ExaminedFile& operator=(const ExaminedFile&) = delete;

  // Opens path and returns a descriptor for the reads (the caller closes it
  // with _close), or -1. On the NT family the file is opened with the access
  // to delete it, sharing everything, without following a final link; a file
  // that cannot be opened so (another process shares it only for reading, or
  // it may be read but not deleted) is opened for reading alone. A file that
  // is itself a link (a reparse point) is passed over (-1).
  int Open(const char* path);
  // True when the file is held by a handle (the NT family).
  bool HeldByHandle() const { return handle_ != INVALID_HANDLE_VALUE; }
  const FileIdentity& identity() const { return identity_; }

  // True when path names the examined file now. The 9x family: always.
  bool IsAt(const char* path) const;
  // A handle to the examined file with delete access: the first one, or one
  // opened again by path that must be the same file. Null when none can be
  // had (another process holds the file without sharing its deletion, or
  // path no longer names it).
  HANDLE DeletableHandle(const char* path);

  // The actions of a disposal, each on the examined file and no other, each
  // false when it cannot be done so. Only on the NT family (HeldByHandle).
  // Clears read-only, hidden and system.
  bool ClearAttributes();
  // Deletes the file (when its last handle closes).
  bool Delete(const char* path);
  // Gives the file the new path, which must not exist; path must still name it.
  bool RenameTo(const char* path, const char* newPath);
  // Moves the file into its volume's quarantine folder and has it deleted at
  // the next start of Windows: 1, or 0 with nothing scheduled when path no
  // longer names it or it cannot be moved.
  int ScheduleDeletion(const char* path);

  void Close();

 private:
  // A new handle to what path names now, when that is the examined file;
  // INVALID_HANDLE_VALUE otherwise.
  HANDLE OpenIfSame(const char* path, DWORD access) const;
  // DeletableHandle, with path proven to name the file at this moment.
  HANDLE DeletableHandleAt(const char* path);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool deletable_ = false;
  FileIdentity identity_;
};

// Opens path on the NT family without following a final link (from NT 5;
// NT 4.0 has no links); INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenWithoutFollowing(const char* path, DWORD access, DWORD flags = 0);
// True when what path names is itself a link (a reparse point), asked of the
// path as well as of the open handle: Wine opens through a link whatever the
// flags, and shows it only in the path's own attributes.
bool IsLink(const char* path, DWORD handleAttributes);
