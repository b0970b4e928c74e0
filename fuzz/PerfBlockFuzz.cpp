// Fuzz target: any bytes as the performance data block of HKEY_PERFORMANCE_DATA,
// through the parser that fills the process table.
#include <cstdlib>
#include <cstring>

#include "process/PerfData.h"

namespace {

// The title index of the "ID Process" counter among the English counter names.
constexpr DWORD ID_PROCESS_INDEX = 784;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // A copy of exactly size bytes, so that any read past the block is caught.
  unsigned char* block = static_cast<unsigned char*>(std::malloc(size ? size : 1));
  if (!block) return 0;
  if (size) std::memcpy(block, data, size);
  PerfProcessSlot slots[PERF_SLOT_COUNT] = {};
  const int filled = ParsePerfProcessBlock(block, size, ID_PROCESS_INDEX, slots);
  std::free(block);
  if (filled < 0 || filled > PERF_SLOTS_FILLED_MAX) std::abort();
  for (int i = 0; i < PERF_SLOT_COUNT; ++i) {
    const PerfProcessSlot& slot = slots[i];
    if (strnlen(slot.name, sizeof slot.name) > PERF_SLOT_NAME_LENGTH) std::abort();
    // Filled slots never hold id 0; the rest stay zero.
    if ((i < filled) != (slot.processId != 0)) std::abort();
  }
  return 0;
}
