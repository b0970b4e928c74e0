// Host (Linux) stand-in for the C runtime's low-level descriptor functions.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <cstdint>

#define _O_RDONLY O_RDONLY
#define _O_BINARY 0

inline int _open(const char* path, int flags) { return open(path, flags); }
inline int _close(int fd) { return close(fd); }
// The Windows runtime's offsets are 32-bit longs: a negative one fails.
inline long _lseek(int fd, long offset, int origin) {
  if (offset < 0 && origin == SEEK_SET) return -1L;
  const off_t at = lseek(fd, offset, origin);
  return at > INT32_MAX ? -1L : static_cast<long>(at);
}
inline int _read(int fd, void* buffer, unsigned count) { return static_cast<int>(read(fd, buffer, count)); }
// The descriptor itself stands for its handle (see GetFileSize in windows.h).
inline intptr_t _get_osfhandle(int fd) { return fd < 0 ? -1 : static_cast<intptr_t>(fd); }
inline int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }
inline int _strnicmp(const char* a, const char* b, size_t n) { return strncasecmp(a, b, n); }
