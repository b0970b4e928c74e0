#include "FuzzFile.h"

#include <sys/mman.h>
#include <unistd.h>

int OpenFuzzInput(const uint8_t* data, std::size_t size) {
  const int fd = memfd_create("fuzz-input", 0);
  if (fd == -1) return -1;
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) {
      close(fd);
      return -1;
    }
    written += static_cast<std::size_t>(n);
  }
  lseek(fd, 0, SEEK_SET);
  return fd;
}
