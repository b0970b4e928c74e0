#include "common/Text.h"

#include <cstdio>
#include <cstring>

#if !defined(_WIN32)
// The host builds' C library: its vsnprintf keeps the contract used below.
#define _vsnprintf vsnprintf
#endif

bool CopyText(char* destination, std::size_t size, const char* source) {
  if (size == 0) return false;
  std::size_t length = std::strlen(source);
  bool fits = length < size;
  if (!fits) length = size - 1;
  std::memmove(destination, source, length);
  destination[length] = '\0';
  return fits;
}

bool AppendText(char* destination, std::size_t size, const char* source) {
  std::size_t used = BoundedLength(destination, size);
  if (used >= size) return false;
  return CopyText(destination + used, size - used, source);
}

// msvcrt's _vsnprintf answers -1 for a text longer than size and size for one
// of exactly size characters, and then writes no terminator; a C99 formatter
// answers the whole length and always terminates. Both fit only below size.
bool FormatTextList(char* destination, std::size_t size, const char* format, va_list args) {
  if (size == 0) return false;
  const int length = _vsnprintf(destination, size, format, args);
  const bool fits = length >= 0 && static_cast<std::size_t>(length) < size;
  if (!fits) destination[size - 1] = '\0';
  return fits;
}

bool FormatText(char* destination, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool fits = FormatTextList(destination, size, format, args);
  va_end(args);
  return fits;
}

const char* PathTail(const char* path) {
  const char* backslash = std::strrchr(path, '\\');
  return backslash ? backslash + 1 : path;
}

std::size_t BoundedLength(const char* text, std::size_t size) {
  const void* end = std::memchr(text, '\0', size);
  return end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : size;
}
