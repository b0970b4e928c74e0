#include "process/PerfData.h"

#include <winperf.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/Text.h"

namespace {

// The key of the counter names in English (language 009).
constexpr char PERFLIB_KEY[] = "software\\microsoft\\windows nt\\currentversion\\perflib";
constexpr unsigned ENGLISH_LANGUAGE = 9;
constexpr std::size_t PERFLIB_PATH_SIZE = 128;
constexpr char COUNTERS_VALUE[] = "Counters";
constexpr char PROCESS_OBJECT_NAME[] = "process";
constexpr char PROCESS_ID_COUNTER_NAME[] = "id process";
// Bytes of the extension cut from a path to form its instance name (".EXE").
constexpr std::size_t EXTENSION_LENGTH = 4;
// Instance names are converted into a buffer of this many bytes.
constexpr std::size_t INSTANCE_NAME_BUFFER = MAX_PATH;

constexpr WCHAR PERF_SIGNATURE[4] = {L'P', L'E', L'R', L'F'};
static_assert(sizeof(PERF_COUNTER_DEFINITION) == 40, "counter definitions are stepped through at 40 bytes");

// Bounded reads of a block of bytes: every read says whether it lay inside.
class BlockReader {
 public:
  BlockReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  bool Contains(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
  bool Read32(uint64_t offset, DWORD& value) const {
    if (!Contains(offset, sizeof value)) return false;
    std::memcpy(&value, data_ + offset, sizeof value);
    return true;
  }
  bool ReadWide(uint64_t offset, WCHAR& value) const {
    if (!Contains(offset, sizeof value)) return false;
    std::memcpy(&value, data_ + offset, sizeof value);
    return true;
  }
  bool StartsWith(const void* bytes, std::size_t length) const {
    return Contains(0, length) && std::memcmp(data_, bytes, length) == 0;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

bool EqualsIgnoringCase(const char* text, std::size_t length, const char* word) {
  return length == std::strlen(word) && _strnicmp(text, word, length) == 0;
}

// The run of decimal digits that ends text (length characters): its start.
std::size_t TrailingDigitsStart(const char* text, std::size_t length) {
  std::size_t start = length;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
  return start;
}

// The digits as a number; 0 when there are none or they overflow 32 bits.
DWORD DigitsValue(const char* digits, std::size_t count) {
  uint64_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = value * 10 + static_cast<unsigned>(digits[i] - '0');
    if (value > UINT32_MAX) return 0;
  }
  return static_cast<DWORD>(value);
}

// The CounterOffset of the counter with the given title index, found among the
// object's counter definitions.
bool FindCounterOffset(const BlockReader& block, uint64_t object, DWORD titleIndex, DWORD& counterOffset) {
  DWORD headerLength, counters;
  if (titleIndex == 0 || !block.Read32(object + offsetof(PERF_OBJECT_TYPE, HeaderLength), headerLength) ||
      !block.Read32(object + offsetof(PERF_OBJECT_TYPE, NumCounters), counters))
    return false;
  for (uint64_t i = 0; i < counters; ++i) {
    const uint64_t definition = object + headerLength + i * sizeof(PERF_COUNTER_DEFINITION);
    DWORD index;
    if (!block.Read32(definition + offsetof(PERF_COUNTER_DEFINITION, CounterNameTitleIndex), index)) return false;
    if (index == titleIndex)
      return block.Read32(definition + offsetof(PERF_COUNTER_DEFINITION, CounterOffset), counterOffset);
  }
  return false;
}

// The instance name at offset, converted to the ANSI code page: stored when it
// has at most PERF_SLOT_NAME_LENGTH characters, empty when longer, "unknown"
// when it cannot be converted (no terminator within the block or the buffer).
void ReadInstanceName(const BlockReader& block, uint64_t offset, char (&name)[PERF_SLOT_NAME_LENGTH + 1]) {
  WCHAR wide[INSTANCE_NAME_BUFFER];
  bool terminated = false;
  for (std::size_t i = 0; i < INSTANCE_NAME_BUFFER && block.ReadWide(offset + i * sizeof(WCHAR), wide[i]); ++i) {
    if (wide[i] == L'\0') {
      terminated = true;
      break;
    }
  }
  char narrow[INSTANCE_NAME_BUFFER];
  if (!terminated ||
      WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr) == 0) {
    CopyText(name, sizeof name, PERF_UNKNOWN_NAME);
    return;
  }
  if (std::strlen(narrow) <= PERF_SLOT_NAME_LENGTH) CopyText(name, sizeof name, narrow);
  else name[0] = '\0';
}

// Reads the instance at instance into slot; next is where the following one
// starts. False when the instance does not lie inside the block.
bool ReadInstance(const BlockReader& block, uint64_t instance, DWORD counterOffset, PerfProcessSlot& slot,
                  uint64_t& next) {
  DWORD byteLength, nameOffset, processId, blockLength;
  if (!block.Read32(instance + offsetof(PERF_INSTANCE_DEFINITION, ByteLength), byteLength) ||
      !block.Read32(instance + offsetof(PERF_INSTANCE_DEFINITION, NameOffset), nameOffset))
    return false;
  const uint64_t counterBlock = instance + byteLength;
  if (!block.Read32(counterBlock + counterOffset, processId) ||
      !block.Read32(counterBlock + offsetof(PERF_COUNTER_BLOCK, ByteLength), blockLength))
    return false;
  slot = {};
  ReadInstanceName(block, instance + nameOffset, slot.name);
  slot.processId = processId == 0 ? PERF_ZERO_ID_STORED : processId;
  next = counterBlock + blockLength;
  return true;
}

}  // namespace

ByteBuffer::~ByteBuffer() { std::free(data_); }

bool ByteBuffer::Allocate(std::size_t size) {
  std::free(data_);
  data_ = static_cast<unsigned char*>(std::calloc(size ? size : 1, 1));
  size_ = data_ ? size : 0;
  used = 0;
  return data_ != nullptr;
}

void ParsePerfCounterNames(const char* names, std::size_t size, PerfCounterIndexes& indexes) {
  indexes = {};
  const char* previous = "";
  std::size_t previousLength = 0;
  for (std::size_t at = 0; at < size;) {
    const char* text = names + at;
    const std::size_t length = strnlen(text, size - at);
    if (length == 0) break;  // the empty string ends the list
    const std::size_t digits = TrailingDigitsStart(previous, previousLength);
    const std::size_t digitCount = previousLength - digits;
    if (EqualsIgnoringCase(text, length, PROCESS_OBJECT_NAME) && digitCount < sizeof indexes.processObject) {
      std::memcpy(indexes.processObject, previous + digits, digitCount);
      indexes.processObject[digitCount] = '\0';
    } else if (EqualsIgnoringCase(text, length, PROCESS_ID_COUNTER_NAME)) {
      indexes.processIdCounter = DigitsValue(previous + digits, digitCount);
    }
    previous = text;
    previousLength = length;
    at += length + 1;
  }
}

bool ReadPerfCounterNames(PerfCounterIndexes& indexes) {
  indexes = {};
  char keyPath[PERFLIB_PATH_SIZE];
  std::snprintf(keyPath, sizeof keyPath, "%s\\%03x", PERFLIB_KEY, ENGLISH_LANGUAGE);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  ByteBuffer names;
  bool read = RegQueryValueExA(key, COUNTERS_VALUE, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
              size <= PERF_DATA_SIZE_LIMIT && names.Allocate(size);
  DWORD got = size;
  read = read && RegQueryValueExA(key, COUNTERS_VALUE, nullptr, nullptr, names.data(), &got) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!read) return false;
  ParsePerfCounterNames(reinterpret_cast<const char*>(names.data()), got < size ? got : size, indexes);
  return true;
}

bool QueryPerformanceData(const char* valueName, DWORD initialSize, ByteBuffer& buffer) {
  DWORD size = initialSize;
  LONG result = ERROR_MORE_DATA;
  DWORD got = 0;
  while (result == ERROR_MORE_DATA) {
    if (size > PERF_DATA_SIZE_LIMIT || !buffer.Allocate(size)) break;
    got = size;
    result = RegQueryValueExA(HKEY_PERFORMANCE_DATA, valueName, nullptr, nullptr, buffer.data(), &got);
    // The count the query leaves need not be the size needed: never grow by less
    // than one step, so that the loop always ends.
    if (result == ERROR_MORE_DATA) size = (got > size ? got : size) + PERF_DATA_GROWTH;
  }
  RegCloseKey(HKEY_PERFORMANCE_DATA);
  if (result != ERROR_SUCCESS || got == 0) return false;
  buffer.used = got < buffer.size() ? got : buffer.size();
  return true;
}

int ParsePerfProcessBlock(const unsigned char* block, std::size_t size, DWORD idCounterIndex,
                          PerfProcessSlot (&slots)[PERF_SLOT_COUNT]) {
  const BlockReader reader(block, size);
  DWORD headerLength, objectTypes;
  if (!reader.StartsWith(PERF_SIGNATURE, sizeof PERF_SIGNATURE) ||
      !reader.Read32(offsetof(PERF_DATA_BLOCK, HeaderLength), headerLength) ||
      !reader.Read32(offsetof(PERF_DATA_BLOCK, NumObjectTypes), objectTypes) || objectTypes == 0)
    return 0;
  const uint64_t object = headerLength;
  DWORD counterOffset, instances, definitionLength;
  if (!FindCounterOffset(reader, object, idCounterIndex, counterOffset) ||
      !reader.Read32(object + offsetof(PERF_OBJECT_TYPE, NumInstances), instances) ||
      !reader.Read32(object + offsetof(PERF_OBJECT_TYPE, DefinitionLength), definitionLength))
    return 0;
  // Compared unsigned: PERF_NO_INSTANCES (-1) reads as the most there can be.
  const DWORD count = instances < PERF_SLOTS_FILLED_MAX ? instances : PERF_SLOTS_FILLED_MAX;
  uint64_t instance = object + definitionLength;
  int filled = 0;
  while (static_cast<DWORD>(filled) < count &&
         ReadInstance(reader, instance, counterOffset, slots[filled], instance))
    ++filled;
  return filled;
}

bool PerfTargetName(const char* path, char* target, std::size_t size) {
  char upper[MAX_PATH];
  if (!CopyText(upper, sizeof upper, path)) return false;
  const std::size_t length = std::strlen(upper);
  if (length <= EXTENSION_LENGTH) return false;
  CharUpperA(upper);
  upper[length - EXTENSION_LENGTH] = '\0';
  const char* backslash = std::strrchr(upper, '\\');
  return CopyText(target, size, backslash ? backslash + 1 : upper);
}

bool PerfSlotMatches(const PerfProcessSlot& slot, const char* target) {
  const std::size_t length = std::strlen(target);
  return length > 0 && _strnicmp(slot.name, target, length) == 0;
}
