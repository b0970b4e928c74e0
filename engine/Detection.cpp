#include "engine/Detection.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>

#include "common/ProgramTexts.h"
#include "common/Text.h"
#include "engine/ExaminedFile.h"
#include "engine/PathRules.h"
#include "engine/PeLocator.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "process/OsProbe.h"
#include "process/ProcessKill.h"
#include "repair/DelayedDelete.h"
#include "repair/StartupRepair.h"

namespace {

// Pause between the memory-find line and the disposal, giving the terminated
// process time to release its image file.
constexpr DWORD MEMORY_DISPOSAL_PAUSE_MS = 1000;

void EmptyInfectedPath() { std::memset(scanState.infectedPath, 0, sizeof scanState.infectedPath); }

void ReportRemoved(const char* path, const char* name) {
  ++scanState.filesRemoved;
  SendReportLine(REPORT_FILE_REMOVED, path, name);
}

void ReportUnableToRemove(const char* path, const char* name) {
  SendReportLine("%s     %s Unable to remove", path, name);
}

// The 9x family: deletes the file by its path; when it is in use, terminates
// the process that holds it and tries once more; when it still stays, has it
// deleted at the next restart.
void DeleteByPath(const char* path, const char* name) {
  // Clears read-only, hidden and system, which would keep the deletion from working.
  if (!SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE)) {
    ReportUnableToRemove(scanState.currentFile, scanState.detectionName);
    return;
  }
  if (DeleteFileA(path) || (KillProcessByPath(path) && DeleteFileA(path))) {
    ReportRemoved(path, name);
    return;
  }
  ReportUnableToRemove(path, name);
  scanState.restartNeeded = ScheduleDeleteOnRestart(path);
}

// The same steps on the NT family, each on the examined file: its attributes
// cleared and the file deleted through a handle proven to be it; a process
// terminated only while the path still names the file; and what stays is
// moved into the volume's quarantine folder for the restart, or, where it
// cannot be moved, left at its path only where no other user can make that
// path lead elsewhere.
void DeleteExamined(void* context, const char* path, const char* name) {
  ExaminedFile& file = *static_cast<ExaminedFile*>(context);
  if (!file.HeldByHandle()) {
    DeleteByPath(path, name);
    return;
  }
  if (!file.ClearAttributes(path)) {
    ReportUnableToRemove(scanState.currentFile, scanState.detectionName);
    return;
  }
  if (file.Delete(path) || (file.IsAt(path) && KillProcessByPath(path) && file.Delete(path))) {
    ReportRemoved(path, name);
    return;
  }
  ReportUnableToRemove(path, name);
  scanState.restartNeeded = file.ScheduleDeletion(path);
}

void RenameExamined(void* context, const char* path, const char* name) {
  ExaminedFile& file = *static_cast<ExaminedFile*>(context);
  if (!file.HeldByHandle()) {
    RenameInfectedFile(path, name);
    return;
  }
  char renamed[MAX_PATH];
  ReportRename(path, name, RenamedPath(path, renamed, sizeof renamed) && file.RenameTo(path, renamed));
}

void Dispose(const char* path, const char* name, ExaminedFile& file) {
  const DisposalWays ways = {DeleteExamined, RenameExamined, "not disinfected as per user's selection", &file};
  DisposeByChoice(path, name, ways);
}

// The memory sweep terminated the process of this file: report it as a memory
// find and dispose of it by the chosen disposal, without testing it again. On
// the NT family only the file the sweep's check found is disposed of: the one
// of the same identity.
void DisposeOfMemoryFind(const char* detectionName, const char* path) {
  scanState.disposalChoice = scanState.pendingChoice;
  SendReportLine("System Memory    W32/Veltrix.Trojan removed");
  PaintBeforeWait();
  Sleep(MEMORY_DISPOSAL_PAUSE_MS);
  ExaminedFile file;
  if (GetOsFamily() == OS_FAMILY_NT) {
    const int fd = file.Open(path);
    if (fd != -1) _close(fd);
    if (fd == -1 || !SameFile(file.identity(), detectionState.sweepFind)) {
      ReportUnableToRemove(path, detectionName);
      EmptyInfectedPath();
      return;
    }
  }
  Dispose(path, detectionName, file);
  EmptyInfectedPath();
}

