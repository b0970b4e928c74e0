#include "process/ProcessList.h"

#include <cstdlib>
#include <cstring>

#include "common/LibraryFunction.h"
#include "common/Text.h"
#include "process/FileRedirection.h"

namespace {

constexpr char KERNEL_LIBRARY[] = "Kernel32.dll";
constexpr char PSAPI_LIBRARY[] = "psapi.dll";

using SnapshotFunction = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using EntryFunction = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
using EnumProcessesFunction = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
using ModuleFileNameFunction = DWORD(WINAPI*)(HANDLE process, HMODULE module, char* name, DWORD size);
using ImageNameFunction = BOOL(WINAPI*)(HANDLE process, DWORD flags, char* name, DWORD* size);

// The right that lets a process's image name be asked of any process but the
// system's own, from Vista on.
constexpr DWORD LIMITED_QUERY_ACCESS = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION

// The processes no termination ever touches, by image name without extension.
struct ProtectedProcess {
  const char* name;
  const char* why;
};
const ProtectedProcess PROTECTED_PROCESSES[] = {
    {"System", "the kernel's own process: it cannot end while Windows runs"},
    {"smss", "the session manager: Windows stops with a blue screen when it ends"},
    {"csrss", "the Win32 subsystem of a session: its end stops Windows with a blue screen"},
    {"wininit", "starts and watches the services and the security authority; Windows stops without it"},
    {"winlogon", "the logon and the secure desktop: its end stops Windows or ends every session"},
    {"services", "the service control manager: Windows restarts without it"},
    {"lsass", "the local security authority: its end makes Windows restart within a minute"},
};

// The image name of a path or name: after its last backslash, up to its last dot.
bool IsProtectedName(const char* imageOrName) {
  char name[MAX_PATH];
  if (!CopyText(name, sizeof name, PathTail(imageOrName))) return false;
  if (char* dot = std::strrchr(name, '.')) *dot = '\0';
  for (const ProtectedProcess& entry : PROTECTED_PROCESSES)
    if (_stricmp(name, entry.name) == 0) return true;
  return false;
}

// Where the module name cannot be read: the image's name through a handle
// with the least right, where the platform has the call (Vista and later).
void ReadImageNameLimited(DWORD processId, char (&name)[MAX_PATH]) {
  const auto imageName =
      LibraryFunction<ImageNameFunction>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
  if (!imageName) return;
  HANDLE process = OpenProcess(LIMITED_QUERY_ACCESS, FALSE, processId);
  if (!process) return;
  DWORD size = sizeof name;
  if (!imageName(process, 0, name, &size)) name[0] = '\0';
  name[MAX_PATH - 1] = '\0';
  CloseHandle(process);
}

// The file name of the process's main module, empty when it cannot be read.
void ReadImageName(ModuleFileNameFunction moduleFileName, HANDLE process, char (&name)[MAX_PATH]) {
  std::memset(name, 0, sizeof name);
  moduleFileName(process, nullptr, name, sizeof name);
  name[MAX_PATH - 1] = '\0';  // a cut name need not be terminated
}

}  // namespace

bool ProcessList::Append(DWORD processId, const char* imagePath) {
  auto* node = static_cast<ProcessNode*>(std::calloc(1, sizeof(ProcessNode)));  // zero-filled
  if (!node) return false;
  node->processId = processId;
  std::memcpy(node->imagePath, imagePath, BoundedLength(imagePath, MAX_PATH));
  if (tail_) tail_->next = node;
  else head_ = node;
  tail_ = node;
  return true;
}

void ProcessList::Clear() {
  while (head_) {
    ProcessNode* next = head_->next;
    std::free(head_);
    head_ = next;
  }
  tail_ = nullptr;
}

