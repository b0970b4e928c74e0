#include "engine/ExaminedFile.h"

#include <fcntl.h>
#include <io.h>

#include <initializer_list>

#include "process/OsProbe.h"
#include "repair/DelayedDelete.h"

namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The rights the examination asks for, the most first: reading the headers,
// clearing the attributes, and deleting or renaming; the same without
// deletion (attributes are no data, so a holder that shares only reading
// still lets them change); reading alone, which rights that refuse any change
// still allow.
constexpr DWORD DELETE_ACCESS = FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;
constexpr DWORD ATTRIBUTE_ACCESS = FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD READ_ACCESS = FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD EXAMINATION_ACCESS[] = {DELETE_ACCESS, ATTRIBUTE_ACCESS, READ_ACCESS};
// What every handle to the file needs besides: its identity is read through it.
constexpr DWORD IDENTITY_ACCESS = FILE_READ_ATTRIBUTES | SYNCHRONIZE;

bool NtFamily() { return GetOsFamily() == OS_FAMILY_NT; }

HANDLE OpenPath(const char* path, DWORD access, bool follow) {
  if (!follow) return OpenWithoutFollowing(path, access);
  return CreateFileA(path, access, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr);
}

// A descriptor of the C run-time library over its own copy of the handle, so
// that closing the descriptor leaves the examined file held.
int DescriptorOf(HANDLE file) {
  HANDLE copy = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, file, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_RDONLY);
  if (fd == -1) CloseHandle(copy);
  return fd;
}

}  // namespace

int ExaminedFile::Open(const char* path) {
  Close();
  if (!NtFamily()) return _open(path, _O_RDONLY | _O_BINARY);
  DWORD attributes = 0;
  if (!OpenHeld(path, false) || !ReadFileIdentity(handle_, identity_, attributes) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) || (IsReparsePoint(path, attributes) && !FollowReparsePoint(path))) {
    Close();
    return -1;
  }
  const int fd = DescriptorOf(handle_);
  if (fd == -1) Close();
  return fd;
}

bool ExaminedFile::OpenHeld(const char* path, bool follow) {
  for (DWORD access : EXAMINATION_ACCESS) {
    handle_ = OpenPath(path, access, follow);
    if (HeldByHandle()) {
      access_ = access;
      return true;
    }
  }
  return false;
}

bool ExaminedFile::FollowReparsePoint(const char* path) {
  if (IsNameSurrogate(handle_)) return false;
  const HANDLE reparsePoint = handle_;
  const FileIdentity examined = identity_;
  FileIdentity behind;
  DWORD attributes = 0;
  const bool followed = OpenHeld(path, true) && ReadFileIdentity(handle_, behind, attributes) &&
                        SameFile(behind, examined) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (followed) {
    CloseHandle(reparsePoint);
    return true;
  }
  if (HeldByHandle()) CloseHandle(handle_);
  handle_ = reparsePoint;  // Close releases it
  return false;
}

HANDLE ExaminedFile::OpenIfSame(const char* path, DWORD access) const {
  HANDLE now = OpenWithoutFollowing(path, access);
  if (now == INVALID_HANDLE_VALUE) return now;
  FileIdentity identity;
  DWORD attributes = 0;
  if (ReadFileIdentity(now, identity, attributes) && SameFile(identity, identity_)) return now;
  CloseHandle(now);  // another file now stands at the path: it is left alone
  return INVALID_HANDLE_VALUE;
}

bool ExaminedFile::IsAt(const char* path) const {
  if (!HeldByHandle()) return true;
  HANDLE now = OpenIfSame(path, FILE_READ_ATTRIBUTES);
  if (now == INVALID_HANDLE_VALUE) return false;
  CloseHandle(now);
  return true;
}

// The rights held so far go along where they can; where the platform grants
// the new right only alone (deletion allowed by the folder, say, but no
// change of the file), the handle carries that right alone.
bool ExaminedFile::Acquire(const char* path, DWORD access) {
  if (!HeldByHandle()) return false;
  if (Holds(access)) return true;
  for (DWORD rights : {access_ | access, access | IDENTITY_ACCESS}) {
    HANDLE again = OpenIfSame(path, rights);
    if (again == INVALID_HANDLE_VALUE) continue;
    CloseHandle(handle_);
    handle_ = again;
    access_ = rights;
    return true;
  }
  return false;
}

bool ExaminedFile::ClearAttributes(const char* path) {
  return Acquire(path, FILE_WRITE_ATTRIBUTES) && SetAttributesByHandle(handle_, FILE_ATTRIBUTE_ARCHIVE);
}

bool ExaminedFile::Delete(const char* path) { return Acquire(path, DELETE) && DeleteByHandle(handle_); }

// A handle opened again by path proves the path by itself; the one held
// already needs the look.
bool ExaminedFile::AcquireAt(const char* path, DWORD access) {
  const bool held = Holds(access);
  return Acquire(path, access) && (!held || IsAt(path));
}

// Where a rename follows the path rather than the handle (Wine does), the
// path must name the file at the moment of the move.
bool ExaminedFile::RenameTo(const char* path, const char* newPath) {
  return AcquireAt(path, DELETE) && RenameByHandle(handle_, newPath, false);
}

int ExaminedFile::ScheduleDeletion(const char* path) {
  if (AcquireAt(path, DELETE) && ScheduleHeldFileDeletion(handle_, identity_, path)) return 1;
  return IsAt(path) ? ScheduleDeletionByPath(path) : 0;
}

void ExaminedFile::Close() {
  if (HeldByHandle()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  access_ = 0;
  identity_ = FileIdentity();
}
