#pragma once
#include <windows.h>

#include <cstddef>

// The process table read from the system's performance data (the termination
// method of NT 4.0 and of NT 6 and later).

inline constexpr int PERF_SLOT_COUNT = 255;
inline constexpr int PERF_SLOTS_FILLED_MAX = 254;  // one slot always stays empty
inline constexpr std::size_t PERF_SLOT_NAME_LENGTH = 16;
// An instance with process id 0 is stored with this id, which no process has.
inline constexpr DWORD PERF_ZERO_ID_STORED = 0xFFFFFFFE;
// Name stored for an instance whose name cannot be converted.
inline constexpr char PERF_UNKNOWN_NAME[] = "unknown";

// One process of the performance data: its id and its instance name (the image
// name without extension). A name longer than PERF_SLOT_NAME_LENGTH is stored empty.
struct PerfProcessSlot {
  DWORD processId;
  char name[PERF_SLOT_NAME_LENGTH + 1];
};

// Title indexes found among the English counter names.
inline constexpr std::size_t PERF_INDEX_TEXT_SIZE = 16;
struct PerfCounterIndexes {
  char processObject[PERF_INDEX_TEXT_SIZE];  // decimal index of the "Process" object, "" when absent
  DWORD processIdCounter;                    // index of the "ID Process" counter, 0 when absent
};

// Reads "Counters" of the English Perflib key into indexes. False when the key
// or the value cannot be read.
bool ReadPerfCounterNames(PerfCounterIndexes& indexes);

// Parses the Counters value: zero-terminated strings, alternately an index in
// decimal and a name, ended by an empty string. Only size bytes are read; a
// later match replaces an earlier one.
void ParsePerfCounterNames(const char* names, std::size_t size, PerfCounterIndexes& indexes);

// A zero-filled byte buffer owned by one operation.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  // Replaces the buffer by size zero bytes; false when out of memory (then empty).
  bool Allocate(std::size_t size);
  unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t used = 0;  // bytes of it that hold data

 private:
  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

// Queries HKEY_PERFORMANCE_DATA for valueName, starting with initialSize bytes
// and growing the buffer while the answer is ERROR_MORE_DATA. False on any
// other error, on an empty answer, or when the data would exceed PERF_DATA_SIZE_LIMIT.
inline constexpr DWORD PERF_DATA_INITIAL_SIZE = 51200;
inline constexpr DWORD PERF_DATA_GROWTH = 25600;
inline constexpr DWORD PERF_DATA_SIZE_LIMIT = 32 * 1024 * 1024;
bool QueryPerformanceData(const char* valueName, DWORD initialSize, ByteBuffer& buffer);

// Fills slots (zeroed by the caller) from a performance data block of size
// bytes: the instances of its first object, at most PERF_SLOTS_FILLED_MAX, each
// with the value of the counter whose title index is idCounterIndex as its id.
// Returns the number of slots filled: 0 for a block without the "PERF"
// signature, without objects, or without that counter. Nothing outside the
// size bytes is read, whatever the block's own lengths and offsets say.
int ParsePerfProcessBlock(const unsigned char* block, std::size_t size, DWORD idCounterIndex,
                          PerfProcessSlot (&slots)[PERF_SLOT_COUNT]);

// The name a process of the file at path has in the performance data: the path
// upper-cased, its last four characters (the extension) cut, the part after the
// last backslash. False for a path of four characters or fewer, or too long.
bool PerfTargetName(const char* path, char* target, std::size_t size);

// True when the slot's name is the (non-empty) target, ignoring case: a
// process named abcdef runs another file than ABC.EXE.
bool PerfSlotMatches(const PerfProcessSlot& slot, const char* target);
