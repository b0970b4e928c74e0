#include "repair/RegistryOps.h"

// The registry repairs arrive with their own change; until then nothing is
// read or removed.
int ReadRegistryValue(HKEY, const char*, const char*, char*, DWORD) { return 0; }
int DeleteRegistryValue(HKEY, const char*, const char*) { return 0; }
void ScanAutorunKey(HKEY, const char*) {}
int DeleteServiceKeys(const char*) { return 0; }
int DeleteMachineKey(const char*) { return 0; }
