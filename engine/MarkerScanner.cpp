#include "engine/MarkerScanner.h"

#include <fcntl.h>
#include <io.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "common/FileRead.h"
#include "common/ProgramTexts.h"
#include "common/Text.h"
#include "engine/Detection.h"
#include "engine/PeLocator.h"
#include "engine/ScanState.h"

namespace {

// The stored patterns are the plain ones combined with this byte by exclusive or.
constexpr unsigned char MARKER_KEY = 0x3D;
// The worm record's size mode: none of the size tests.
constexpr uint16_t MARKER_NO_SIZE_TEST = 18;
// The worm record's first reserved field, kept as the data has it.
constexpr uint16_t WORM_RESERVED_VALUE = 4;

// The word a marker file begins with, compared without regard to letter case.
constexpr char MARKER_WORD[] = "begin";
constexpr std::size_t MARKER_WORD_LENGTH = sizeof MARKER_WORD - 1;

unsigned char headText[MARKER_WINDOW];
unsigned char tailText[MARKER_WINDOW];
unsigned char workBuffer[MARKER_WORK_SIZE];

// What one file's windows hold once read.
struct MarkerWindows {
  int32_t length = 0;                   // the file's length
  std::size_t window = 0;               // search window: MARKER_WINDOW, or a shorter file's length
  std::size_t headLength = 0;           // bytes of headText in use
  std::size_t tailLength = 0;           // bytes of the tail text in use
  const unsigned char* tail = nullptr;  // tailText, or headText for a short file
};

bool IsWhitespace(unsigned char byte) {
  return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
}

// Reads count bytes at offset into the work buffer; all must arrive.
bool ReadWorkBuffer(int fd, int32_t offset, std::size_t count) {
  return count <= MARKER_WINDOW && ReadExactAt(fd, offset, workBuffer, count);
}

// Fills the head and tail texts: the first and the last MARKER_WINDOW bytes
// without whitespace, or for a shorter file the whole file as both.
bool ReadWindows(int fd, MarkerWindows& windows) {
  std::memset(headText, 0, sizeof headText);
  std::memset(tailText, 0, sizeof tailText);
  const int32_t length = windows.length;
  if (static_cast<std::size_t>(length) >= MARKER_WINDOW) {
    windows.window = MARKER_WINDOW;
    if (!ReadWorkBuffer(fd, 0, MARKER_WINDOW)) return false;
    windows.headLength = StripWhitespace(workBuffer, headText, MARKER_WINDOW);
    std::memset(workBuffer, 0, sizeof workBuffer);
    if (!ReadWorkBuffer(fd, length - static_cast<int32_t>(MARKER_WINDOW), MARKER_WINDOW)) return false;
    windows.tailLength = StripWhitespace(workBuffer, tailText, MARKER_WINDOW);
    windows.tail = tailText;
    return true;
  }
  windows.window = static_cast<std::size_t>(length);
  if (!ReadWorkBuffer(fd, 0, windows.window)) return false;
  windows.headLength = StripWhitespace(workBuffer, headText, windows.window);
  windows.tailLength = windows.headLength;
  windows.tail = headText;
  return true;
}

bool SizeFits(const MarkerRecord& record, int32_t length) {
  switch (record.sizeMode) {
    case MARKER_SIZE_EXACT:
      return length == record.fileSize;
    case MARKER_SIZE_NEAR: {
      const int64_t difference = static_cast<int64_t>(record.fileSize) - length;
      return difference >= -MARKER_SIZE_WINDOW && difference <= MARKER_SIZE_WINDOW;
    }
    default:
      return true;
  }
}

// Searches the record's window for its pattern.
bool SearchMatches(const MarkerRecord& record, const MarkerWindows& windows) {
  std::memset(workBuffer, 0, sizeof workBuffer);
  if (record.region == MARKER_REGION_HEAD) std::memcpy(workBuffer, headText, windows.headLength);
  else if (record.region == MARKER_REGION_TAIL) std::memcpy(workBuffer, windows.tail, windows.tailLength);
  else return false;  // no such window
  return FindPattern(workBuffer, windows.window, record.pattern, record.patternLength) == 1;
}

// Copies up to MARKER_PATTERN_SIZE bytes of a text at start into the work
// buffer; what lies outside the text area stays zero.
void CopyAt(const unsigned char* text, int64_t start) {
  if (start < 0 || start >= static_cast<int64_t>(MARKER_WINDOW)) return;
  const std::size_t from = static_cast<std::size_t>(start);
  std::memcpy(workBuffer, text + from, std::min(MARKER_PATTERN_SIZE, MARKER_WINDOW - from));
}

// Compares the pattern with the window's bytes at the record's position
// (counted from the start of the head, or back from the end of the tail).
bool PositionMatches(const MarkerRecord& record, const MarkerWindows& windows) {
  std::memset(workBuffer, 0, sizeof workBuffer);
  if (record.region == MARKER_REGION_HEAD) CopyAt(headText, record.position);
  else if (record.region == MARKER_REGION_TAIL)
    CopyAt(windows.tail, static_cast<int64_t>(windows.tailLength) - record.position);
  else return false;
  return std::memcmp(workBuffer, record.pattern, record.patternLength) == 0;
}

bool RecordMatches(const MarkerRecord& record, const MarkerWindows& windows) {
  // A length beyond the pattern field marks a broken record: it never matches.
  if (record.patternLength == 0 || record.patternLength > MARKER_PATTERN_SIZE) return false;
  if (windows.length < record.patternLength) return false;
  if (!SizeFits(record, windows.length)) return false;
  return record.matchKind == MARKER_MATCH_SEARCH ? SearchMatches(record, windows) : PositionMatches(record, windows);
}

void RememberMatchedName(const MarkerRecord& record) {
  std::memset(markerScan.matchedName, 0, sizeof markerScan.matchedName);
  std::memcpy(markerScan.matchedName, record.name, MARKER_NAME_SIZE);
}

void DeleteMarkerFile(void*, const char* path, const char* name) {
  if (DeleteFileA(path)) {
    ++scanState.filesRemoved;
    SendReportLine(REPORT_FILE_REMOVED, path, name);
  } else {
    SendReportLine("%s     %s Remove failed", path, name);
  }
}

void RenameMarkerFile(void*, const char* path, const char* name) { RenameInfectedFile(path, name); }

// A marker file is only deleted: no attribute change, no process termination,
// no deletion at restart.
const DisposalWays MARKER_DISPOSAL = {DeleteMarkerFile, RenameMarkerFile, "Not Disinfected As Per User's Selection",
                                      nullptr};

}  // namespace

