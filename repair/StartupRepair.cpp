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

// The registry's views the startup keys are examined in: on 64-bit Windows
// the 64-bit one, then the 32-bit one (where 32-bit programs write, under
// Wow6432Node), whichever file runs; elsewhere the one there is. The number
// of views.
constexpr int MOST_VIEWS = 2;
int RegistryViews(REGSAM (&views)[MOST_VIEWS]) {
  if (!SystemIs64Bit()) {
    views[0] = 0;
    return 1;
  }
  views[0] = KEY_WOW64_64KEY;
  views[1] = KEY_WOW64_32KEY;
  return MOST_VIEWS;
}

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
void RemoveRememberedValue(const char* detectionName, REGSAM view) {
  if (removedValueName[0] == '\0') return;
  for (const char* key : STARTUP_KEYS) {
    if (DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, removedValueName, view)) ReportRegistryRemoval(detectionName);
  }
}

}  // namespace

int RepairStartupEntries(const char* detectionName) {
  CheckHostsFile();
  REGSAM views[MOST_VIEWS];
  const int viewCount = RegistryViews(views);
  for (int i = 0; i < viewCount; ++i) RemoveRememberedValue(detectionName, views[i]);
  if (scanState.infectedPath[0] != '\0') {
    for (int i = 0; i < viewCount; ++i)
      for (const char* key : STARTUP_KEYS) ScanAutorunKey(HKEY_LOCAL_MACHINE, key, views[i]);
  }
  return 1;
}
