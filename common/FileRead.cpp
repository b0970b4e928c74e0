#include "common/FileRead.h"

#include <io.h>
#include <stdio.h>

#include <climits>

namespace {

// The runtime addresses a file by a 32-bit long, and a read counts in an int.
constexpr long LARGEST_OFFSET = 0x7FFFFFFFL;
constexpr std::size_t LARGEST_READ = INT_MAX;

}  // namespace

bool ReadExactAt(int fd, long offset, void* buffer, std::size_t size) {
  // Compared by subtraction, so that neither sum can wrap.
  if (offset < 0 || offset > LARGEST_OFFSET || size > LARGEST_READ) return false;
  if (size > static_cast<std::size_t>(LARGEST_OFFSET - offset)) return false;
  if (_lseek(fd, offset, SEEK_SET) != offset) return false;
  return _read(fd, buffer, static_cast<unsigned>(size)) == static_cast<int>(size);
}
