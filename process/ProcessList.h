#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>

// One running process as the termination and the memory sweep see it.
inline constexpr std::size_t PROCESS_NODE_PATH_SIZE = 340;  // of which at most MAX_PATH are written
struct ProcessNode {
  DWORD processId;
  char imagePath[PROCESS_NODE_PATH_SIZE];  // zero-filled past the name
  ProcessNode* next;                       // null at the tail
};

// A singly linked list of ProcessNode, appended at the tail, built completely
// before it is walked, and freed with the list.
class ProcessList {
 public:
  ProcessList() = default;
  ~ProcessList() { Clear(); }
  ProcessList(const ProcessList&) = delete;
  ProcessList& operator=(const ProcessList&) = delete;

  // Appends a node with at most MAX_PATH characters of imagePath. False when no
  // node could be allocated (the list is unchanged).
  bool Append(DWORD processId, const char* imagePath);
  void Clear();
  const ProcessNode* head() const { return head_; }

 private:
  ProcessNode* head_ = nullptr;
  ProcessNode* tail_ = nullptr;
};

// How taking a process list ended.
enum class ListOutcome {
  NoList,       // library or function missing, or no process listed
  Listed,       // the list holds every process that could be read
  OutOfMemory,  // a node could not be allocated; the list was freed
};

// The psapi listing: every process id (at most PSAPI_PROCESS_LIMIT) opened for
// query and read, with its main module's file name. When onRefused is given,
// it is asked for a second handle of a process whose open was refused with
// ERROR_ACCESS_DENIED. A process whose module name cannot be read so (a
// protected one, say) is asked for its image name with
// QueryFullProcessImageNameA, from Vista on; one without a name is skipped.
inline constexpr DWORD PSAPI_PROCESS_LIMIT = 1024;
using RefusedOpenHandler = HANDLE (*)(DWORD processId);
ListOutcome TakePsapiList(ProcessList& list, RefusedOpenHandler onRefused = nullptr);

// The tool-help listing of the memory sweep: every process of a snapshot with
// szExeFile as its image path.
ListOutcome TakeToolhelpList(ProcessList& list);

// Access rights the process code opens processes with.
inline constexpr DWORD KILL_ACCESS = PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION;  // 0x401
inline constexpr DWORD LIST_ACCESS = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;    // 0x410

// True when the process may be terminated at all: never the program's own,
// nor one Windows cannot live without (known by its image name, with or
// without folder and extension, ignoring case: the table in
// ProcessList.cpp says why each is there), whichever method found it.
bool MayTerminate(DWORD processId, const char* imageOrName);

// Opens the process with access and terminates it with exit code 0; the handle
// is closed again. True when the termination succeeded.
bool TerminateById(DWORD processId, DWORD access);

// A library loaded by name (where the program's own system folder holds it:
// redirection is on for the load), released with the object.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name);
  ~LoadedLibrary() {
    if (module_) FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  HMODULE module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
};

// Tool-help functions of Kernel32.dll, loaded by name and released with the object.
class ToolhelpLibrary {
 public:
  ToolhelpLibrary();

  bool loaded() const { return kernel_.module() != nullptr; }
  // A process snapshot, or INVALID_HANDLE_VALUE.
  HANDLE Snapshot() const;
  // Process32First / Process32Next, each resolved by name at the call; false
  // when the function is missing or the snapshot has no (further) entry.
  bool First(HANDLE snapshot, PROCESSENTRY32* entry) const;
  bool Next(HANDLE snapshot, PROCESSENTRY32* entry) const;

 private:
  LoadedLibrary kernel_;
};