MarkerRecord markerTable[MARKER_COUNT] = {
    {"W32/Nyxem.Worm",
     134042,
     1888,
     MARKER_PATTERN_SIZE,
     MARKER_REGION_HEAD,
     {0x70, 0x09, 0x0A, 0x08, 0x78, 0x06, 0x1B, 0x6C, 0x72, 0x01, 0x7F, 0x1C, 0x69, 0x04, 0x0A, 0x10, 0x69,
      0x15, 0x1B, 0x68, 0x7C, 0x01, 0x7B, 0x70, 0x78, 0x01, 0x7E, 0x75, 0x7D, 0x07, 0x1B, 0x18, 0x6F, 0x06,
      0x0B, 0x6C, 0x78, 0x01, 0x6A, 0x11, 0x7D, 0x00, 0x6B, 0x60, 0x6F, 0x04, 0x1A, 0x11, 0x7D, 0x07, 0x0B,
      0x65, 0x7D, 0x05, 0x0F, 0x1C, 0x75, 0x06, 0x6A, 0x10, 0x69, 0x70, 0x01, 0x6F, 0x1C, 0x7B, 0x07, 0x0B,
      0x6C, 0x78, 0x16, 0x7F, 0x1C, 0x13, 0x06, 0x6A, 0x0C, 0x75, 0x07, 0x0B, 0x64, 0x7A, 0x15, 0x1A, 0x14,
      0x68, 0x06, 0x7A, 0x11, 0x7D, 0x07, 0x1B, 0x08, 0x6F, 0x04, 0x0E, 0x71, 0x7D, 0x00, 0x1B},
     MARKER_MATCH_SEARCH,
     WORM_RESERVED_VALUE,
     MARKER_NO_SIZE_TEST,
     0,
     {}},
};

