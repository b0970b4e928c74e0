#include "repair/DelayedDelete.h"

#include <io.h>
#include <string.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "common/Text.h"
#include "process/OsProbe.h"

namespace {

// The key of a [rename] entry that deletes the file named by its value.
constexpr char DELETE_KEY[] = "NUL";
constexpr char RENAME_SECTION[] = "[rename]";
constexpr std::size_t RENAME_SECTION_LENGTH = sizeof RENAME_SECTION - 1;
constexpr char SECTION_START = '[';
constexpr char LINE_END[] = "\r\n";

constexpr std::size_t WINDOWS_FOLDER_SIZE = 350;
constexpr char WININIT_NAME[] = "\\wininit.ini";
constexpr char WININIT_COPY_NAME[] = "wininit.ini";  // the temporary folder ends in "\"
// The new content is written beside wininit.ini and takes its place only when
// complete, so that a failed rewrite never leaves the file cut off.
constexpr char WININIT_NEW_NAME[] = "\\wininit.new";
constexpr std::size_t WININIT_PATH_SIZE = WINDOWS_FOLDER_SIZE + sizeof WININIT_NAME;
// The old file is read in pieces of at most LINE_PIECE_SIZE - 1 bytes.
constexpr std::size_t LINE_PIECE_SIZE = 648;

struct WininitPaths {
  char file[WININIT_PATH_SIZE];
  char fresh[WININIT_PATH_SIZE];
  char copy[MAX_PATH];
};

bool BuildWininitPaths(WininitPaths& paths) {
  char folder[WINDOWS_FOLDER_SIZE];
  const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return false;
  return CopyText(paths.file, sizeof paths.file, folder) &&
         AppendText(paths.file, sizeof paths.file, WININIT_NAME) &&
         CopyText(paths.fresh, sizeof paths.fresh, folder) &&
         AppendText(paths.fresh, sizeof paths.fresh, WININIT_NEW_NAME);
}

// The temporary copy's path: the temporary folder, which ends in "\".
bool BuildCopyPath(WininitPaths& paths) {
  const DWORD length = GetTempPathA(sizeof paths.copy, paths.copy);
  if (length == 0 || length >= sizeof paths.copy) return false;
  return AppendText(paths.copy, sizeof paths.copy, WININIT_COPY_NAME);
}

// The file being written: every write must put all of its bytes.
struct Output {
  std::FILE* file;
  bool ok = true;
  bool atLineStart = true;  // nothing written yet, or the last byte ended a line
};

void Put(Output& out, const char* bytes, std::size_t count) {
  if (!out.ok || count == 0) return;
  out.ok = std::fwrite(bytes, 1, count, out.file) == count;
  out.atLineStart = bytes[count - 1] == '\n';
}

void PutText(Output& out, const char* text) { Put(out, text, std::strlen(text)); }

// Ends a last line that has no line end of its own.
void EndOpenLine(Output& out) {
  if (!out.atLineStart) PutText(out, LINE_END);
}

void PutEntry(Output& out, const char* key, const char* value) {
  EndOpenLine(out);
  PutText(out, key);
  PutText(out, "=");
  PutText(out, value);
  PutText(out, LINE_END);
}

void PutSectionAndEntry(Output& out, const char* key, const char* value) {
  EndOpenLine(out);
  PutText(out, RENAME_SECTION);
  PutText(out, LINE_END);
  PutEntry(out, key, value);
}

// Reads the next piece of a line, its line feed included: at most
// LINE_PIECE_SIZE - 1 bytes. Returns its length, 0 at the end. Bytes are kept
// as they are, zero bytes too.
std::size_t ReadPiece(std::FILE* file, char* piece) {
  std::size_t length = 0;
  int c;
  while (length < LINE_PIECE_SIZE - 1 && (c = std::getc(file)) != EOF) {
    piece[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return length;
}

bool IsRenameHeader(const char* piece, std::size_t length) {
  return length >= RENAME_SECTION_LENGTH && _strnicmp(piece, RENAME_SECTION, RENAME_SECTION_LENGTH) == 0;
}

// Copies the old file and puts the entry at the end of its [rename] section,
// just before the next section header; a section header is a line that
// begins with "[". Only the start of a line can be a header: the later pieces
// of a long line are copied as they are.
bool WriteMerged(std::FILE* old, Output& out, const char* key, const char* value) {
  bool inRename = false;
  bool inserted = false;
  bool lineStart = true;
  char piece[LINE_PIECE_SIZE];
  std::size_t length;
  while ((length = ReadPiece(old, piece)) > 0) {
    if (lineStart && !inserted) {
      if (!inRename) {
        inRename = IsRenameHeader(piece, length);
      } else if (piece[0] == SECTION_START) {
        PutEntry(out, key, value);
        inserted = true;
      }
    }
    Put(out, piece, length);
    lineStart = piece[length - 1] == '\n';
  }
  // A read that failed part-way would cut the file short.
  if (std::ferror(old)) return false;
  if (!inserted) {
    if (inRename)
      PutEntry(out, key, value);
    else
      PutSectionAndEntry(out, key, value);
  }
  return out.ok;
}

// The old content with the entry, or for a new file the section and the entry.
bool WriteContent(std::FILE* old, Output& out, const char* key, const char* value) {
  if (old) return WriteMerged(old, out, key, value);
  PutSectionAndEntry(out, key, value);
  return out.ok;
}

// Writes the new content beside wininit.ini; false (and nothing left behind)
// unless every byte was written.
bool WriteFreshContent(const WininitPaths& paths, std::FILE* old, const char* key, const char* value) {
  Output out{std::fopen(paths.fresh, "wb")};
  if (!out.file) return false;
  const bool written = WriteContent(old, out, key, value);
  const bool closed = std::fclose(out.file) == 0;
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

bool AddWininitRename(const char* key, const char* value) {
  WininitPaths paths;
  if (!BuildWininitPaths(paths)) return false;
  if (_access(paths.file, 0) != 0) {
    return WriteFreshContent(paths, nullptr, key, value) && ReplaceWininit(paths, false);
  }
  if (!BuildCopyPath(paths) || !CopyFileA(paths.file, paths.copy, FALSE)) return false;
  std::FILE* old = std::fopen(paths.copy, "rb");
  if (!old) return false;
  const bool written = WriteFreshContent(paths, old, key, value);
  std::fclose(old);
  return written && ReplaceWininit(paths, true);
}