// A file the walk listed with a length that no record's size test passes
// cannot match: it is not opened.
bool WorthOpening() {
  const DetectionState& state = detectionState;
  return state.sizePrefilterOff || !state.listedFile.known ||
         SizeFilterPasses(state.sizeFilter, state.listedFile.length);
}

// The first record of the active table that matches the open file, or null.
const VariantRecord* FirstMatchingRecord(int fd) {
  const int32_t length = FileLength32(fd);
  if (length == -1) return nullptr;
  if (!ReadFileHeader(fd) || !ReadOptionalHeaderAndSections(fd)) return nullptr;
  const uint32_t entryPoint = EntryPointRva();
  for (const VariantRecord* record = variantTable; !IsEndRecord(*record); ++record) {
    if (RecordMatches(*record, fd, length, entryPoint)) return record;
  }
  return nullptr;
}

}  // namespace

DetectionState detectionState;

void ResetDetectionState() { detectionState = DetectionState(); }

void PrepareSizeFilter() { BuildSizeFilter(variantTable, detectionState.sizeFilter); }

void ReportRename(const char* path, const char* name, bool renamed) {
  if (renamed) {
    ++scanState.filesRenamed;
    SendReportLine("%s     %s renamed", path, name);
  } else {
    SendReportLine("%s     %s Rename failed", path, name);
  }
}

void RenameInfectedFile(const char* path, const char* name) {
  char renamed[MAX_PATH];
  ReportRename(path, name, RenamedPath(path, renamed, sizeof renamed) && MoveFileA(path, renamed));
}

void DisposeByChoice(const char* path, const char* name, const DisposalWays& ways) {
  switch (scanState.disposalChoice) {
    case DISPOSE_RENAME:
      ways.renameFile(ways.context, path, name);
      break;
    case DISPOSE_DELETE:
    case DISPOSE_REMOVE:
      ways.deleteFile(ways.context, path, name);
      break;
    case DISPOSE_LEAVE:
      SendReportLine("%s     %s %s", scanState.currentFile, scanState.detectionName, ways.leftWords);
      break;
    default:
      break;  // an unknown choice does nothing and says nothing
  }
}

int32_t DetectAndDispose(const char* detectionName, const char* path) {
  if (scanState.pendingChoice != 0 && scanState.notifyWindow) {
    DisposeOfMemoryFind(detectionName, path);
    return 0;
  }
  if (scanState.filesInfected == 0) std::memset(removedValueName, 0, sizeof removedValueName);
  if (!WorthOpening()) {
    EmptyInfectedPath();  // as after an examination without a match
    return 0;
  }
  ++detectionState.filesOpened;
  ExaminedFile file;
  const int fd = file.Open(path);
  if (fd == -1) return 0;
  EmptyInfectedPath();
  CopyText(scanState.infectedPath, sizeof scanState.infectedPath, path);

  const VariantRecord* record = FirstMatchingRecord(fd);
  // The descriptor is closed before any repair or disposal; on the NT family
  // the handle keeps the file until its disposal is over.
  _close(fd);
  if (detectionState.afterExamination) detectionState.afterExamination(path);
  if (!record) {
    EmptyInfectedPath();
    return 0;
  }
  // The record's name field need not hold a terminator within its 50 bytes.
  char name[VARIANT_NAME_SIZE + 1] = {};
  std::memcpy(name, record->name, VARIANT_NAME_SIZE);

  ++scanState.filesInfected;
  RepairStartupEntries(name);
  CopyText(scanState.detectionName, sizeof scanState.detectionName, name);
  CopyText(scanState.currentFile, sizeof scanState.currentFile, path);
  if (scanState.sweepMode) {
    scanState.foundInSweep = true;  // infectedPath keeps the path for the sweep
    detectionState.sweepFind = file.identity();
    return 1;
  }
  Dispose(path, name, file);
  EmptyInfectedPath();
  return 1;
}
