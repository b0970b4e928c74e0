#include "repair/StartupRepair.h"

#include <windows.h>

#include "common/ProgramTexts.h"
#include "common/Text.h"
#include "engine/MarkerScanner.h"
#include "engine/ScanState.h"
#include "process/OsProbe.h"
#include "repair/RegistryOps.h"

namespace {

// The machine-wide startup keys, in the order they are handled.
const char* const STARTUP_KEYS[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
};

// Where the hosts file lives: below the system folder on the NT family, in the
// Windows folder on the 9x family.
constexpr char NT_HOSTS_FILE[] = "\\drivers\\etc\\hosts";
constexpr char HOSTS_FILE_9X[] = "\\hosts";

using FolderQuery = UINT(WINAPI*)(LPSTR, UINT);

// A platform folder followed by name; false when either cannot be had or the
// result would not fit.
bool FolderFile(FolderQuery query, const char* name, char* path, std::size_t size) {
  const UINT length = query(path, static_cast<UINT>(size));
  if (length == 0 || length >= size) return false;
  return AppendText(path, size, name);
}

// The running Windows' hosts file; false on any other platform.
bool HostsPath(char* path, std::size_t size) {
  switch (GetOsFamily()) {
    case OS_FAMILY_NT:
      return FolderFile(GetSystemDirectoryA, NT_HOSTS_FILE, path, size);
    case OS_FAMILY_9X:
      return FolderFile(GetWindowsDirectoryA, HOSTS_FILE_9X, path, size);
    default:
      return false;
  }
}

void CheckHostsFile() {
  char path[MAX_PATH];
  if (HostsPath(path, sizeof path)) CheckMarkerFile(BASE_DETECTION_NAME, path);
}

// An earlier detection removed a startup value of this name: it goes again,
// from both keys, whatever it names by now.
void RemoveRememberedValue(const char* detectionName) {
  if (removedValueName[0] == '\0') return;
  for (const char* key : STARTUP_KEYS) {
    if (DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, removedValueName)) ReportRegistryRemoval(detectionName);
  }
}

}  // namespace

int RepairStartupEntries(const char* detectionName) {
  CheckHostsFile();
  RemoveRememberedValue(detectionName);
  if (scanState.infectedPath[0] != '\0') {
    for (const char* key : STARTUP_KEYS) ScanAutorunKey(HKEY_LOCAL_MACHINE, key);
  }
  return 1;
}
