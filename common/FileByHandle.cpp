#include "common/FileByHandle.h"

#include <cstddef>
#include <cstring>

#include "common/LibraryFunction.h"

namespace {

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
