#pragma once
#include <cstddef>
#include <cstdint>

// How a record's fileSize is tested against the examined file's length L.
inline constexpr int32_t SIZE_EXACT = 1;  // L == fileSize
inline constexpr int32_t SIZE_NEAR = 2;   // -SIZE_WINDOW < fileSize - L < SIZE_WINDOW
inline constexpr int32_t SIZE_ANY = 3;    // no size test
inline constexpr int32_t SIZE_WINDOW = 4096;

inline constexpr std::size_t SIGNATURE_LENGTH = 20;  // bytes compared per window
inline constexpr std::size_t VARIANT_NAME_SIZE = 50;
inline constexpr int VARIANT_COUNT = 60;

// One variant of the trojan: its name, its exact file size and two 20-byte
// windows at fixed distances (RVA differences) from the PE entry point.
// The layout is part of the detection data: 108 bytes, no padding.
#pragma pack(push, 1)
struct VariantRecord {
  char name[VARIANT_NAME_SIZE];                    // NUL-terminated, rest zero
  int32_t offset1;                                 // first window - entry point
  unsigned char signature1[SIGNATURE_LENGTH + 1];  // 20 bytes and a zero
  int32_t offset2;                                 // second window - entry point
  unsigned char signature2[SIGNATURE_LENGTH + 1];
  uint32_t fileSize;
  int32_t sizeMode;  // SIZE_*; other values never match
};
#pragma pack(pop)

static_assert(sizeof(VariantRecord) == 108, "variant records are 108 bytes");
static_assert(offsetof(VariantRecord, name) == 0);
static_assert(offsetof(VariantRecord, offset1) == 50);
static_assert(offsetof(VariantRecord, signature1) == 54);
static_assert(offsetof(VariantRecord, offset2) == 75);
static_assert(offsetof(VariantRecord, signature2) == 79);
static_assert(offsetof(VariantRecord, fileSize) == 100);
static_assert(offsetof(VariantRecord, sizeMode) == 104);

// The 60 variants in testing order, then an all-zero end record.
extern const VariantRecord variantTable[VARIANT_COUNT + 1];

// True at the end record (first name character 0).
inline bool IsEndRecord(const VariantRecord& record) { return record.name[0] == '\0'; }

// The size test of a record's sizeMode against a file length.
bool VariantSizeMatches(const VariantRecord& record, int32_t fileLength);

// The file lengths that can pass the size test of some record of a table, so
// that only files of such a length need to be opened: the table's exact sizes
// (sorted), its SIZE_NEAR records, and whether a SIZE_ANY record lets every
// length pass. A table with more testable records than the filter holds lets
// every length pass too.
inline constexpr int SIZE_FILTER_CAPACITY = 128;
struct SizeFilter {
  bool anyLength = false;
  int exactCount = 0;
  uint32_t exactSizes[SIZE_FILTER_CAPACITY] = {};
  int nearCount = 0;
  const VariantRecord* nearRecords[SIZE_FILTER_CAPACITY] = {};
};

// Builds the filter of a table (read up to its end record).
void BuildSizeFilter(const VariantRecord* table, SizeFilter& filter);

// True when a file of this length (all 64 bits of it) can pass some record's
// size test. A length that does not fit the detection step's signed 32-bit
// length never passes: such a file is never examined.
bool SizeFilterPasses(const SizeFilter& filter, uint64_t length);

// A per-file handler of the folder walk: (detection name, full path) -> non-zero
// when it has dealt with the file.
using FileHandler = int32_t (*)(const char* detectionName, const char* path);

struct HandlerEntry {
  const char* detectionName;
  FileHandler handler;
};

// The handlers the walk calls for every file, ended by a null entry.
extern const HandlerEntry handlerTable[2];

// True when both signature windows of record match the open file: the entry
// point plus each offset (32-bit wrap-around) is turned into a file offset by
// the PE locator, and the 20 bytes there are compared. The file's PE headers
// must have been read; fileLength is its length for the size test.
bool RecordMatches(const VariantRecord& record, int fd, int32_t fileLength, uint32_t entryPoint);
