// Linked by every host (Linux) program that links the engine's readers: the
// fuzz targets, the seed writer and the signature tool. It answers the one
// query of a file's length the engine makes; on the host a descriptor stands
// for its handle (see _get_osfhandle in fuzz/host/io.h).
#include <windows.h>

#include <sys/stat.h>

namespace {
DWORD hostLastError = NO_ERROR;
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  struct stat st;
  if (fstat(static_cast<int>(reinterpret_cast<intptr_t>(file)), &st) != 0) {
    hostLastError = 1;
    return INVALID_FILE_SIZE;
  }
  hostLastError = NO_ERROR;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (high) *high = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

DWORD GetLastError() { return hostLastError; }
