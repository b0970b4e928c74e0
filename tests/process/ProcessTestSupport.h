#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

// Helpers of the process tests: copies of the small target program (clean
// programs; tests/process/InfectedProgram.h writes the infected one), running
// targets and services, and a probe for leaked handles.

// The target program beside the running test program (built with the tests).
std::string TargetProgramPath();

// Copies the target program to destination with padding extra bytes at its
// end (copies of different sizes are different files to whoever compares).
bool CopyTargetProgram(const std::string& destination, std::size_t padding);

// How a running target protects itself from other processes (this test's own
// handle to it can still terminate it).
enum class Protection {
  None,
  Unkillable,  // may be listed, not terminated
  Unlistable,  // may not even be opened for its image name
};

// A running copy of the target program, started in its own folder (or in
// workingFolder) and waited for until it is ready. Killed at scope end.
class RunningTarget {
 public:
  bool Start(const std::string& imagePath, Protection protection = Protection::None,
             const std::string& workingFolder = "");
  bool Running() const { return child_.Running(); }
  // True when the process ended within the time.
  bool EndsWithin(DWORD milliseconds) { return child_.WaitForExit(milliseconds) != STILL_ACTIVE; }
  DWORD Id() const { return child_.Id(); }
  void Kill() { child_.Kill(); }

 private:
  ChildProcess child_;
};

// A service name of this test run: stem and this process's id, so that no run
// meets a service of an earlier one that the manager has not yet let go.
std::string UniqueServiceName(const std::string& stem);

// A test service running a copy of the target program (imagePath) with the
// given stop behaviour ("at-once", "slow", "stuck"; "unkillable" may follow),
// removed again at scope end, by force when it does not stop. It holds no
// handle of the service control manager between its calls, so that the
// handles of the code under test can be counted.
class TestService {
 public:
  TestService(const std::string& name, const std::string& imagePath, const std::string& behaviour);
  ~TestService();
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  bool installed() const { return installed_; }
  // Starts the service and waits until it runs.
  bool Start();
  DWORD State() const;
  bool WaitForState(DWORD state) const;

 private:
  template <typename Action>
  bool Use(Action action) const;

  std::string name_;
  bool installed_ = false;
};

// Makes path the current folder for the life of the object.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& path);
  ~ScopedCurrentFolder();
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  char previous_[MAX_PATH] = {};
};

// Denies every access to this process's own token for the life of the object
// (its earlier DACL is put back at the end), so that opening the token fails.
class LockedOwnToken {
 public:
  LockedOwnToken();
  ~LockedOwnToken();
  LockedOwnToken(const LockedOwnToken&) = delete;
  LockedOwnToken& operator=(const LockedOwnToken&) = delete;
  bool locked() const { return locked_; }

 private:
  HANDLE token_ = nullptr;
  std::vector<unsigned char> savedDacl_;
  bool locked_ = false;
};

// The Windows version this copy of the test program runs under, told by its
// file name ("<program>_win98.exe" ...); the program itself is run with the
// prefix's default version, win7.
enum class WineVersion { Win98, Nt40, WinXp, Win7, Win31 };
WineVersion VersionOfThisProgram();

// The value the next kernel handle of this process gets. The platform hands
// out the lowest free slot, so the value changes when a handle was leaked.
HANDLE NextHandleValue();

// Milliseconds taken by action.
template <typename Action>
DWORD MillisecondsOf(Action action) {
  const DWORD start = GetTickCount();
  action();
  return GetTickCount() - start;
}
