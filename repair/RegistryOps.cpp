#include "repair/RegistryOps.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/ProgramTitle.h"
#include "engine/ScanState.h"
#include "repair/StartupMatch.h"

namespace {

// Rights to delete a value (the key's all-access mask).
constexpr REGSAM DELETE_VALUE_ACCESS = KEY_ALL_ACCESS;
// Service key paths are built in a buffer of this size.
constexpr std::size_t SERVICE_KEY_PATH_SIZE = 512;
// A value larger than this is not read at all.
constexpr DWORD LARGEST_VALUE_READ = 64 * 1024;

const char* const CONTROL_SETS[] = {"SYSTEM\\ControlSet001\\Services\\", "SYSTEM\\ControlSet002\\Services\\"};
// Subkeys of a service key deleted before the key itself.
const char* const SERVICE_SUBKEYS[] = {"\\Enum", "\\Security", ""};

// Longest value name the enumeration hands back (the registry's own limit).
constexpr DWORD VALUE_NAME_LIMIT = 16383;

// Reads a value whose data is larger than the caller's buffer: the first
// dataSize - 1 bytes are kept.
bool ReadValueInPart(HKEY key, const char* valueName, DWORD size, char* data, DWORD dataSize) {
  if (size > LARGEST_VALUE_READ) return false;
  std::vector<char> whole(size);
  DWORD got = size;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(whole.data()), &got) !=
      ERROR_SUCCESS)
    return false;
  const DWORD kept = got < dataSize - 1 ? got : dataSize - 1;
  std::copy(whole.begin(), whole.begin() + kept, data);
  return true;
}

}  // namespace

// The data is always terminated, whatever its type; a value longer than the
// buffer is read in part.
int ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* data, DWORD dataSize) {
  if (dataSize == 0) return 0;
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD size = 0;
  bool read = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
  if (read) {
    std::fill(data, data + dataSize, '\0');
    DWORD got = dataSize - 1;
    read = size <= got ? RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                          &got) == ERROR_SUCCESS
                       : ReadValueInPart(key, valueName, size, data, dataSize);
  }
  const bool closed = RegCloseKey(key) == ERROR_SUCCESS;
  return read && closed ? 1 : 0;
}

int DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, DELETE_VALUE_ACCESS, &key) != ERROR_SUCCESS) return 0;
  const bool deleted = RegDeleteValueA(key, valueName) == ERROR_SUCCESS;
  const bool closed = RegCloseKey(key) == ERROR_SUCCESS;
  return deleted && closed ? 1 : 0;
}

namespace {

struct AutorunKey {
  HKEY root;
  const char* keyPath;
};

// Removes a value whose bare data names the file, which lies in a system folder.
bool RemoveBareName(const AutorunKey& key, const char* name) {
  if (!DeleteRegistryValue(key.root, key.keyPath, name)) return false;
  RememberValueName(name);
  ReportRegistryRemoval(BASE_DETECTION_NAME);
  return true;
}

// The name is remembered even when the deletion fails, so that later
// detections try again.
bool RemovePathValue(const AutorunKey& key, const char* name) {
  RememberValueName(name);
  if (!DeleteRegistryValue(key.root, key.keyPath, name)) return false;
  ReportRegistryRemoval(BASE_DETECTION_NAME);
  return true;
}

// Examines one value; true when it started the infected file and was removed.
bool RemoveIfStartsInfected(const AutorunKey& key, const char* name) {
  char data[REGISTRY_DATA_SIZE];
  if (!ReadRegistryValue(key.root, key.keyPath, name, data, sizeof data)) return false;
  switch (JudgeStartupData(data, sizeof data, scanState.infectedPath)) {
    case StartupVerdict::RemoveBareName:
      return RemoveBareName(key, name);
    case StartupVerdict::RemovePath:
      return RemovePathValue(key, name);
    case StartupVerdict::Keep:
      break;
  }
  return false;
}

}  // namespace

void ReportRegistryRemoval(const char* detectionName) {
  if (scanState.notifyWindow) SendReportLine("System Registry     %s removed", detectionName);
}

void ScanAutorunKey(HKEY root, const char* keyPath) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD valueCount = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    valueCount = 0;
  if (FileNamePart(scanState.infectedPath)) {
    const AutorunKey autorun{root, keyPath};
    std::vector<char> name(VALUE_NAME_LIMIT + 1);
    DWORD removed = 0;
    // Each removal slides the later values down by one index.
    for (DWORD i = 0; i < valueCount; ++i) {
      DWORD nameLength = VALUE_NAME_LIMIT;
      if (RegEnumValueA(key, i - removed, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        continue;
      if (RemoveIfStartsInfected(autorun, name.data())) ++removed;
    }
  }
  RegCloseKey(key);
}

int DeleteServiceKeys(const char* serviceName) {
  // An empty name would address the Services key itself.
  if (serviceName[0] == '\0') return 0;
  int anyDeleted = 0;
  for (const char* controlSet : CONTROL_SETS) {
    for (const char* subkey : SERVICE_SUBKEYS) {
      char path[SERVICE_KEY_PATH_SIZE];
      const int length = std::snprintf(path, sizeof path, "%s%s%s", controlSet, serviceName, subkey);
      // A name too long for the path buffer names no key that could be deleted.
      if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) continue;
      if (DeleteMachineKey(path)) anyDeleted = 1;
    }
  }
  return anyDeleted;
}

int DeleteMachineKey(const char* keyPath) {
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath) == ERROR_SUCCESS ? 1 : 0;
}
