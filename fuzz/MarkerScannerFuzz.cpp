// Fuzz target: any file through the marker scanner's reading, whitespace
// removal and pattern search, and the search itself on raw buffers.
#include <io.h>

#include <cstring>

#include "FuzzFile.h"
#include "engine/Detection.h"
#include "engine/MarkerScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static bool unscrambled = false;
  if (!unscrambled) {
    UnscrambleMarkers();
    unscrambled = true;
  }
  const int fd = OpenFuzzInput(data, size);
  if (fd == -1) return 0;
  MatchMarkerTable(fd);
  _close(fd);
  // The first byte splits the rest into a buffer and a pattern.
  if (size >= 2) {
    const std::size_t split = 1 + data[0] % (size - 1);
    const uint8_t* buffer = data + 1;
    const std::size_t bufferLength = split;
    const uint8_t* pattern = data + 1 + split;
    const std::size_t patternLength = size - 1 - split;
    // The search works on a work buffer of the scanner's size, zero-padded.
    static unsigned char work[MARKER_WORK_SIZE];
    std::memset(work, 0, sizeof work);
    std::memcpy(work, buffer, bufferLength < sizeof work ? bufferLength : sizeof work);
    if (patternLength > 0) FindPattern(work, bufferLength, pattern, patternLength);
    static unsigned char stripped[MARKER_WORK_SIZE];
    StripWhitespace(buffer, stripped, bufferLength < sizeof stripped ? bufferLength : sizeof stripped);
  }
  return 0;
}
