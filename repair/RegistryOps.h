#pragma once
#include <windows.h>

// Size of the value data buffers of the autorun scan.
inline constexpr DWORD REGISTRY_DATA_SIZE = 261;

// Each takes the view of 64-bit Windows' registry to open its key in
// (KEY_WOW64_64KEY or KEY_WOW64_32KEY), or 0 for the program's own; the views
// are passed only on 64-bit Windows: Windows 2000 does not know them.

// Reads a value's data into data (dataSize bytes, never more), always
// terminated; a longer value is read in part. 1 when read.
int ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* data, DWORD dataSize,
                      REGSAM view = 0);
// Deletes one value. 1 when deleted and the key closed without error.
int DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view = 0);
// Removes the values of a startup key that start the infected file
// (scanState.infectedPath, which it lower-cases in place), remembers the last
// removed name in removedValueName and reports each removal.
void ScanAutorunKey(HKEY root, const char* keyPath, REGSAM view = 0);
// Reports "System Registry     <name> removed" when a window listens.
void ReportRegistryRemoval(const char* detectionName);
// Deletes a service's keys in ControlSet001 and ControlSet002. 1 when any went.
int DeleteServiceKeys(const char* serviceName);
// Deletes one key under HKEY_LOCAL_MACHINE. 1 when deleted.
int DeleteMachineKey(const char* keyPath);
