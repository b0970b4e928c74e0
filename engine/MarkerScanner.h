#pragma once
#include <cstddef>
#include <cstdint>

// A second, simpler detection engine for text files: a file that begins with
// "begin" (any letter case) and whose text, once all whitespace is removed,
// holds a known byte pattern near its start or end.

inline constexpr std::size_t MARKER_NAME_SIZE = 25;
inline constexpr std::size_t MARKER_PATTERN_SIZE = 100;
inline constexpr std::size_t MARKER_RESERVED_TAIL = 27;
inline constexpr int MARKER_COUNT = 1;

// Bytes read from each end of a file, and the work buffer that is searched
// (one byte more, so that it always ends in a zero).
inline constexpr std::size_t MARKER_WINDOW = 4096;
inline constexpr std::size_t MARKER_WORK_SIZE = MARKER_WINDOW + 1;

// matchKind: search the whole window; any other value compares at position.
inline constexpr uint16_t MARKER_MATCH_SEARCH = 1;
// region: which window a record looks at.
inline constexpr int16_t MARKER_REGION_HEAD = 0;
inline constexpr int16_t MARKER_REGION_TAIL = 1;
// sizeMode: length equals fileSize, or fileSize lies within MARKER_SIZE_WINDOW
// of the length (both ends included); any other value: no size test.
inline constexpr uint16_t MARKER_SIZE_EXACT = 16;
inline constexpr uint16_t MARKER_SIZE_NEAR = 17;
inline constexpr int32_t MARKER_SIZE_WINDOW = 4096;

// One record of the marker table. The layout is part of the detection data:
// 170 bytes, no padding.
#pragma pack(push, 1)
struct MarkerRecord {
  char name[MARKER_NAME_SIZE];                    // NUL-terminated, rest zero
  int32_t fileSize;                               // for MARKER_SIZE_EXACT / _NEAR
  int16_t position;                               // of a positional compare
  uint16_t patternLength;                         // 1..MARKER_PATTERN_SIZE; 0 disables the record
  int16_t region;                                 // MARKER_REGION_*
  unsigned char pattern[MARKER_PATTERN_SIZE];     // stored scrambled
  uint16_t matchKind;                             // MARKER_MATCH_SEARCH or positional
  uint16_t reserved1;                             // not interpreted
  uint16_t sizeMode;                              // MARKER_SIZE_*
  int16_t reserved2;                              // not interpreted
  unsigned char reserved3[MARKER_RESERVED_TAIL];  // zero
};
#pragma pack(pop)

static_assert(sizeof(MarkerRecord) == 170, "marker records are 170 bytes");
static_assert(offsetof(MarkerRecord, name) == 0);
static_assert(offsetof(MarkerRecord, fileSize) == 25);
static_assert(offsetof(MarkerRecord, position) == 29);
static_assert(offsetof(MarkerRecord, patternLength) == 31);
static_assert(offsetof(MarkerRecord, region) == 33);
static_assert(offsetof(MarkerRecord, pattern) == 35);
static_assert(offsetof(MarkerRecord, matchKind) == 135);
static_assert(offsetof(MarkerRecord, reserved1) == 137);
static_assert(offsetof(MarkerRecord, sizeMode) == 139);
static_assert(offsetof(MarkerRecord, reserved2) == 141);
static_assert(offsetof(MarkerRecord, reserved3) == 143);

// The marker records; their patterns are unscrambled in place on first use.
extern MarkerRecord markerTable[MARKER_COUNT];

// What the marker scanner keeps between calls.
struct MarkerScanState {
  bool unscrambled = false;                     // markerTable holds the plain patterns
  int32_t fd = -1;                              // the file under examination, -1 between calls
  char matchedName[MARKER_NAME_SIZE + 1] = {};  // the record that matched last
};
extern MarkerScanState markerScan;
// Puts the scanner back as at program start: the stored patterns, no file, no
// name, and its work buffers cleared.
void ResetMarkerScanState();

// Unscrambles markerTable once, as the scanner does on its first call.
void EnsureMarkersUnscrambled();

// Examines one file and, when it matches a record, disposes of it by the scan's
// disposal choice and reports the outcome. The detection name argument is not
// used: lines carry the matched record's name. 1 when the file matched, else 0.
int CheckMarkerFile(const char* detectionName, const char* path);

// 1 when the file's first five bytes are "begin" in any letter case.
int BeginsWithMarker(int fd);

// Reads the file's head and tail windows and tests every record. On a match
// counts the infection, sets matchedMarkerName and returns 1; else 0.
int MatchMarkerTable(int fd);

// Copies the bytes of source[0, count) that are not whitespace (blank, tab, line
// feed, vertical tab, form feed, carriage return) to destination, in order.
// Returns how many it copied; destination must hold count bytes.
std::size_t StripWhitespace(const unsigned char* source, unsigned char* destination, std::size_t count);

// 1 when the length bytes of pattern occur in buffer at a position within its
// first window bytes. buffer is a work buffer of MARKER_WORK_SIZE bytes, and a
// match must lie wholly inside it.
int FindPattern(const unsigned char* buffer, std::size_t window, const unsigned char* pattern, std::size_t length);

// Turns the stored patterns of markerTable into their plain bytes, in place.
// Applying it twice gives the stored bytes back.
void UnscrambleMarkers();
