#include "engine/ScanRun.h"

#include <io.h>
#include <windows.h>

#include <cstring>

#include "common/ProgramTexts.h"
#include "common/Text.h"
#include "engine/Detection.h"
#include "engine/ScanState.h"
#include "engine/SkinMessageBox.h"
#include "engine/VariantTable.h"
#include "process/FileRedirection.h"
#include "process/MemorySweep.h"
#include "repair/Quarantine.h"
#include "repair/ServiceControl.h"

namespace {

constexpr char SEARCH_ALL[] = "*.*";
constexpr char SEARCH_ALL_IN[] = "\\*.*";
constexpr char PROGRAM_FILES[] = "\\Program Files";
constexpr char INSIDE_PROGRAM_FILES[] = "\\Program Files\\";
constexpr std::size_t DRIVE_ROOT_SPEC_LENGTH = 6;    // "C:\*.*"
constexpr std::size_t DRIVE_ROOT_PREFIX_LENGTH = 3;  // "C:\"
constexpr int FIRST_DRIVE = 2;                       // C:; A: and B: are never scanned
constexpr int LAST_DRIVE = 25;                       // Z:

bool IsDirectory(const WIN32_FIND_DATAA& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A junction, mount point or symbolic link (a reparse point) is not walked
// into: it leads to a folder the walk reaches where it lies, or off the fixed
// drives, and a link to a folder above it would make the walk go round for
// ever (with two such links, the walk doubles at every level).
bool IsFolderLink(const WIN32_FIND_DATAA& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// The folder prefix of a search spec: the search spec cut just before the character that
// precedes its last "." ("C:\dir\*.*" gives "C:\dir\"). False without a ".".
bool FolderPrefix(const char* spec, char* prefix, std::size_t size) {
  const char* dot = std::strrchr(spec, '.');
  if (!dot) return false;
  std::size_t length = dot > spec ? static_cast<std::size_t>(dot - spec) - 1 : 0;
  if (length >= size) length = size - 1;
  std::memcpy(prefix, spec, length);
  prefix[length] = '\0';
  return true;
}

// The search spec for listing sub-folders: everything after the last "." replaced by "*"
// (a spec without "." gets "*" appended).
bool FolderListingSpec(const char* spec, char* listing, std::size_t size) {
  if (!CopyText(listing, size, spec)) return false;
  if (char* dot = std::strrchr(listing, '.')) dot[1] = '\0';
  return AppendText(listing, size, "*");
}

// Joins up to three parts into a path; false when it would not fit.
bool JoinPath(char* path, std::size_t size, const char* a, const char* b, const char* c = "") {
  return CopyText(path, size, a) && AppendText(path, size, b) && AppendText(path, size, c);
}

// Remembers the drive's "\Program Files" folder when a drive root is walked.
void NoteProgramFiles(const char* spec) {
  if (std::strlen(spec) > DRIVE_ROOT_SPEC_LENGTH) return;
  char* note = scanState.programFilesSpec;
  CopyText(note, sizeof scanState.programFilesSpec, spec);
  char* colon = std::strchr(note, ':');
  if (!colon) return;
  colon[1] = '\0';
  AppendText(note, sizeof scanState.programFilesSpec, PROGRAM_FILES);
  if (_access(note, 0) == 0) {
    scanState.programFilesPending = true;
    AppendText(note, sizeof scanState.programFilesSpec, SEARCH_ALL_IN);
  }
}

// Walks the drive's Program Files folder when the drive walk never went into it.
void WalkProgramFilesIfMissed() {
  if (scanState.programFilesPending && !scanState.programFilesEntered) {
    WalkFolder(scanState.programFilesSpec);
    scanState.programFilesPending = false;
  }
}

// Hands a listed file to the handlers, with the length its listing gave.
void CallHandlers(const char* path, const WIN32_FIND_DATAA& listed) {
  detectionState.listedFile = {true, (static_cast<uint64_t>(listed.nFileSizeHigh) << 32) | listed.nFileSizeLow};
  for (const HandlerEntry* entry = handlerTable; entry->detectionName; ++entry) {
    if (entry->handler(entry->detectionName, path)) break;
  }
  detectionState.listedFile.known = false;
}

bool StopNow() {
  PumpOneMessage();
  return scanState.stopRequested;
}

enum class PassEnd { Done, Stopped, NoDot };

// The files of a search spec (every entry is shown; files are counted and handed on).
PassEnd FilePass(const char* spec, const char* prefix, bool hasDot) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(spec, &entry);
  if (find == INVALID_HANDLE_VALUE) return PassEnd::Done;
  PassEnd end = PassEnd::Done;
  do {
    if (StopNow()) {
      end = PassEnd::Stopped;
      break;
    }
    char path[MAX_PATH];
    bool fits = true;
    if (scanState.sweepMode) {
      fits = CopyText(path, sizeof path, spec);
    } else {
      if (!hasDot) {
        end = PassEnd::NoDot;
        break;
      }
      fits = JoinPath(path, sizeof path, prefix, entry.cFileName);
    }
    // An entry whose path would not fit in MAX_PATH is passed over unseen.
    if (fits) {
      ElideMiddle(path, scanState.currentFile, sizeof scanState.currentFile, STATUS_WIDTH);
      NotifyStatus();
      if (!IsDirectory(entry)) {
        if (!scanState.sweepMode) ++scanState.filesScanned;
        CallHandlers(path, entry);
      }
    }
    if (StopNow()) {
      end = PassEnd::Stopped;
      break;
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return end;
}

// A quarantine folder this run made or used holds only files the scan has
// dealt with already. They lie at volume roots, and the walk reaches none but
// the drives' own; a folder is known by its identity, whatever its name.
bool IsQuarantineOfThisRun(const char* root, const char* name) {
  char folder[MAX_PATH];
  return JoinPath(folder, sizeof folder, root, name) && IsQuarantineFolderOfThisRun(folder);
}

// The sub-folders of a search spec, each walked in turn. Returns the walk result to
// pass up, or 1 to go on.
int32_t FolderPass(const char* spec, const char* prefix, bool hasDot) {
  char listing[MAX_PATH];
  if (!FolderListingSpec(spec, listing, sizeof listing)) return 1;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(listing, &entry);
  if (find == INVALID_HANDLE_VALUE) return 1;
  const bool atDriveRoot = std::strlen(prefix) == DRIVE_ROOT_PREFIX_LENGTH;
  int32_t result = 1;
  do {
    if (StopNow()) {
      result = 0;
      break;
    }
    if (!IsDirectory(entry) || IsDotEntry(entry.cFileName) || IsFolderLink(entry)) continue;
    if (!hasDot) {
      result = -1;
      break;
    }
    char sub[MAX_PATH];
    // A folder whose search spec would not fit in MAX_PATH is skipped.
    if (!JoinPath(sub, sizeof sub, prefix, entry.cFileName, SEARCH_ALL_IN)) continue;
    if (atDriveRoot && IsQuarantineOfThisRun(prefix, entry.cFileName)) continue;
    if (std::strstr(sub, INSIDE_PROGRAM_FILES)) scanState.programFilesEntered = true;
    if (WalkFolder(sub) == -1) {
      result = -1;
      break;
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return result;
}

void WriteStatistics() {
  if (scanState.filesInfected > 0) SendReportLine(" ");
  SendReportLine("%s", STATISTICS_HEADING);
  SendReportLine("------------------------------");
  SendReportLine("Total files scanned\t\t:  %d", scanState.filesScanned);
  SendReportLine("Total files infected\t\t:  %d", scanState.filesInfected);
  SendReportLine("Total files removed\t\t:  %d", scanState.filesRemoved);
}

void WalkAllFixedDrives() {
  for (int drive = FIRST_DRIVE; drive <= LAST_DRIVE; ++drive) {
    char root[] = "C:\\";
    root[0] = static_cast<char>('A' + drive);
    if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
    char spec[8];
    JoinPath(spec, sizeof spec, root, SEARCH_ALL);
    WalkFolder(spec);
    WalkProgramFilesIfMissed();
  }
}

void WalkTarget() {
  if (std::strcmp(scanState.scanTarget, ALL_FIXED_DRIVES) == 0) {
    WalkAllFixedDrives();
    return;
  }
  char spec[MAX_PATH];
  if (!JoinPath(spec, sizeof spec, scanState.scanTarget, SEARCH_ALL_IN)) return;
  WalkFolder(spec);
  WalkProgramFilesIfMissed();
}

}  // namespace

int RunScan() {
  // Every file where it really is, on 64-bit Windows too.
  const NativeFileView nativeFiles;
  if (scanState.scanTarget[0] != '\0') {
    SweepMemory();
    WalkTarget();
  }
  scanState.keepList = true;
  WriteStatistics();
  SetStatusText(scanState.stopRequested ? "Scanning terminated" : "Scanning completed");
  if (scanState.restartNeeded != 0 && SkinMessageBox(RESTART_QUESTION, PROGRAM_TITLE, QUESTION_YES_NO) == IDYES) {
    RestartWindows();
  }
  return 1;
}

namespace {

// One folder (or, in sweep mode, one file) of the walk.
int32_t WalkSpec(const char* spec) {
  scanState.foundInSweep = false;
  NoteProgramFiles(spec);
  char prefix[MAX_PATH];
  const bool hasDot = FolderPrefix(spec, prefix, sizeof prefix);
  switch (FilePass(spec, prefix, hasDot)) {
    case PassEnd::Stopped:
      return 0;
    case PassEnd::NoDot:
      return -1;
    case PassEnd::Done:
      break;
  }
  // The check of a process image sees that file alone, never folders
  // named like it.
  if (scanState.sweepMode) return scanState.filesScanned;
  const int32_t folders = FolderPass(spec, prefix, hasDot);
  if (folders <= 0) return folders;
  return scanState.filesScanned;
}

// How deep the walk is: 0 outside it; every walk climbs back out.
int walkDepth = 0;

}  // namespace

int32_t WalkFolder(const char* spec) {
  // The size prefilter follows the active table as each outermost walk starts.
  if (walkDepth == 0) PrepareSizeFilter();
  ++walkDepth;
  const int32_t result = WalkSpec(spec);
  --walkDepth;
  return result;
}

void PumpOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  if (LOWORD(msg.wParam) == VK_ESCAPE) {
    // Whatever the message: the key is dropped either way.
    if (SkinMessageBox(STOP_QUESTION, PROGRAM_TITLE, QUESTION_YES_NO) != IDNO) scanState.stopRequested = true;
    return;
  }
  if (msg.message == WM_QUIT || msg.message == WM_DESTROY) {
    scanState.stopRequested = true;  // the message is dropped, not posted again
    return;
  }
  // A handler that runs nested here may load libraries.
  const RedirectedFileView redirected;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}
