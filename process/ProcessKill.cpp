#include "process/ProcessKill.h"

#include <cstring>

#include "common/Text.h"
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

int TerminateFirstMatch(const ToolhelpLibrary& toolhelp, HANDLE snapshot, const char* target) {
  PROCESSENTRY32 entry = {};
  if (!toolhelp.First(snapshot, &entry)) return 0;
  for (;;) {
    char exeFile[sizeof entry.szExeFile + 1] = {};
    std::memcpy(exeFile, entry.szExeFile, sizeof entry.szExeFile);
    if (_stricmp(PathTail(exeFile), target) == 0) {
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

}  // namespace

int KillProcessByPath(const char* path) {
  int result = 1;
  bool tellFailure = true;
  switch (GetOsFamily()) {
    case OS_FAMILY_9X:
      result = KillByToolhelp(path);
      break;
    case OS_FAMILY_NT:
      if (GetNtGeneration() == NT_GENERATION_5) {
        result = KillByPsapi(path) ? 1 : 0;
        tellFailure = false;
      } else {
        result = KillByPerfData(path);
      }
      break;
    default:
      return 1;  // no method for this platform: nothing to do
  }
  if (result == 0 && tellFailure) MessageBoxA(nullptr, COULD_NOT_KILL, path, MB_OK);
  return result;
}

int KillByToolhelp(const char* path) {
  ToolhelpLibrary toolhelp;
  Sleep(TOOLHELP_STEP_PAUSE_MS);
  if (!toolhelp.loaded()) return 0;
  const HANDLE snapshot = toolhelp.Snapshot();
  Sleep(TOOLHELP_STEP_PAUSE_MS);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const int result = TerminateFirstMatch(toolhelp, snapshot, PathTail(path));
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
    if (!PerfSlotMatches(slots[i], target)) continue;
    if (TerminateById(slots[i].processId, PROCESS_TERMINATE)) result = 1;
    Sleep(AFTER_TERMINATION_PAUSE_MS);
  }
  return result;
}

bool KillByPsapi(const char* path) {
  ProcessList list;
  const ListOutcome outcome = TakePsapiList(list, nullptr);
  if (outcome == ListOutcome::NoList) return false;
  const std::size_t length = std::strlen(path);
  for (const ProcessNode* node = list.head(); node; node = node->next) {
    if (std::strlen(node->imagePath) != length || _stricmp(node->imagePath, path) != 0) continue;
    if (TerminateById(node->processId, KILL_ACCESS)) Sleep(AFTER_TERMINATION_PAUSE_MS);
  }
  return true;
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