ListOutcome TakePsapiList(ProcessList& list, RefusedOpenHandler onRefused) {
  LoadedLibrary psapi(PSAPI_LIBRARY);
  if (!psapi.module()) return ListOutcome::NoList;
  auto enumProcesses = LibraryFunction<EnumProcessesFunction>(psapi.module(), "EnumProcesses");
  if (!enumProcesses) return ListOutcome::NoList;
  DWORD ids[PSAPI_PROCESS_LIMIT] = {};
  DWORD bytes = 0;
  enumProcesses(ids, sizeof ids, &bytes);  // its result is not needed: the count tells
  const DWORD count = (bytes < sizeof ids ? bytes : sizeof ids) / sizeof ids[0];
  if (count == 0) return ListOutcome::NoList;
  auto moduleFileName = LibraryFunction<ModuleFileNameFunction>(psapi.module(), "GetModuleFileNameExA");
  if (!moduleFileName) return ListOutcome::NoList;

  for (DWORD i = 0; i < count; ++i) {
    HANDLE process = OpenProcess(LIST_ACCESS, FALSE, ids[i]);
    if (!process && onRefused && GetLastError() == ERROR_ACCESS_DENIED) process = onRefused(ids[i]);
    char name[MAX_PATH] = {};
    if (process) {
      ReadImageName(moduleFileName, process, name);
      CloseHandle(process);
    }
    if (name[0] == '\0') ReadImageNameLimited(ids[i], name);
    if (name[0] == '\0') continue;
    if (!list.Append(ids[i], name)) {
      list.Clear();
      return ListOutcome::OutOfMemory;
    }
  }
  return ListOutcome::Listed;
}

ListOutcome TakeToolhelpList(ProcessList& list) {
  ToolhelpLibrary toolhelp;
  if (!toolhelp.loaded()) return ListOutcome::NoList;
  const HANDLE snapshot = toolhelp.Snapshot();
  if (snapshot == INVALID_HANDLE_VALUE) return ListOutcome::NoList;
  PROCESSENTRY32 entry = {};
  ListOutcome outcome = ListOutcome::NoList;
  for (bool more = toolhelp.First(snapshot, &entry); more; more = toolhelp.Next(snapshot, &entry)) {
    char name[sizeof entry.szExeFile + 1] = {};
    std::memcpy(name, entry.szExeFile, sizeof entry.szExeFile);
    if (!list.Append(entry.th32ProcessID, name)) {
      list.Clear();
      outcome = ListOutcome::OutOfMemory;
      break;
    }
    outcome = ListOutcome::Listed;
  }
  CloseHandle(snapshot);
  return outcome;
}

bool MayTerminate(DWORD processId, const char* imageOrName) {
  return processId != GetCurrentProcessId() && !IsProtectedName(imageOrName);
}

bool TerminateById(DWORD processId, DWORD access) {
  HANDLE process = OpenProcess(access, FALSE, processId);
  if (!process) return false;
  const bool terminated = TerminateProcess(process, 0) != FALSE;
  CloseHandle(process);
  return terminated;
}

LoadedLibrary::LoadedLibrary(const char* name) {
  const RedirectedFileView redirected;
  module_ = LoadLibraryA(name);
}

ToolhelpLibrary::ToolhelpLibrary() : kernel_(KERNEL_LIBRARY) {}

HANDLE ToolhelpLibrary::Snapshot() const {
  if (!loaded()) return INVALID_HANDLE_VALUE;
  auto snapshot = LibraryFunction<SnapshotFunction>(kernel_.module(), "CreateToolhelp32Snapshot");
  return snapshot ? snapshot(TH32CS_SNAPPROCESS, 0) : INVALID_HANDLE_VALUE;
}

// The entry's size field is set before every read: the platform checks it.
bool ToolhelpLibrary::First(HANDLE snapshot, PROCESSENTRY32* entry) const {
  if (!loaded()) return false;
  auto first = LibraryFunction<EntryFunction>(kernel_.module(), "Process32First");
  entry->dwSize = sizeof *entry;
  return first && first(snapshot, entry);
}

bool ToolhelpLibrary::Next(HANDLE snapshot, PROCESSENTRY32* entry) const {
  if (!loaded()) return false;
  auto next = LibraryFunction<EntryFunction>(kernel_.module(), "Process32Next");
  entry->dwSize = sizeof *entry;
  return next && next(snapshot, entry);
}
