#include "tests/support/HostFiles.h"

#include <windows.h>

#include <utility>

#include "common/LibraryFunction.h"

namespace {

constexpr DWORD LINK_WAIT_MS = 5000;
constexpr DWORD LINK_POLL_MS = 20;
// The host's programs, named the way Wine opens a host path without a drive
// letter for it.
constexpr char HOST_LN[] = "\\\\?\\unix\\bin\\ln";
constexpr char HOST_RM[] = "\\\\?\\unix\\bin\\rm";
constexpr char HOST_CHATTR[] = "\\\\?\\unix\\usr\\bin\\chattr";

// The host path of a Windows path under Wine; empty elsewhere.
std::string HostPath(const std::string& path) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  const auto unixName = LibraryFunction<UnixName>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
  if (!unixName) return "";
  WCHAR wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return "";
  char* name = unixName(wide);
  if (!name) return "";
  std::string host = name;
  HeapFree(GetProcessHeap(), 0, name);
  return host;
}

// Starts a host program, and the caller waits for its effect. Wine starts it
// without a Windows process: the handles it gives back name nothing of it
// (one may even be another handle of this process), so they are never
// waited on or closed.
bool RunOnHost(const char* program, const std::string& arguments) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string command = std::string(program) + " " + arguments;
  return CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info) != FALSE;
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// An immutable file refuses even the right to change its attributes.
bool IsUnchangeable(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  return false;
}

// Waits until what the host program did shows: test(path) gives wanted.
bool WaitUntil(bool (*test)(const std::string&), bool wanted, const std::string& path) {
  for (DWORD waited = 0; waited < LINK_WAIT_MS; waited += LINK_POLL_MS) {
    if (test(path) == wanted) return true;
    Sleep(LINK_POLL_MS);
  }
  return test(path) == wanted;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

FolderLink::FolderLink(std::string link, const std::string& target) : link_(std::move(link)) {
  const std::string hostTarget = HostPath(target);
  hostLink_ = HostPath(link_);
  if (hostTarget.empty() || hostLink_.empty()) return;
  made_ = RunOnHost(HOST_LN, "-sfn " + Quoted(hostTarget) + " " + Quoted(hostLink_)) && WaitUntil(IsLink, true, link_);
}

FolderLink::~FolderLink() {
  if (!made_) return;
  // rm without -r removes the link itself, never what it leads to.
  if (RunOnHost(HOST_RM, "-f " + Quoted(hostLink_))) WaitUntil(IsLink, false, link_);
}

UnchangeableFile::UnchangeableFile(std::string path) : path_(std::move(path)), hostPath_(HostPath(path_)) {
  if (hostPath_.empty()) return;
  made_ = RunOnHost(HOST_CHATTR, "+i " + Quoted(hostPath_)) && WaitUntil(IsUnchangeable, true, path_);
}

UnchangeableFile::~UnchangeableFile() {
  if (!hostPath_.empty() && RunOnHost(HOST_CHATTR, "-i " + Quoted(hostPath_))) WaitUntil(IsUnchangeable, false, path_);
}
