#include "process/MemorySweep.h"

#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "common/ProgramTexts.h"
#include "common/Text.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/SkinMessageBox.h"
#include "process/FileRedirection.h"
#include "process/OsProbe.h"
#include "process/ProcessKill.h"
#include "process/ProcessList.h"
#include "process/TokenPrivilege.h"
#include "repair/RegistryOps.h"
#include "repair/ServiceControl.h"

bool sweepRestartFlag = false;

namespace {

// Shown when the program's own token cannot be opened to gain the debug privilege.
constexpr char TOKEN_FAILURE_TEXT[] = "false";
constexpr char TOKEN_FAILURE_TITLE[] = "TEMP";
constexpr int READ_ACCESS = 4;  // _access mode: may be read
constexpr UINT EXIT_AFTER_MEMORY_FIND = 0;
// How long a terminated process is given to end before the sweep judges
// whether it survived: termination completes asynchronously.
constexpr DWORD TERMINATION_END_WAIT_MS = 3000;
constexpr DWORD END_POLL_MS = 50;

bool ImageReadable(const char* path) { return _access(path, READ_ACCESS) == 0; }

bool ChoiceDisposes(int32_t choice) {
  return choice == DISPOSE_DELETE || choice == DISPOSE_RENAME || choice == DISPOSE_REMOVE;
}

// Hands the file back to the walk to be disposed of as a memory find by the
// user's choice.
void DisposalPass(const char* path) {
  scanState.pendingChoice = scanState.disposalChoice;
  WalkFolder(path);
  scanState.pendingChoice = 0;
}

// Answers for an image whose process outlives termination, so that it is dealt
// with at the restart. Nothing else is done for it.
int RestartHook(const char*) { return 1; }

// A process refused to be opened: enable the debug privilege and try once more.
HANDLE OpenWithDebugPrivilege(DWORD processId) {
  HANDLE token = OpenOwnToken();
  if (token) {
    EnablePrivilege(token, SE_DEBUG_NAME);
    CloseHandle(token);
  } else {
    const RedirectedFileView redirected;  // a message box may load libraries
    MessageBoxA(nullptr, TOKEN_FAILURE_TEXT, TOKEN_FAILURE_TITLE, MB_OK);
  }
  return OpenProcess(LIST_ACCESS, FALSE, processId);
}

// The service a process image runs as: its file name without folder and extension.
void ServiceNameOf(const char* path, char (&name)[MAX_PATH]) {
  CopyText(name, sizeof name, PathTail(path));
  if (char* dot = std::strrchr(name, '.')) *dot = '\0';
}

// A process that outlives termination on NT 4.0 or NT 5.x: stop the service of
// the same name and remove its keys. True when the service stopped; otherwise
// the restart flag is set.
bool StopServiceOfImage(const char* path) {
  char service[MAX_PATH];
  ServiceNameOf(path, service);
  if (StopService(service)) {
    DeleteServiceKeys(service);
    return true;
  }
  if (DeleteServiceKeys(service) == 1) sweepRestartFlag = true;
  if (RestartHook(path) == 1) sweepRestartFlag = true;
  return false;
}

// Waits, at most the given time, until the terminated process has ended: on
// its handle, or by its exit code where the handle may not wait.
void WaitUntilEnded(HANDLE process, DWORD milliseconds) {
  const DWORD waited = WaitForSingleObject(process, milliseconds);
  if (waited != WAIT_FAILED) return;
  DWORD exitCode = STILL_ACTIVE;
  for (DWORD spent = 0; spent < milliseconds; spent += END_POLL_MS) {
    if (!GetExitCodeProcess(process, &exitCode) || exitCode != STILL_ACTIVE) return;
    Sleep(END_POLL_MS);
  }
}

// Terminates an infected process twice over; true when it is gone. status
// becomes 1 when the first termination succeeded.
bool TerminateInfected(DWORD processId, int16_t& status) {
  // The first handle stays open until the second attempt, so that the id
  // cannot pass to another process in between.
  HANDLE first = OpenProcess(KILL_ACCESS | SYNCHRONIZE, FALSE, processId);
  if (!first) first = OpenProcess(KILL_ACCESS, FALSE, processId);
  if (first && TerminateProcess(first, 0)) {
    status = 1;
    PaintBeforeWait();
    WaitUntilEnded(first, TERMINATION_END_WAIT_MS);
  }
  const bool gone = TerminatedOrEnded(processId);
  if (first) CloseHandle(first);
  return gone;
}

// The check of one process's image: its find is its own, and an image that
// cannot be read is not checked. Processes that may never be terminated are
// not checked either; the drive walk deals with their files like any other.
// The result of the check's walk, or 0 when there was none.
int16_t CheckImage(const ProcessNode& node) {
  scanState.foundInSweep = false;
  if (!MayTerminate(node.processId, node.imagePath) || !ImageReadable(node.imagePath)) return 0;
  return static_cast<int16_t>(WalkFolder(node.imagePath));
}

// Checks one listed process and deals with it when its image is infected. Its
// status is the result of the check's walk, or 1 after a first termination; a
// process that survived both terminations gets its disposal pass only when the
// status is not 0 or its service was stopped.
void SweepPsapiProcess(const ProcessNode& node) {
  const char* path = node.imagePath;
  int16_t status = CheckImage(node);
  if (!scanState.foundInSweep || !ChoiceDisposes(scanState.disposalChoice)) return;
  if (!TerminateInfected(node.processId, status)) {
    const int generation = GetNtGeneration();
    const bool serviceStopped =
        (generation == NT_GENERATION_4 || generation == NT_GENERATION_5) && StopServiceOfImage(path);
    if (!serviceStopped && status == 0) return;
  }
  DisposalPass(path);
}

void SweepToolhelpProcess(const ProcessNode& node) {
  const char* path = node.imagePath;
  CheckImage(node);
  if (!scanState.foundInSweep || scanState.disposalChoice == DISPOSE_LEAVE) return;
  TerminateById(node.processId, KILL_ACCESS);
  DisposalPass(path);  // whatever the termination did: the disposal deals with a file in use
}

}  // namespace

void SweepMemory() {
  const int family = GetOsFamily();
  scanState.sweepMode = true;
  if (family == OS_FAMILY_9X) {
    SweepToolhelp();
  } else if (family == OS_FAMILY_NT && SweepPsapi() != 0) {
    if (sweepRestartFlag && SkinMessageBox(FOUND_IN_MEMORY_NOTICE, PROGRAM_TITLE, NOTICE_OK_CANCEL) == IDOK)
      RestartWindows();
    // The infection stays in memory until the restart: scanning on would be in vain.
    ExitProcess(EXIT_AFTER_MEMORY_FIND);
  }
  scanState.sweepMode = false;
}

void SweepToolhelp() {
  ProcessList list;
  if (TakeToolhelpList(list) != ListOutcome::Listed) return;
  for (const ProcessNode* node = list.head(); node; node = node->next) SweepToolhelpProcess(*node);
}

int SweepPsapi() {
  ProcessList list;
  if (TakePsapiList(list, OpenWithDebugPrivilege) != ListOutcome::Listed) return 0;
  for (const ProcessNode* node = list.head(); node; node = node->next) SweepPsapiProcess(*node);
  return sweepRestartFlag ? 1 : 0;
}
