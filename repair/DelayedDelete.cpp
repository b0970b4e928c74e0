#include "repair/DelayedDelete.h"

#include <io.h>
#include <string.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "common/Text.h"
#include "process/OsProbe.h"
#include "repair/FileSecurity.h"
#include "repair/Quarantine.h"
#include "repair/WininitText.h"

namespace {

// The key of a [rename] entry that deletes the file named by its value.
constexpr char DELETE_KEY[] = "NUL";

constexpr std::size_t WINDOWS_FOLDER_SIZE = 350;
constexpr char WININIT_NAME[] = "\\wininit.ini";
constexpr char WININIT_COPY_NAME[] = "wininit.ini";  // the temporary folder ends in "\"
// The new content is written beside wininit.ini and takes its place only when
// complete, so that a failed rewrite never leaves the file cut off.
constexpr char WININIT_NEW_NAME[] = "\\wininit.new";
constexpr std::size_t WININIT_PATH_SIZE = WINDOWS_FOLDER_SIZE + sizeof WININIT_NAME;

struct WininitPaths {
  char file[WININIT_PATH_SIZE];
  char fresh[WININIT_PATH_SIZE];
  char copy[MAX_PATH];
};

bool BuildWininitPaths(WininitPaths& paths) {
  char folder[WINDOWS_FOLDER_SIZE];
  const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return false;
  return CopyText(paths.file, sizeof paths.file, folder) && AppendText(paths.file, sizeof paths.file, WININIT_NAME) &&
         CopyText(paths.fresh, sizeof paths.fresh, folder) &&
         AppendText(paths.fresh, sizeof paths.fresh, WININIT_NEW_NAME);
}

// The temporary copy's path: the temporary folder, which ends in "\".
bool BuildCopyPath(WininitPaths& paths) {
  const DWORD length = GetTempPathA(sizeof paths.copy, paths.copy);
  if (length == 0 || length >= sizeof paths.copy) return false;
  return AppendText(paths.copy, sizeof paths.copy, WININIT_COPY_NAME);
}

// Writes the new content beside wininit.ini; false (and nothing left behind)
// unless every byte was written.
bool WriteFreshContent(const WininitPaths& paths, std::FILE* old, const char* key, const char* value) {
  std::FILE* out = std::fopen(paths.fresh, "wb");
  if (!out) return false;
  const bool written = WriteWininitContent(old, out, key, value);
  const bool closed = std::fclose(out) == 0;
  if (written && closed) return true;
  DeleteFileA(paths.fresh);
  return false;
}

// Puts the new content in place of the old. The 9x family has no MoveFileEx:
// there the old file is deleted first, and put back from the copy should the
// move then fail.
bool ReplaceWininit(const WininitPaths& paths, bool existed) {
  bool replaced = existed ? MoveFileExA(paths.fresh, paths.file, MOVEFILE_REPLACE_EXISTING) != FALSE
                          : MoveFileA(paths.fresh, paths.file) != FALSE;
  if (!replaced && existed && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && DeleteFileA(paths.file)) {
    replaced = MoveFileA(paths.fresh, paths.file) != FALSE;
    if (!replaced) CopyFileA(paths.copy, paths.file, TRUE);
  }
  if (!replaced) DeleteFileA(paths.fresh);
  return replaced;
}

// An existing wininit.ini is rewritten only when it is not read-only and can
// be opened for writing: the replacement would otherwise put a new, writable
// file in place of one the user or another program keeps from being written.
// The attribute is tested itself, since a process with backup rights (or Wine
// run by root) opens a read-only file for writing all the same.
bool WininitWritable(const char* file, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) return false;
  const HANDLE handle = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

int ScheduleInWininit(const char* path) {
  char shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
  // Without its short form the file cannot be named to the 9x start-up.
  if (length == 0 || length >= sizeof shortPath) return 0;
  return AddWininitRename(DELETE_KEY, shortPath) ? 1 : 0;
}

}  // namespace

int ScheduleDeleteOnRestart(const char* path) {
  switch (GetOsFamily()) {
    case OS_FAMILY_9X:
      return ScheduleInWininit(path);
    case OS_FAMILY_NT:
      // The platform's answer: a refused request schedules nothing.
      return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
    default:
      return 0;
  }
}

int ScheduleHeldFileDeletion(HANDLE file, const FileIdentity& identity, const char* path) {
  char moved[MAX_PATH];
  if (!MoveIntoQuarantine(file, identity, path, moved, sizeof moved)) return 0;
  if (!MoveFileExA(moved, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    RenameByHandle(file, path, false);  // nothing stays in the quarantine without its entry
    return 0;
  }
  // The folder goes too, once the restart has emptied it: a later entry of the
  // same folder goes first only when nothing else waits in it.
  char* nameStart = std::strrchr(moved, '\\');
  if (nameStart) {
    *nameStart = '\0';
    MoveFileExA(moved, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  return 1;
}

int ScheduleDeletionByPath(const char* path) {
  return PathCannotBeRedirected(path) && MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}

bool AddWininitRename(const char* key, const char* value) {
  WininitPaths paths;
  if (!BuildWininitPaths(paths)) return false;
  if (_access(paths.file, 0) != 0) {
    return WriteFreshContent(paths, nullptr, key, value) && ReplaceWininit(paths, false);
  }
  const DWORD attributes = GetFileAttributesA(paths.file);
  if (attributes == INVALID_FILE_ATTRIBUTES || !WininitWritable(paths.file, attributes)) return false;
  if (!BuildCopyPath(paths) || !CopyFileA(paths.file, paths.copy, FALSE)) return false;
  std::FILE* old = std::fopen(paths.copy, "rb");
  if (!old) return false;
  const bool written = WriteFreshContent(paths, old, key, value);
  std::fclose(old);
  if (!written || !ReplaceWininit(paths, true)) return false;
  // The new file takes the old one's attributes (hidden or system, say).
  SetFileAttributesA(paths.file, attributes);
  return true;
}
