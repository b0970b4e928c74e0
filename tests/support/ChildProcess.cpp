#include "tests/support/ChildProcess.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "tools/uidriver/UiDriver.h"

namespace {

constexpr DWORD CHILD_LIFETIME_MS = 10 * 60 * 1000;  // a child never outlives a stuck test for long
constexpr DWORD CHILD_READY_MS = 10000;              // time a child gets to open its file

std::map<std::string, ChildMain>& Modes() {
  static std::map<std::string, ChildMain> modes;
  return modes;
}

std::string Quote(const std::string& arg) { return "\"" + arg + "\""; }

int HoldFile(const std::vector<std::string>& args, DWORD sharing) {
  if (args.size() != 2) return 2;
  HANDLE file =
      CreateFileA(args[0].c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  RaiseSignal(args[1]);
  Sleep(CHILD_LIFETIME_MS);
  CloseHandle(file);
  return 0;
}

// Maps the file as a program's image, as a running program's file is mapped:
// it cannot be deleted then, but it can be renamed.
int HoldImageMain(const std::vector<std::string>& args) {
  if (args.size() != 2) return 2;
  HMODULE image = LoadLibraryExA(args[0].c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image) return 3;
  RaiseSignal(args[1]);
  Sleep(CHILD_LIFETIME_MS);
  FreeLibrary(image);
  return 0;
}

int HoldFileMain(const std::vector<std::string>& args) { return HoldFile(args, 0); }
int HoldFileSharedMain(const std::vector<std::string>& args) { return HoldFile(args, FILE_SHARE_READ); }

int WaitMain(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  RaiseSignal(args[0]);
  Sleep(CHILD_LIFETIME_MS);
  return 0;
}

ChildModeRegistrar holdFileMode("hold-file", HoldFileMain);
ChildModeRegistrar holdFileSharedMode("hold-file-shared", HoldFileSharedMain);
ChildModeRegistrar holdImageMode("hold-image", HoldImageMain);
ChildModeRegistrar waitMode("wait", WaitMain);

}  // namespace

ChildModeRegistrar::ChildModeRegistrar(const char* mode, ChildMain main) { Modes()[mode] = main; }

bool RunChildModeIfAsked(int argc, char** argv, int& exitCode) {
  if (argc < 3 || std::strcmp(argv[1], "--child") != 0) return false;
  const auto mode = Modes().find(argv[2]);
  if (mode == Modes().end()) {
    std::fprintf(stderr, "unknown child mode %s\n", argv[2]);
    exitCode = 2;
    return true;
  }
  exitCode = mode->second(std::vector<std::string>(argv + 3, argv + argc));
  return true;
}

std::string OwnExecutablePath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

std::string OwnExecutableFolder() {
  const std::string own = OwnExecutablePath();
  return own.substr(0, own.find_last_of('\\'));
}

ChildProcess::~ChildProcess() { Kill(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : process_(other.process_), id_(other.id_) {
  other.process_ = nullptr;
  other.id_ = 0;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    process_ = other.process_;
    id_ = other.id_;
    other.process_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

bool ChildProcess::Start(const std::string& mode, const std::vector<std::string>& args, const std::string& executable,
                         const std::string& workingFolder) {
  Kill();
  const std::string exe = executable.empty() ? OwnExecutablePath() : executable;
  std::string command = Quote(exe) + " --child " + mode;
  for (const std::string& arg : args) command += " " + Quote(arg);
  return LaunchProcess(exe, command, workingFolder, process_, id_);
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD ChildProcess::WaitForExit(DWORD milliseconds) {
  if (!process_) return 0;
  if (WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

void ChildProcess::Kill() {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
  id_ = 0;
}

std::string UniqueEventName(const std::string& stem) {
  static unsigned counter = 0;
  return "quellor-test-" + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

HANDLE CreateSignal(const std::string& name) { return CreateEventA(nullptr, TRUE, FALSE, name.c_str()); }

bool WaitForSignal(HANDLE event, DWORD milliseconds) {
  return event && WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0;
}

bool RaiseSignal(const std::string& name) {
  HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
  if (!event) return false;
  const bool raised = SetEvent(event) != FALSE;
  CloseHandle(event);
  return raised;
}

HeldFile::HeldFile(const std::string& path, const std::string& mode) {
  const std::string ready = UniqueEventName("held-file");
  event_ = CreateSignal(ready);
  started_ = holder_.Start(mode, {path, ready}) && WaitForSignal(event_, CHILD_READY_MS);
}

HeldFile::~HeldFile() {
  holder_.Kill();
  if (event_) CloseHandle(event_);
}
