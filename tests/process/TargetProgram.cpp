// A small program the process tests run and look for (64-bit on this machine,
// 32-bit in the 32-bit test machine, as the tests are): copies of it stand
// for an infected program (a test variant record is made from a copy's bytes),
// and it runs as a test service. Started as
//   <exe> --child wait <ready-event> [unkillable|unlistable]
//   <exe> --child service <name> at-once|slow|stuck [unkillable]
// "unkillable" gives the process a DACL that lets others list it and read its
// image name but not terminate it; "unlistable" one that lets others only wait
// for it. Every run ends by itself within minutes.
// Built also as process_target.dll, whose TargetMain runs the same modes from
// the command line of the program that loaded it (tests/process/InfectedProgram.h).
#include <windows.h>
#include <sddl.h>

#include <cstring>

namespace {

constexpr DWORD LIFETIME_MS = 5 * 60 * 1000;
// Others may query the process and read its memory (psapi listing), and wait for
// it, but not terminate it.
constexpr char LISTABLE_NOT_TERMINABLE[] = "D:(A;;0x101410;;;WD)";
// Others may only wait for the process.
constexpr char WAITABLE_ONLY[] = "D:(A;;0x100000;;;WD)";
// The slow service reports stop-pending this long, in steps of this length.
constexpr DWORD SLOW_STOP_MS = 2500;
constexpr DWORD STOP_STEP_MS = 500;
constexpr DWORD STUCK_STOP_MS = 60 * 1000;
// The service's process lives this much longer once its service has stopped.
// A stop reported from the control handler ends the dispatcher at once, but
// the answer to the control goes out after the handler returns: a process
// that ended first would take it along, and the caller would see the control
// fail.
constexpr DWORD STOPPED_LINGER_MS = 250;

bool Protect(const char* dacl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl, SDDL_REVISION_1, &sd, nullptr)) return false;
  const bool set = SetKernelObjectSecurity(GetCurrentProcess(), DACL_SECURITY_INFORMATION, sd) != FALSE;
  LocalFree(sd);
  return set;
}

int WaitMode(int argc, char** argv) {
  if (argc < 4) return 2;
  if (argc > 4 && std::strcmp(argv[4], "unkillable") == 0 && !Protect(LISTABLE_NOT_TERMINABLE)) return 3;
  if (argc > 4 && std::strcmp(argv[4], "unlistable") == 0 && !Protect(WAITABLE_ONLY)) return 3;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
  if (!ready) return 4;
  SetEvent(ready);
  CloseHandle(ready);
  Sleep(LIFETIME_MS);
  return 0;
}

// The service run by this process.
enum class StopKind { AtOnce, Slow, Stuck };
StopKind stopKind = StopKind::AtOnce;
char serviceName[256];
SERVICE_STATUS_HANDLE statusHandle;
SERVICE_STATUS status;
HANDLE stopEvent;

void Report(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0) {
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  status.dwCheckPoint = checkPoint;
  status.dwWaitHint = waitHint;
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    if (stopKind == StopKind::AtOnce) Report(SERVICE_STOPPED);
    else Report(SERVICE_STOP_PENDING, 1, STOP_STEP_MS * 4);
    SetEvent(stopEvent);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
  statusHandle = RegisterServiceCtrlHandlerExA(serviceName, Handler, nullptr);
  if (!statusHandle) return;
  Report(SERVICE_RUNNING);
  if (WaitForSingleObject(stopEvent, LIFETIME_MS) != WAIT_OBJECT_0) {
    Report(SERVICE_STOPPED);
    return;
  }
  if (stopKind == StopKind::AtOnce) return;
  const DWORD pending = stopKind == StopKind::Slow ? SLOW_STOP_MS : STUCK_STOP_MS;
  for (DWORD waited = 0, checkPoint = 2; waited < pending; waited += STOP_STEP_MS, ++checkPoint) {
    Sleep(STOP_STEP_MS);
    Report(SERVICE_STOP_PENDING, checkPoint, STOP_STEP_MS * 4);
  }
  Report(SERVICE_STOPPED);
}

int ServiceMode(int argc, char** argv) {
  if (argc < 5) return 2;
  lstrcpynA(serviceName, argv[3], sizeof serviceName);
  if (std::strcmp(argv[4], "slow") == 0) stopKind = StopKind::Slow;
  if (std::strcmp(argv[4], "stuck") == 0) stopKind = StopKind::Stuck;
  if (argc > 5 && std::strcmp(argv[5], "unkillable") == 0 && !Protect(LISTABLE_NOT_TERMINABLE)) return 3;
  stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SERVICE_TABLE_ENTRYA table[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) return 5;
  Sleep(STOPPED_LINGER_MS);
  return 0;
}

int RunMode(int argc, char** argv) {
  if (argc < 3 || std::strcmp(argv[1], "--child") != 0) return 2;
  if (std::strcmp(argv[2], "wait") == 0) return WaitMode(argc, argv);
  if (std::strcmp(argv[2], "service") == 0) return ServiceMode(argc, argv);
  return 2;
}

#ifdef TARGET_PROGRAM_LIBRARY
constexpr int MAX_ARGUMENTS = 16;
constexpr int COMMAND_LINE_SIZE = 32768;
char commandLine[COMMAND_LINE_SIZE];

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits line in place into at most capacity arguments, as the tests write
// them: blanks separate, double quotes group and are dropped (no argument
// holds a quote). argv gets a null after the last one.
int SplitArguments(char* line, char** argv, int capacity) {
  int argc = 0;
  char* read = line;
  char* write = line;
  while (argc < capacity) {
    while (IsBlank(*read)) ++read;
    if (*read == '\0') break;
    argv[argc++] = write;
    bool quoted = false;
    for (; *read != '\0' && (quoted || !IsBlank(*read)); ++read) {
      if (*read == '"') quoted = !quoted;
      else *write++ = *read;
    }
    if (*read != '\0') ++read;
    *write++ = '\0';
  }
  argv[argc] = nullptr;
  return argc;
}
#endif

}  // namespace

#ifdef TARGET_PROGRAM_LIBRARY
// The library's entry for the program that loads it: the modes, from that
// program's command line.
extern "C" __declspec(dllexport) int TargetMain(void) {
  lstrcpynA(commandLine, GetCommandLineA(), sizeof commandLine);
  char* argv[MAX_ARGUMENTS + 1];
  const int argc = SplitArguments(commandLine, argv, MAX_ARGUMENTS);
  return RunMode(argc, argv);
}
#else
int main(int argc, char** argv) { return RunMode(argc, argv); }
#endif
