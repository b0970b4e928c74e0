#include "process/ProcessKill.h"

#include <cstring>

#include "common/Text.h"
#include "engine/ScanState.h"
#include "process/FileRedirection.h"
#include "process/OsProbe.h"
#include "process/PerfData.h"
#include "process/ProcessList.h"

namespace {

constexpr char COULD_NOT_KILL[] = "Could not kill process";
// Pauses of the tool-help walk, between the steps of taking the snapshot and
// between its entries.
constexpr DWORD TOOLHELP_STEP_PAUSE_MS = 100;
// Pause before opening a matched process, and after each termination attempt,
// giving the process time to end and release its file.
constexpr DWORD BEFORE_TERMINATION_PAUSE_MS = 50;
constexpr DWORD AFTER_TERMINATION_PAUSE_MS = 500;

// The same path, ignoring case, as given or in the short (8.3) form of both:
// a process's path may have come in either.
bool SamePath(const char* left, const char* right) {
  if (_stricmp(left, right) == 0) return true;
  char shortLeft[MAX_PATH];
  char shortRight[MAX_PATH];
  const DWORD leftLength = GetShortPathNameA(left, shortLeft, sizeof shortLeft);
  const DWORD rightLength = GetShortPathNameA(right, shortRight, sizeof shortRight);
  return leftLength > 0 && leftLength < sizeof shortLeft && rightLength > 0 && rightLength < sizeof shortRight &&
         _stricmp(shortLeft, shortRight) == 0;
}

// A tool-help entry runs the file at path: the 9x family gives the full path
// of the image, which must be path; a bare name (as Wine gives) can only be
// compared as a name.
bool EntryRunsFile(const char* exeFile, const char* path) {
  if (std::strchr(exeFile, '\\')) return SamePath(exeFile, path);
  return _stricmp(exeFile, PathTail(path)) == 0;
}

int TerminateFirstMatch(const ToolhelpLibrary& toolhelp, HANDLE snapshot, const char* path) {
  PROCESSENTRY32 entry = {};
  if (!toolhelp.First(snapshot, &entry)) return 0;
  for (;;) {
    char exeFile[sizeof entry.szExeFile + 1] = {};
    std::memcpy(exeFile, entry.szExeFile, sizeof entry.szExeFile);
    if (EntryRunsFile(exeFile, path) && MayTerminate(entry.th32ProcessID, exeFile)) {
      Sleep(BEFORE_TERMINATION_PAUSE_MS);
      const int result = TerminateById(entry.th32ProcessID, KILL_ACCESS) ? 1 : 0;
      Sleep(AFTER_TERMINATION_PAUSE_MS);
      return result;
    }
    Sleep(TOOLHELP_STEP_PAUSE_MS);
    const bool more = toolhelp.Next(snapshot, &entry);
    Sleep(TOOLHELP_STEP_PAUSE_MS);
    if (!more) return 0;
  }
}

// The process table of the performance data; the number of slots filled.
int ReadPerfProcessSlots(PerfProcessSlot (&slots)[PERF_SLOT_COUNT]) {
  PerfCounterIndexes indexes;
  if (!ReadPerfCounterNames(indexes)) return 0;
  ByteBuffer data;
  if (!QueryPerformanceData(indexes.processObject, PERF_DATA_INITIAL_SIZE, data)) return 0;
  return ParsePerfProcessBlock(data.data(), data.used, indexes.processIdCounter, slots);
}

// Every listed process whose image is the file at path (its full path,
// ignoring case) and that may be terminated, with the count of those
// terminated. False when no list could be taken.
bool TerminateProcessesOfImage(const char* path, int& terminated) {
  ProcessList list;
  if (TakePsapiList(list, nullptr) == ListOutcome::NoList) return false;
  for (const ProcessNode* node = list.head(); node; node = node->next) {
    if (_stricmp(node->imagePath, path) != 0 || !MayTerminate(node->processId, node->imagePath)) continue;
    if (TerminateById(node->processId, KILL_ACCESS)) {
      ++terminated;
      Sleep(AFTER_TERMINATION_PAUSE_MS);
    }
  }
  return true;
}

bool PsapiPresent() {
  LoadedLibrary psapi("psapi.dll");
  return psapi.module() && GetProcAddress(psapi.module(), "EnumProcesses");
}

}  // namespace

// NT 4.0 lists processes with psapi where psapi.dll was installed, else by
// their names in the performance data; later versions with psapi.
int KillOnNt(const char* path, bool& tellFailure) {
  switch (GetNtGeneration()) {
    case NT_GENERATION_5:
      tellFailure = false;
      return KillByPsapi(path) ? 1 : 0;
    case NT_GENERATION_4:
      return PsapiPresent() ? KillByImagePath(path) : KillByPerfData(path);
    default:
      return KillByImagePath(path);
  }
}

int KillProcessByPath(const char* path) {
  int result = 1;
  bool tellFailure = true;
  PaintBeforeWait();
  switch (GetOsFamily()) {
    case OS_FAMILY_9X:
      result = KillByToolhelp(path);
      break;
    case OS_FAMILY_NT:
      result = KillOnNt(path, tellFailure);
      break;
    default:
      return 1;  // no method for this platform: nothing to do
  }
  if (result == 0 && tellFailure) {
    const RedirectedFileView redirected;  // a message box may load libraries
    MessageBoxA(nullptr, COULD_NOT_KILL, path, MB_OK);
  }
  return result;
}

int KillByToolhelp(const char* path) {
  ToolhelpLibrary toolhelp;
  Sleep(TOOLHELP_STEP_PAUSE_MS);
  if (!toolhelp.loaded()) return 0;
  const HANDLE snapshot = toolhelp.Snapshot();
  Sleep(TOOLHELP_STEP_PAUSE_MS);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const int result = TerminateFirstMatch(toolhelp, snapshot, path);
  CloseHandle(snapshot);
  return result;
}

int KillByPerfData(const char* path) {
  char target[MAX_PATH];
  if (!PerfTargetName(path, target, sizeof target)) return 0;
  PerfProcessSlot slots[PERF_SLOT_COUNT] = {};
  const int filled = ReadPerfProcessSlots(slots);
  return TerminatePerfMatches(slots, filled, target);
}

int TerminatePerfMatches(const PerfProcessSlot* slots, int filled, const char* target) {
  int result = 0;
  for (int i = 0; i < filled; ++i) {
    if (!PerfSlotMatches(slots[i], target) || !MayTerminate(slots[i].processId, slots[i].name)) continue;
    if (TerminateById(slots[i].processId, PROCESS_TERMINATE)) result = 1;
    Sleep(AFTER_TERMINATION_PAUSE_MS);
  }
  return result;
}

bool KillByPsapi(const char* path) {
  int terminated = 0;
  return TerminateProcessesOfImage(path, terminated);
}

int KillByImagePath(const char* path) {
  int terminated = 0;
  return TerminateProcessesOfImage(path, terminated) && terminated > 0 ? 1 : 0;
}

bool TerminatedOrEnded(DWORD processId) {
  HANDLE process = OpenProcess(KILL_ACCESS, FALSE, processId);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process any more
  DWORD exitCode = STILL_ACTIVE;
  const bool ended =
      TerminateProcess(process, 0) || (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE);
  CloseHandle(process);
  return ended;
}
