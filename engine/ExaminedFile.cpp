#include "engine/ExaminedFile.h"

#include <fcntl.h>
#include <io.h>

#include "process/OsProbe.h"
#include "repair/DelayedDelete.h"

namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Reading the headers, clearing the attributes, and deleting or renaming.
constexpr DWORD DELETE_ACCESS = FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;
// The same without deletion: attributes are no data, so a holder that shares
// only reading still lets them change.
constexpr DWORD READ_ACCESS = FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;

bool NtFamily() { return GetOsFamily() == OS_FAMILY_NT; }

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

HANDLE OpenWithoutFollowing(const char* path, DWORD access, DWORD flags) {
  if (GetNtGeneration() != NT_GENERATION_4) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return CreateFileA(path, access, SHARE_ALL, nullptr, OPEN_EXISTING, flags, nullptr);
}

bool IsLink(const char* path, DWORD handleAttributes) {
  const DWORD pathAttributes = GetFileAttributesA(path);
  return (handleAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
         (pathAttributes != INVALID_FILE_ATTRIBUTES && (pathAttributes & FILE_ATTRIBUTE_REPARSE_POINT));
}

int ExaminedFile::Open(const char* path) {
  Close();
  if (!NtFamily()) return _open(path, _O_RDONLY | _O_BINARY);
  handle_ = OpenWithoutFollowing(path, DELETE_ACCESS);
  deletable_ = handle_ != INVALID_HANDLE_VALUE;
  // Another process that shares the file only for reading, or rights that
  // allow reading it but not deleting it: it is examined all the same.
  if (!deletable_) handle_ = OpenWithoutFollowing(path, READ_ACCESS);
  DWORD attributes = 0;
  if (!HeldByHandle() || !ReadFileIdentity(handle_, identity_, attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      IsLink(path, attributes)) {
    Close();
    return -1;
  }
  const int fd = DescriptorOf(handle_);
  if (fd == -1) Close();
  return fd;
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

HANDLE ExaminedFile::DeletableHandle(const char* path) {
  if (!HeldByHandle()) return nullptr;
  if (deletable_) return handle_;
  HANDLE again = OpenIfSame(path, DELETE_ACCESS);
  if (again == INVALID_HANDLE_VALUE) return nullptr;
  CloseHandle(handle_);
  handle_ = again;
  deletable_ = true;
  return handle_;
}

// A handle opened again by path proves the path by itself; the first one
// needs the look.
HANDLE ExaminedFile::DeletableHandleAt(const char* path) {
  if (deletable_ && !IsAt(path)) return nullptr;
  return DeletableHandle(path);
}

bool ExaminedFile::ClearAttributes() {
  return HeldByHandle() && SetAttributesByHandle(handle_, FILE_ATTRIBUTE_ARCHIVE);
}

bool ExaminedFile::Delete(const char* path) {
  HANDLE deletable = DeletableHandle(path);
  return deletable && DeleteByHandle(deletable);
}

// Where a rename follows the path rather than the handle (Wine does), the
// path must name the file at the moment of the move.
bool ExaminedFile::RenameTo(const char* path, const char* newPath) {
  HANDLE deletable = DeletableHandleAt(path);
  return deletable && RenameByHandle(deletable, newPath, false);
}

int ExaminedFile::ScheduleDeletion(const char* path) {
  HANDLE deletable = DeletableHandleAt(path);
  return deletable ? ScheduleHeldFileDeletion(deletable, identity_, path) : 0;
}

void ExaminedFile::Close() {
  if (HeldByHandle()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  deletable_ = false;
  identity_ = FileIdentity();
}
