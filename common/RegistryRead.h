#pragma once
#include <windows.h>

// How reading a registry value as text ended.
enum class RegistryRead {
  Absent,    // no such key or value, nothing to read into, or the key did not close
  Read,      // data holds the value, cut to fit when longer
  TooLarge,  // the value exists but is larger than REGISTRY_LARGEST_READ: data is empty
};

// A value larger than this is never read.
inline constexpr DWORD REGISTRY_LARGEST_READ = 64 * 1024;

// Reads the data of valueName under root\keyPath into data (dataSize bytes,
// never more), zero-filled and always terminated whatever the value's type: a
// value of more than dataSize - 1 bytes keeps its first dataSize - 1 bytes.
// view: 0, or the view of 64-bit Windows' registry to open the key in
// (KEY_WOW64_64KEY, KEY_WOW64_32KEY; only there).
RegistryRead ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* data, DWORD dataSize,
                              REGSAM view = 0);
