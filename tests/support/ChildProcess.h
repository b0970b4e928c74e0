#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Test programs start copies of themselves as child processes: the program's
// main runs "<exe> --child <mode> <args...>" as the registered mode instead of
// the tests. Children are real processes of the same Wine prefix.

using ChildMain = int (*)(const std::vector<std::string>& args);

// Registers a child mode at static-initialisation time:
//   static ChildModeRegistrar holdMode("hold-file", HoldFileMain);
struct ChildModeRegistrar {
  ChildModeRegistrar(const char* mode, ChildMain main);
};

// Runs the child mode named by argv when argv asks for one. Returns true and
// sets exitCode when it did.
bool RunChildModeIfAsked(int argc, char** argv, int& exitCode);

// The full path of the running program, and the folder it runs from.
std::string OwnExecutablePath();
std::string OwnExecutableFolder();

// A child process; killed when the object goes out of scope while it runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts executable (this program by default) in child mode. workingFolder
  // empty: the caller's. Returns false when the process could not be created.
  bool Start(const std::string& mode, const std::vector<std::string>& args = {}, const std::string& executable = "",
             const std::string& workingFolder = "");
  bool Running() const;
  // Waits for the end; returns the exit code, or STILL_ACTIVE after timeout.
  DWORD WaitForExit(DWORD milliseconds);
  void Kill();
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_; }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Named events between a test and its children, every wait bounded.
std::string UniqueEventName(const std::string& stem);
HANDLE CreateSignal(const std::string& name);          // manual-reset, unsignalled
bool WaitForSignal(HANDLE event, DWORD milliseconds);  // true when signalled in time
bool RaiseSignal(const std::string& name);             // opens the event and sets it

// Built-in modes:
//   "hold-file <path> <ready-event>": opens path without sharing, raises the
//      event, then waits (up to ten minutes) until it is terminated;
//   "hold-file-shared <path> <ready-event>": the same with read sharing, so
//      that others can read the file but cannot delete it;
//   "hold-image <path> <ready-event>": maps the file as a program's image, as
//      a running program's own file is: it cannot be deleted, but renamed;
//   "wait <ready-event>": raises the event and waits likewise.

// A child process that holds a file open (mode "hold-file", "hold-file-shared"
// or "hold-image") from construction until the object goes away.
class HeldFile {
 public:
  HeldFile(const std::string& path, const std::string& mode);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  // True once the child has the file open.
  bool started() const { return started_; }

 private:
  ChildProcess holder_;
  HANDLE event_ = nullptr;
  bool started_ = false;
};
