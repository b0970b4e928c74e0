#pragma once
#include <cstddef>
#include <cstdint>

// Text rules on paths that need nothing but the C runtime: the status line's
// shortening and the new name of a renamed file.

// Copies source into destination, shortened in the middle with dots to exactly
// width characters when it is longer. destination holds destinationSize bytes;
// a result that would not fit is cut.
void ElideMiddle(const char* source, char* destination, std::size_t destinationSize, int16_t width);

// A renamed file gets this letter after the last "." of its path (a.exe -> a.Vxe).
inline constexpr char RENAME_MARK = 'V';

// The new name of a renamed file: path with the character after its last "."
// replaced by RENAME_MARK (appended when the path ends in "."). False when the
// path has no "." or the new name does not fit in size bytes.
bool RenamedPath(const char* path, char* renamed, std::size_t size);
