#include "process/ProcessList.h"

#include <cstdlib>
#include <cstring>

#include "common/LibraryFunction.h"
#include "common/Text.h"

namespace {

constexpr char KERNEL_LIBRARY[] = "Kernel32.dll";
constexpr char PSAPI_LIBRARY[] = "psapi.dll";

using SnapshotFunction = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using EntryFunction = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
using EnumProcessesFunction = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
using ModuleFileNameFunction = DWORD(WINAPI*)(HANDLE process, HMODULE module, char* name, DWORD size);

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
    if (!process) continue;
    char name[MAX_PATH];
    ReadImageName(moduleFileName, process, name);
    CloseHandle(process);
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

bool TerminateById(DWORD processId, DWORD access) {
  HANDLE process = OpenProcess(access, FALSE, processId);
  if (!process) return false;
  const bool terminated = TerminateProcess(process, 0) != FALSE;
  CloseHandle(process);
  return terminated;
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
