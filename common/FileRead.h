#pragma once
#include <cstddef>

// Reads exactly size bytes at offset of the file open as descriptor fd into
// buffer, through the C runtime's descriptor functions. False, with buffer's
// contents undefined, when offset is negative, when offset + size would pass
// the largest offset the runtime addresses (a 32-bit long), when the seek
// fails or when fewer than size bytes arrive. A size of 0 succeeds at any
// offset that can be sought. Every read of untrusted file bytes goes through
// here.
bool ReadExactAt(int fd, long offset, void* buffer, std::size_t size);
