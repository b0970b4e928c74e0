#include "process/PerfData.h"

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
    const std::size_t length = BoundedLength(text, size - at);
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
  FormatText(keyPath, sizeof keyPath, "%s\\%03x", PERFLIB_KEY, ENGLISH_LANGUAGE);
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

bool PerfTargetName(const char* path, char* target, std::size_t size) {
  char upper[MAX_PATH];
  if (!CopyText(upper, sizeof upper, path)) return false;
  const std::size_t length = std::strlen(upper);
  if (length <= EXTENSION_LENGTH) return false;
  CharUpperA(upper);
  upper[length - EXTENSION_LENGTH] = '\0';
  return CopyText(target, size, PathTail(upper));
}

bool PerfSlotMatches(const PerfProcessSlot& slot, const char* target) {
  return target[0] != '\0' && _stricmp(slot.name, target) == 0;
}
