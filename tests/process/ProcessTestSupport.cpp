#include "tests/process/ProcessTestSupport.h"

#include <cstring>
#include <vector>

#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

constexpr char TARGET_PROGRAM[] = "process_target.exe";
constexpr DWORD READY_WAIT_MS = 15000;
constexpr unsigned char PADDING_BYTE = 0xCC;
constexpr DWORD SERVICE_WAIT_MS = 10000;
constexpr DWORD SERVICE_POLL_MS = 100;

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

}  // namespace

std::string TargetProgramPath() { return OwnExecutableFolder() + "\\" + TARGET_PROGRAM; }

bool CopyTargetProgram(const std::string& destination, std::size_t padding) {
  const std::string bytes = ReadTextFile(TargetProgramPath());
  if (bytes.empty()) return false;
  std::vector<unsigned char> copy(bytes.begin(), bytes.end());
  copy.insert(copy.end(), padding, PADDING_BYTE);
  return WriteBytes(destination, copy);
}

bool RunningTarget::Start(const std::string& imagePath, Protection protection, const std::string& workingFolder) {
  const std::string ready = UniqueEventName("target-ready");
  HANDLE event = CreateSignal(ready);
  std::vector<std::string> args = {ready};
  if (protection == Protection::Unkillable) args.push_back("unkillable");
  if (protection == Protection::Unlistable) args.push_back("unlistable");
  const bool started =
      child_.Start("wait", args, imagePath, workingFolder.empty() ? FolderOf(imagePath) : workingFolder) &&
      WaitForSignal(event, READY_WAIT_MS);
  if (event) CloseHandle(event);
  return started;
}

std::string UniqueServiceName(const std::string& stem) { return stem + std::to_string(GetCurrentProcessId()); }

template <typename Action>
bool TestService::Use(Action action) const {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager ? OpenServiceA(manager, name_.c_str(), SERVICE_ALL_ACCESS) : nullptr;
  const bool done = service && action(service);
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return done;
}

TestService::TestService(const std::string& name, const std::string& imagePath, const std::string& behaviour)
    : name_(name) {
  const std::string command = "\"" + imagePath + "\" --child service " + name + " " + behaviour;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  installed_ = service != nullptr;
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
}

TestService::~TestService() {
  if (State() == SERVICE_RUNNING) {
    Use([](SC_HANDLE service) {
      SERVICE_STATUS status;
      return ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
    });
    WaitForState(SERVICE_STOPPED);
  }
  Use([](SC_HANDLE service) {
    // A service that would not stop is ended by force.
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                             &needed) &&
        status.dwCurrentState != SERVICE_STOPPED && status.dwProcessId != 0) {
      HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId);
      if (process) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, SERVICE_WAIT_MS);
        CloseHandle(process);
      }
    }
    return DeleteService(service) != FALSE;
  });
}

bool TestService::Start() {
  return Use([](SC_HANDLE service) { return StartServiceA(service, 0, nullptr) != FALSE; }) &&
         WaitForState(SERVICE_RUNNING);
}

DWORD TestService::State() const {
  DWORD state = 0;
  Use([&state](SC_HANDLE service) {
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    return true;
  });
  return state;
}

bool TestService::WaitForState(DWORD state) const {
  for (DWORD waited = 0; waited < SERVICE_WAIT_MS; waited += SERVICE_POLL_MS) {
    if (State() == state) return true;
    Sleep(SERVICE_POLL_MS);
  }
  return false;
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::string& path) {
  GetCurrentDirectoryA(sizeof previous_, previous_);
  SetCurrentDirectoryA(path.c_str());
}

ScopedCurrentFolder::~ScopedCurrentFolder() { SetCurrentDirectoryA(previous_); }

LockedOwnToken::LockedOwnToken() {
  if (!OpenProcessToken(GetCurrentProcess(), READ_CONTROL | WRITE_DAC, &token_)) {
    token_ = nullptr;
    return;
  }
  DWORD needed = 0;
  GetKernelObjectSecurity(token_, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  savedDacl_.resize(needed);
  if (needed == 0 || !GetKernelObjectSecurity(token_, DACL_SECURITY_INFORMATION, savedDacl_.data(), needed, &needed))
    return;
  SECURITY_DESCRIPTOR denyAll;
  ACL emptyAcl;
  locked_ = InitializeSecurityDescriptor(&denyAll, SECURITY_DESCRIPTOR_REVISION) &&
            InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION) &&
            SetSecurityDescriptorDacl(&denyAll, TRUE, &emptyAcl, FALSE) &&
            SetKernelObjectSecurity(token_, DACL_SECURITY_INFORMATION, &denyAll);
}

LockedOwnToken::~LockedOwnToken() {
  if (!token_) return;
  if (locked_) SetKernelObjectSecurity(token_, DACL_SECURITY_INFORMATION, savedDacl_.data());
  CloseHandle(token_);
}

WineVersion VersionOfThisProgram() {
  struct Suffix {
    const char* text;
    WineVersion version;
  };
  static const Suffix suffixes[] = {{"_win98.exe", WineVersion::Win98},
                                    {"_nt40.exe", WineVersion::Nt40},
                                    {"_winxp.exe", WineVersion::WinXp},
                                    {"_win7.exe", WineVersion::Win7},
                                    {"_win31.exe", WineVersion::Win31}};
  const std::string self = OwnExecutablePath();
  for (const Suffix& suffix : suffixes) {
    const std::size_t length = std::strlen(suffix.text);
    if (self.size() > length && _stricmp(self.c_str() + self.size() - length, suffix.text) == 0) return suffix.version;
  }
  return WineVersion::Win7;
}

HANDLE NextHandleValue() {
  HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(probe);
  return probe;
}
