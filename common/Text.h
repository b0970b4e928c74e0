#pragma once
#include <cstddef>

// Bounded text helpers for fixed-size buffers. Each returns false, and leaves
// a valid (possibly shortened) text, when the result would not fit; a size of
// 0 writes nothing.
bool CopyText(char* destination, std::size_t size, const char* source);
// Appends source to the text in destination. A destination with no
// terminator within size bytes is left as it is (false).
bool AppendText(char* destination, std::size_t size, const char* source);
