#pragma once
#include <windows.h>

#include "common/FileByHandle.h"

// The file the detection step examines. On the NT family it is held by one
// handle from the moment it is opened until its disposal is over, and every
// action reaches it through a handle that is proven to be that file: the one
// held, or one opened again by its path whose identity (volume and file
// index) is the examined file's. A folder swapped for a link in between makes
// nothing happen to another file. The 9x family has no links and no users;
// there the file is read and acted on by path, as before.
class ExaminedFile {
 public:
  ExaminedFile() = default;
  ~ExaminedFile() { Close(); }
  ExaminedFile(const ExaminedFile&) = delete;
  ExaminedFile& operator=(const ExaminedFile&) = delete;

  // Opens path and returns a descriptor for the reads (the caller closes it
  // with _close), or -1. On the NT family the file is opened without
  // following a final link, sharing everything, with the most of these that
  // can be had: the access to delete it, to change its attributes, to read it
  // (another process shares it only for reading, or its rights allow no
  // more). A name surrogate (a symbolic link, junction or mount point) is
  // passed over (-1); a file behind any other reparse point is opened
  // through it, where its data is.
  int Open(const char* path);
  // True when the file is held by a handle (the NT family).
  bool HeldByHandle() const { return handle_ != INVALID_HANDLE_VALUE; }
  const FileIdentity& identity() const { return identity_; }

  // True when path names the examined file now. The 9x family: always.
  bool IsAt(const char* path) const;

  // The actions of a disposal, each on the examined file and no other, each
  // false when it cannot be done so. Only on the NT family (HeldByHandle).
  // A right the held handle lacks is asked for again through path.
  // Clears read-only, hidden and system.
  bool ClearAttributes(const char* path);
  // Deletes the file (when its last handle closes).
  bool Delete(const char* path);
  // Gives the file the new path, which must not exist; path must still name it.
  bool RenameTo(const char* path, const char* newPath);
  // Has the file deleted at the next start of Windows: moved into its
  // volume's quarantine folder when it can be moved, else left for the
  // restart at path when no other user can make path lead elsewhere. 1 when
  // scheduled, 0 with nothing scheduled.
  int ScheduleDeletion(const char* path);

  void Close();

 private:
  // Opens path with the first of the examination's rights that can be had;
  // follow: through a reparse point.
  bool OpenHeld(const char* path, bool follow);
  // Replaces the held handle by one that goes through the reparse point at
  // path to the same file. False for a name surrogate.
  bool FollowReparsePoint(const char* path);
  // A new handle to what path names now, when that is the examined file;
  // INVALID_HANDLE_VALUE otherwise.
  HANDLE OpenIfSame(const char* path, DWORD access) const;
  // Makes the held handle one with access: the one held, or one opened again
  // by path that is the examined file.
  bool Acquire(const char* path, DWORD access);
  // Acquire, with path proven to name the file at this moment.
  bool AcquireAt(const char* path, DWORD access);
  bool Holds(DWORD access) const { return (access_ & access) == access; }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD access_ = 0;
  FileIdentity identity_;
};
