// The parser of the performance data block: the C runtime and one code page
// conversion only, so that the host fuzz build compiles it as it is.
#include "process/PerfData.h"

#include <winperf.h>

#include <cstdint>
#include <cstring>

#include "common/Text.h"

namespace {

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
  if (!terminated || WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr) == 0) {
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
  while (static_cast<DWORD>(filled) < count && ReadInstance(reader, instance, counterOffset, slots[filled], instance))
    ++filled;
  return filled;
}
