#pragma once
#include <windows.h>

// Size of the value data buffers of the autorun scan.
inline constexpr DWORD REGISTRY_DATA_SIZE = 261;

// Reads a value's data into data (dataSize bytes, never more), always
// terminated; a longer value is read in part. 1 when read.
int ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* data, DWORD dataSize);
// Deletes one value. 1 when deleted and the key closed without error.
int DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName);
// Removes the values of a startup key that start the infected file
// (scanState.infectedPath, which it lower-cases in place), remembers the last
// removed name in removedValueName and reports each removal.
void ScanAutorunKey(HKEY root, const char* keyPath);
// Reports "System Registry     <name> removed" when a window listens.
void ReportRegistryRemoval(const char* detectionName);
// Deletes a service's keys in ControlSet001 and ControlSet002. 1 when any went.
int DeleteServiceKeys(const char* serviceName);
// Deletes one key under HKEY_LOCAL_MACHINE. 1 when deleted.
int DeleteMachineKey(const char* keyPath);
