// Fuzz target: the decision on one startup value. The input is the value's
// name, a zero byte, the infected file's path, a zero byte, then the value's
// data: any bytes of any length, as the registry hands back a value of any
// type (strings without a terminator, multi-strings, numbers, binary data).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/Text.h"
#include "engine/ScanState.h"
#include "repair/StartupMatch.h"

namespace {

// The next zero-terminated part of the input, or the rest when it has no zero.
std::string NextPart(const uint8_t*& at, const uint8_t* end) {
  const void* zero = std::memchr(at, 0, static_cast<std::size_t>(end - at));
  const uint8_t* partEnd = zero ? static_cast<const uint8_t*>(zero) : end;
  std::string part(reinterpret_cast<const char*>(at), static_cast<std::size_t>(partEnd - at));
  at = zero ? partEnd + 1 : end;
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const uint8_t* at = data;
  const uint8_t* end = data + size;
  const std::string name = NextPart(at, end);
  const std::string path = NextPart(at, end);
  // The value's data in a buffer of exactly its size.
  const std::size_t dataSize = static_cast<std::size_t>(end - at);
  char* bytes = new char[dataSize ? dataSize : 1];
  if (dataSize) std::memcpy(bytes, at, dataSize);

  // infectedPath as the detection step fills it: cut to fit, zero-filled.
  std::memset(scanState.infectedPath, 0, sizeof scanState.infectedPath);
  CopyText(scanState.infectedPath, sizeof scanState.infectedPath, path.c_str());
  const StartupVerdict verdict = JudgeStartupData(bytes, dataSize, scanState.infectedPath);
  delete[] bytes;
  if (verdict != StartupVerdict::Keep && verdict != StartupVerdict::RemoveBareName &&
      verdict != StartupVerdict::RemovePath)
    std::abort();
  if (verdict != StartupVerdict::Keep && !FileNamePart(scanState.infectedPath)) std::abort();
  if (scanState.infectedPath[sizeof scanState.infectedPath - 1] != '\0') std::abort();

  std::memset(removedValueName, 'x', sizeof removedValueName - 1);
  removedValueName[sizeof removedValueName - 1] = '\0';
  const std::string before = removedValueName;
  RememberValueName(name.c_str());
  const std::string after(removedValueName, strnlen(removedValueName, sizeof removedValueName));
  if (after.size() == sizeof removedValueName) std::abort();  // not terminated
  if (after != (name.size() < sizeof removedValueName ? name : before)) std::abort();
  return 0;
}
