#include "common/Text.h"

#include <cstring>

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
  std::size_t used = strnlen(destination, size);
  if (used >= size) return false;
  return CopyText(destination + used, size - used, source);
}