MarkerScanState markerScan;

void ResetMarkerScanState() {
  if (markerScan.unscrambled) UnscrambleMarkers();  // applied twice it gives the stored bytes
  markerScan = MarkerScanState();
  std::memset(headText, 0, sizeof headText);
  std::memset(tailText, 0, sizeof tailText);
  std::memset(workBuffer, 0, sizeof workBuffer);
}

void EnsureMarkersUnscrambled() {
  if (markerScan.unscrambled) return;
  markerScan.unscrambled = true;
  UnscrambleMarkers();
}

int CheckMarkerFile(const char*, const char* path) {
  EnsureMarkersUnscrambled();
  markerScan.fd = _open(path, _O_RDONLY | _O_BINARY);
  if (markerScan.fd == -1) return 0;
  const bool matched = MatchMarkerTable(markerScan.fd) == 1;
  if (matched) {
    CopyText(scanState.detectionName, sizeof scanState.detectionName, markerScan.matchedName);
    CopyText(scanState.currentFile, sizeof scanState.currentFile, path);
  }
  _close(markerScan.fd);  // closed before the file is deleted or renamed
  markerScan.fd = -1;
  if (!matched) return 0;
  DisposeByChoice(path, markerScan.matchedName, MARKER_DISPOSAL);
  return 1;
}

int BeginsWithMarker(int fd) {
  if (FileLength32(fd) == -1) return 0;
  char head[MARKER_WORD_LENGTH + 1] = {};
  if (!ReadExactAt(fd, 0, head, MARKER_WORD_LENGTH)) return 0;
  return _stricmp(head, MARKER_WORD) == 0 ? 1 : 0;
}

int MatchMarkerTable(int fd) {
  std::memset(workBuffer, 0, sizeof workBuffer);
  if (BeginsWithMarker(fd) == 0) return 0;
  MarkerWindows windows;
  windows.length = FileLength32(fd);
  if (windows.length == -1 || !ReadWindows(fd, windows)) return 0;
  for (const MarkerRecord& record : markerTable) {
    if (!RecordMatches(record, windows)) continue;
    ++scanState.filesInfected;
    RememberMatchedName(record);
    return 1;
  }
  return 0;
}

std::size_t StripWhitespace(const unsigned char* source, unsigned char* destination, std::size_t count) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!IsWhitespace(source[i])) destination[kept++] = source[i];
  }
  return kept;
}

int FindPattern(const unsigned char* buffer, std::size_t window, const unsigned char* pattern, std::size_t length) {
  if (length == 0 || length > MARKER_WORK_SIZE) return 0;
  window = std::min(window, MARKER_WORK_SIZE);
  const std::size_t lastStart = MARKER_WORK_SIZE - length;  // a match ends inside the buffer
  std::size_t at = 0;
  while (at < window) {
    const void* found = std::memchr(buffer + at, pattern[0], window - at);
    if (!found) return 0;
    at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - buffer);
    if (at > lastStart) return 0;
    if (std::memcmp(buffer + at, pattern, length) == 0) return 1;
    ++at;
  }
  return 0;
}

void UnscrambleMarkers() {
  for (MarkerRecord& record : markerTable) {
    const std::size_t length = std::min<std::size_t>(record.patternLength, MARKER_PATTERN_SIZE);
    for (std::size_t i = 0; i < length; ++i) record.pattern[i] ^= MARKER_KEY;
  }
}
