#include "repair/RegistryOps.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/ProgramTexts.h"
#include "common/RegistryRead.h"
#include "common/Text.h"
#include "engine/ScanState.h"
#include "repair/StartupMatch.h"

namespace {

// Rights to delete a value (the key's all-access mask).
constexpr REGSAM DELETE_VALUE_ACCESS = KEY_ALL_ACCESS;
// Service key paths are built in a buffer of this size.
constexpr std::size_t SERVICE_KEY_PATH_SIZE = 512;
const char* const CONTROL_SETS[] = {"SYSTEM\\ControlSet001\\Services\\", "SYSTEM\\ControlSet002\\Services\\"};
// Subkeys of a service key deleted before the key itself.
const char* const SERVICE_SUBKEYS[] = {"\\Enum", "\\Security", ""};

// Longest value name the enumeration hands back (the registry's own limit).
constexpr DWORD VALUE_NAME_LIMIT = 16383;

}  // namespace

int ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* data, DWORD dataSize, REGSAM view) {
  return ReadRegistryText(root, keyPath, valueName, data, dataSize, view) == RegistryRead::Read ? 1 : 0;
}

int DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, DELETE_VALUE_ACCESS | view, &key) != ERROR_SUCCESS) return 0;
  const bool deleted = RegDeleteValueA(key, valueName) == ERROR_SUCCESS;
  const bool closed = RegCloseKey(key) == ERROR_SUCCESS;
  return deleted && closed ? 1 : 0;
}

namespace {

struct AutorunKey {
  HKEY root;
  const char* keyPath;
  REGSAM view;
};

// Removes a value whose bare data names the file, which lies in a system folder.
bool RemoveBareName(const AutorunKey& key, const char* name) {
  if (!DeleteRegistryValue(key.root, key.keyPath, name, key.view)) return false;
  RememberValueName(name);
  ReportRegistryRemoval(BASE_DETECTION_NAME);
  return true;
}

// The name is remembered even when the deletion fails, so that later
// detections try again.
bool RemovePathValue(const AutorunKey& key, const char* name) {
  RememberValueName(name);
  if (!DeleteRegistryValue(key.root, key.keyPath, name, key.view)) return false;
  ReportRegistryRemoval(BASE_DETECTION_NAME);
  return true;
}

// Examines one value; true when it started the infected file and was removed.
bool RemoveIfStartsInfected(const AutorunKey& key, const char* name) {
  char data[REGISTRY_DATA_SIZE];
  if (!ReadRegistryValue(key.root, key.keyPath, name, data, sizeof data, key.view)) return false;
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

void ScanAutorunKey(HKEY root, const char* keyPath, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  DWORD valueCount = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    valueCount = 0;
  if (FileNamePart(scanState.infectedPath)) {
    const AutorunKey autorun{root, keyPath, view};
    char name[VALUE_NAME_LIMIT + 1];
    DWORD removed = 0;
    // Each removal slides the later values down by one index.
    for (DWORD i = 0; i < valueCount; ++i) {
      DWORD nameLength = VALUE_NAME_LIMIT;
      if (RegEnumValueA(key, i - removed, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        continue;
      if (RemoveIfStartsInfected(autorun, name)) ++removed;
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
      // A name too long for the path buffer names no key that could be deleted.
      if (!FormatText(path, sizeof path, "%s%s%s", controlSet, serviceName, subkey)) continue;
      if (DeleteMachineKey(path)) anyDeleted = 1;
    }
  }
  return anyDeleted;
}

int DeleteMachineKey(const char* keyPath) {
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath) == ERROR_SUCCESS ? 1 : 0;
}
