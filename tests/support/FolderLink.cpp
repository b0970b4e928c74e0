#include "tests/support/FolderLink.h"

#include <windows.h>

#include <utility>

#include "common/LibraryFunction.h"
#include "tools/uidriver/UiDriver.h"

namespace {

constexpr DWORD LINK_WAIT_MS = 5000;
constexpr DWORD LINK_POLL_MS = 20;
// The host's programs, named the way Wine opens a host path without a drive
// letter for it.
constexpr char HOST_LN[] = "\\\\?\\unix\\bin\\ln";
constexpr char HOST_RM[] = "\\\\?\\unix\\bin\\rm";

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

// Starts a host program; Wine hands it no handle to wait on, so the caller
// waits for its effect.
bool RunOnHost(const char* program, const std::string& arguments) {
  HANDLE process = nullptr;
  DWORD id = 0;
  if (!LaunchProcess(program, std::string(program) + " " + arguments, "", process, id)) return false;
  if (process) CloseHandle(process);
  return true;
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool WaitUntil(bool wanted, const std::string& link) {
  for (DWORD waited = 0; waited < LINK_WAIT_MS; waited += LINK_POLL_MS) {
    if (IsLink(link) == wanted) return true;
    Sleep(LINK_POLL_MS);
  }
  return IsLink(link) == wanted;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

FolderLink::FolderLink(std::string link, const std::string& target) : link_(std::move(link)) {
  const std::string hostTarget = HostPath(target);
  hostLink_ = HostPath(link_);
  if (hostTarget.empty() || hostLink_.empty()) return;
  made_ = RunOnHost(HOST_LN, "-sfn " + Quoted(hostTarget) + " " + Quoted(hostLink_)) && WaitUntil(true, link_);
}

FolderLink::~FolderLink() {
  if (!made_) return;
  // rm without -r removes the link itself, never what it leads to.
  if (RunOnHost(HOST_RM, "-f " + Quoted(hostLink_))) WaitUntil(false, link_);
}
