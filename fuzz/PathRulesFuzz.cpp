// Fuzz target: the status line's shortening and the new name of a renamed
// file, on any text, width and destination size. The first two bytes are the
// width, the third the destination size less one; the rest, up to a zero
// byte, is the path.
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/PathRules.h"

namespace {

void CheckElided(const std::string& source, int16_t width, std::size_t size) {
  // Exactly size bytes, so that a write past the destination is caught.
  char* shown = new char[size];
  ElideMiddle(source.c_str(), shown, size, width);
  const std::string out(shown, strnlen(shown, size));
  if (out.size() == size) std::abort();  // not terminated
  const int keep = width / 2 - 1;
  const bool elided =
      keep > 0 && source.size() > static_cast<std::size_t>(width) && static_cast<std::size_t>(width) < size;
  if (elided) {
    const std::size_t kept = static_cast<std::size_t>(keep);
    if (out.size() != static_cast<std::size_t>(width) || out.compare(0, kept, source, 0, kept) != 0 ||
        out.compare(out.size() - kept, kept, source, source.size() - kept, kept) != 0)
      std::abort();
  } else if (out != source.substr(0, size - 1)) {
    std::abort();
  }
  delete[] shown;
}

void CheckRenamed(const std::string& path, std::size_t size) {
  char* renamed = new char[size];
  const bool made = RenamedPath(path.c_str(), renamed, size);
  const std::size_t dot = path.rfind('.');
  if (made) {
    std::string expected = path;
    if (dot + 1 < path.size()) expected[dot + 1] = RENAME_MARK;
    else expected += RENAME_MARK;
    if (dot == std::string::npos || expected != renamed || expected.size() >= size) std::abort();
  } else if (dot != std::string::npos && path.size() + (dot + 1 == path.size() ? 1 : 0) < size) {
    std::abort();  // a new name that fits was refused
  }
  delete[] renamed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  int16_t width;
  std::memcpy(&width, data, sizeof width);
  const std::size_t destinationSize = static_cast<std::size_t>(data[2]) + 1;
  const char* text = reinterpret_cast<const char*>(data + 3);
  const std::string source(text, strnlen(text, size - 3));
  CheckElided(source, width, destinationSize);
  CheckRenamed(source, destinationSize);
  return 0;
}
