#pragma once
#include <cstdarg>
#include <cstddef>

// Bounded text helpers for fixed-size buffers. Each returns false, and leaves
// a valid (possibly shortened) text, when the result would not fit; a size of
// 0 writes nothing.
bool CopyText(char* destination, std::size_t size, const char* source);
// Appends source to the text in destination. A destination with no
// terminator within size bytes is left as it is (false).
bool AppendText(char* destination, std::size_t size, const char* source);

// The checker of format strings that matches the formatter below: on Windows
// the C run-time library's own (msvcrt.dll), which knows no C99 extras such
// as %zu or %lld.
#if defined(__MINGW32__)
#define TEXT_FORMAT_CHECK(formatIndex, firstArgument) __attribute__((format(ms_printf, formatIndex, firstArgument)))
#else
#define TEXT_FORMAT_CHECK(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#endif

// Formats into destination with the C run-time library's formatter (on
// Windows msvcrt.dll's, which every Windows since 95 OSR2 has). The result is
// always terminated; a text cut at size - 1 characters returns false.
bool FormatText(char* destination, std::size_t size, const char* format, ...) TEXT_FORMAT_CHECK(3, 4);
bool FormatTextList(char* destination, std::size_t size, const char* format, va_list args);

// The part of a path after its last backslash: the file name of a full path,
// all of it when it has no backslash, empty when it ends in one.
const char* PathTail(const char* path);

// The length of a text that may lack its terminator: at most size.
std::size_t BoundedLength(const char* text, std::size_t size);
