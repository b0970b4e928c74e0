#include "common/RegistryRead.h"

#include <cstdlib>
#include <cstring>

namespace {

// Reads a value whose data is larger than the caller's buffer: the first
// dataSize - 1 bytes are kept.
RegistryRead ReadInPart(HKEY key, const char* valueName, DWORD size, char* data, DWORD dataSize) {
  if (size > REGISTRY_LARGEST_READ) return RegistryRead::TooLarge;
  auto* whole = static_cast<BYTE*>(std::malloc(size));
  if (!whole) return RegistryRead::Absent;
  DWORD got = size;
  const bool read = RegQueryValueExA(key, valueName, nullptr, nullptr, whole, &got) == ERROR_SUCCESS;
  if (read) {
    DWORD kept = got < size ? got : size;
    if (kept > dataSize - 1) kept = dataSize - 1;
    std::memcpy(data, whole, kept);
  }
  std::free(whole);
  return read ? RegistryRead::Read : RegistryRead::Absent;
}

RegistryRead ReadOpenKey(HKEY key, const char* valueName, char* data, DWORD dataSize) {
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return RegistryRead::Absent;
  std::memset(data, 0, dataSize);
  DWORD got = dataSize - 1;
  if (size > got) return ReadInPart(key, valueName, size, data, dataSize);
  return RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &got) == ERROR_SUCCESS
             ? RegistryRead::Read
             : RegistryRead::Absent;
}

}  // namespace

RegistryRead ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* data, DWORD dataSize,
                              REGSAM view) {
  if (dataSize == 0) return RegistryRead::Absent;
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return RegistryRead::Absent;
  const RegistryRead result = ReadOpenKey(key, valueName, data, dataSize);
  return RegCloseKey(key) == ERROR_SUCCESS ? result : RegistryRead::Absent;
}
