#include "common/FileByHandle.h"

#include <cstddef>
#include <cstring>

#include "common/LibraryFunction.h"

namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD GET_REPARSE_POINT = 0x000900A8;  // FSCTL_GET_REPARSE_POINT
// Reparse tags whose bit 29 is set stand for another name.
constexpr DWORD NAME_SURROGATE_BIT = 0x20000000;
// The largest reparse data a file system keeps; its tag comes first.
constexpr std::size_t REPARSE_DATA_SIZE = 16 * 1024;

// Links, and the flag that opens a link itself, came with NT 5.
bool PlatformHasLinks() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const bool known = GetVersionExA(&info) != FALSE;
#pragma GCC diagnostic pop
  return known && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

// The file information classes and records of NtSetInformationFile, as the
// NT kernel has defined them since NT 3.1.
constexpr ULONG FILE_BASIC_INFORMATION_CLASS = 4;
constexpr ULONG FILE_RENAME_INFORMATION_CLASS = 10;
constexpr ULONG FILE_DISPOSITION_INFORMATION_CLASS = 13;

struct IoStatus {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};

struct BasicInformation {
  LARGE_INTEGER creationTime;  // 0: unchanged
  LARGE_INTEGER lastAccessTime;
  LARGE_INTEGER lastWriteTime;
  LARGE_INTEGER changeTime;
  ULONG attributes;
};

struct DispositionInformation {
  BOOLEAN deleteFile;
};

struct RenameInformation {
  BOOLEAN replaceIfExists;
  HANDLE rootDirectory;
  ULONG fileNameLength;  // in bytes
  WCHAR fileName[1];
};

// The NT name of a drive path ("\??\" + path) in UTF-16: MAX_PATH characters
// and the prefix.
constexpr wchar_t NT_PREFIX[] = L"\\??\\";
constexpr int NT_PREFIX_LENGTH = 4;
constexpr std::size_t RENAME_BUFFER_SIZE =
    offsetof(RenameInformation, fileName) + (MAX_PATH + NT_PREFIX_LENGTH) * sizeof(WCHAR);

using SetInformationFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);

bool SetInformation(HANDLE file, void* information, ULONG size, ULONG informationClass) {
  const auto call = LibraryFunction<SetInformationFile>(GetModuleHandleA("ntdll.dll"), "NtSetInformationFile");
  if (!call) return false;
  IoStatus status = {};
  return call(file, &status, information, size, informationClass) >= 0;  // NT_SUCCESS
}

}  // namespace

HANDLE OpenWithoutFollowing(const char* path, DWORD access, DWORD flags) {
  if (PlatformHasLinks()) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return CreateFileA(path, access, SHARE_ALL, nullptr, OPEN_EXISTING, flags, nullptr);
}

bool IsReparsePoint(const char* path, DWORD handleAttributes) {
  const DWORD pathAttributes = GetFileAttributesA(path);
  return (handleAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
         (pathAttributes != INVALID_FILE_ATTRIBUTES && (pathAttributes & FILE_ATTRIBUTE_REPARSE_POINT));
}

bool IsNameSurrogate(HANDLE file) {
  // One scan thread: the buffer is used by one call at a time.
  alignas(DWORD) static unsigned char data[REPARSE_DATA_SIZE];
  DWORD returned = 0;
  const bool read = DeviceIoControl(file, GET_REPARSE_POINT, nullptr, 0, data, sizeof data, &returned, nullptr) ||
                    GetLastError() == ERROR_MORE_DATA;
  if (!read || returned < sizeof(DWORD)) return true;
  DWORD tag = 0;
  std::memcpy(&tag, data, sizeof tag);
  return (tag & NAME_SURROGATE_BIT) != 0;
}

bool SameFile(const FileIdentity& left, const FileIdentity& right) {
  return left.volumeSerial == right.volumeSerial && left.indexHigh == right.indexHigh &&
         left.indexLow == right.indexLow;
}

bool ReadFileIdentity(HANDLE file, FileIdentity& identity, DWORD& attributes) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return false;
  identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
  attributes = information.dwFileAttributes;
  return true;
}

bool ReadPathIdentity(const char* path, FileIdentity& identity, DWORD& attributes) {
  HANDLE handle = OpenWithoutFollowing(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool read = ReadFileIdentity(handle, identity, attributes);
  CloseHandle(handle);
  return read;
}

bool SetAttributesByHandle(HANDLE file, DWORD attributes) {
  BasicInformation basic = {};
  basic.attributes = attributes;
  return SetInformation(file, &basic, sizeof basic, FILE_BASIC_INFORMATION_CLASS);
}

bool DeleteByHandle(HANDLE file) {
  DispositionInformation disposition = {TRUE};
  return SetInformation(file, &disposition, sizeof disposition, FILE_DISPOSITION_INFORMATION_CLASS);
}

bool RenameByHandle(HANDLE file, const char* newPath, bool replace) {
  alignas(RenameInformation) unsigned char buffer[RENAME_BUFFER_SIZE] = {};
  auto* rename = reinterpret_cast<RenameInformation*>(buffer);
  std::memcpy(rename->fileName, NT_PREFIX, NT_PREFIX_LENGTH * sizeof(WCHAR));
  // Without the terminator: the name is counted, not terminated.
  const int length = MultiByteToWideChar(CP_ACP, 0, newPath, -1, rename->fileName + NT_PREFIX_LENGTH, MAX_PATH);
  if (length <= 1) return false;
  rename->replaceIfExists = replace ? TRUE : FALSE;
  rename->fileNameLength = static_cast<ULONG>((NT_PREFIX_LENGTH + length - 1) * sizeof(WCHAR));
  const ULONG size = static_cast<ULONG>(offsetof(RenameInformation, fileName) + rename->fileNameLength);
  return SetInformation(file, rename, size, FILE_RENAME_INFORMATION_CLASS);
}
