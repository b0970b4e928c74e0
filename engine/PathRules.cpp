#include "engine/PathRules.h"

#include <cstring>

#include "common/Text.h"

void ElideMiddle(const char* source, char* destination, std::size_t destinationSize, int16_t width) {
  const std::size_t length = std::strlen(source);
  const int keep = width / 2 - 1;
  if (keep <= 0 || length <= static_cast<std::size_t>(width) || static_cast<std::size_t>(width) >= destinationSize) {
    CopyText(destination, destinationSize, source);
    return;
  }
  const std::size_t kept = static_cast<std::size_t>(keep);
  const std::size_t dots = static_cast<std::size_t>(width) - 2 * kept;
  std::memcpy(destination, source, kept);
  std::memset(destination + kept, '.', dots);
  std::memcpy(destination + kept + dots, source + length - kept, kept);
  destination[width] = '\0';
}

bool RenamedPath(const char* path, char* renamed, std::size_t size) {
  if (!CopyText(renamed, size, path)) return false;
  char* dot = std::strrchr(renamed, '.');
  // Without a "." the new name would be the old one: moving a file onto itself
  // succeeds, yet nothing would be renamed.
  if (!dot) return false;
  if (dot[1] != '\0') {
    dot[1] = RENAME_MARK;
    return true;
  }
  // A path ending in "." has no character to replace: the mark is appended.
  const char mark[] = {RENAME_MARK, '\0'};
  return AppendText(renamed, size, mark);
}
