#include "repair/Quarantine.h"

#include <cstring>

#include "common/LibraryFunction.h"
#include "common/Text.h"
#include "process/AdvapiFunctions.h"
#include "repair/FileSecurity.h"

namespace {

constexpr std::size_t ACL_BUFFER_SIZE = 256;
constexpr std::size_t DRIVE_ROOT_LENGTH = 3;  // "X:\"
// Fresh names tried when someone else's folder has the usual name.
constexpr DWORD FRESH_FOLDER_ATTEMPTS = 16;
// One folder a volume; more than there can be drive letters and mounts.
constexpr int FOLDERS_OF_A_RUN = 32;

// A quarantine folder this run made or used, and the volume root it is on.
struct RunFolder {
  char root[MAX_PATH] = {};
  char path[MAX_PATH] = {};
  FileIdentity identity;
};
RunFolder runFolders[FOLDERS_OF_A_RUN];
int runFolderCount = 0;

using VolumePathNameFunction = BOOL(WINAPI*)(const char* path, char* root, DWORD size);

// The root of the volume path lies on ("X:\", or the folder a volume is
// mounted in, ending in "\"). NT 4.0 mounts no volume in a folder, and has no
// call to ask: there it is the drive's root.
bool VolumeRootOf(const char* path, char (&root)[MAX_PATH]) {
  const auto volumePathName =
      LibraryFunction<VolumePathNameFunction>(GetModuleHandleA("kernel32.dll"), "GetVolumePathNameA");
  if (volumePathName && volumePathName(path, root, sizeof root)) {
    const std::size_t length = BoundedLength(root, sizeof root);
    if (length >= DRIVE_ROOT_LENGTH && length < sizeof root && root[length - 1] == '\\' &&
        _strnicmp(root, path, length) == 0)
      return true;
  }
  if (!path[0] || path[1] != ':' || path[2] != '\\') return false;
  return FormatText(root, sizeof root, "%c:\\", path[0]);
}

// From Windows 2000 a list given at creation takes the parent's inheritable
// entries too (the root's let every user change new folders) unless it is
// protected; NT 4.0 has no such inheritance, and no such call.
void ProtectFromInheritance(SECURITY_DESCRIPTOR& descriptor) {
  ADVAPI_CALL(SetSecurityDescriptorControl, static_cast<PSECURITY_DESCRIPTOR>(&descriptor),
              static_cast<SECURITY_DESCRIPTOR_CONTROL>(SE_DACL_PROTECTED),
              static_cast<SECURITY_DESCRIPTOR_CONTROL>(SE_DACL_PROTECTED));
}

// Makes the folder with a list of its own, not the root's: the administrators
// and the system alone may do anything with it. False when it exists already.
bool CreateProtectedFolder(const char* folder) {
  alignas(ACL) BYTE aclBuffer[ACL_BUFFER_SIZE];
  auto* acl = reinterpret_cast<PACL>(aclBuffer);
  SECURITY_DESCRIPTOR descriptor;
  if (!ADVAPI_CALL(InitializeAcl, acl, static_cast<DWORD>(sizeof aclBuffer), static_cast<DWORD>(ACL_REVISION)) ||
      !ADVAPI_CALL(AddAccessAllowedAce, acl, static_cast<DWORD>(ACL_REVISION), static_cast<DWORD>(FILE_ALL_ACCESS),
                   AdministratorsSid()) ||
      !ADVAPI_CALL(AddAccessAllowedAce, acl, static_cast<DWORD>(ACL_REVISION), static_cast<DWORD>(FILE_ALL_ACCESS),
                   LocalSystemSid()) ||
      !ADVAPI_CALL(InitializeSecurityDescriptor, static_cast<PSECURITY_DESCRIPTOR>(&descriptor),
                   static_cast<DWORD>(SECURITY_DESCRIPTOR_REVISION)) ||
      !ADVAPI_CALL(SetSecurityDescriptorDacl, static_cast<PSECURITY_DESCRIPTOR>(&descriptor), TRUE, acl, FALSE))
    return false;
  ProtectFromInheritance(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  return CreateDirectoryA(folder, &attributes) != FALSE;
}

// A volume that keeps no rights (FAT) can hold no links either.
bool VolumeKeepsRights(const char* root) {
  DWORD flags = 0;
  return GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
         (flags & FILE_PERSISTENT_ACLS);
}

// A folder this run has just made: checked like any other where the volume
// keeps rights, else a plain folder is enough.
bool MadeFolderIsSafe(const char* root, const char* folder) {
  if (IsTrustedFolder(folder)) return true;
  FileIdentity identity;
  DWORD attributes = 0;
  return !VolumeKeepsRights(root) && ReadPathIdentity(folder, identity, attributes) &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsReparsePoint(folder, attributes);
}

// Makes the folder, or, where mayExist, takes the one of that name that is
// there when it is trusted.
bool MakeOrTrust(const char* root, const char* folder, bool mayExist) {
  if (CreateProtectedFolder(folder)) {
    if (MadeFolderIsSafe(root, folder)) return true;
    RemoveDirectoryA(folder);  // empty, and of no use
    return false;
  }
  return mayExist && GetLastError() == ERROR_ALREADY_EXISTS && IsTrustedFolder(folder);
}

bool Remember(const char* root, const char* folder) {
  if (runFolderCount == FOLDERS_OF_A_RUN) return true;  // used all the same, only not passed over by the walk
  RunFolder& entry = runFolders[runFolderCount];
  DWORD attributes = 0;
  if (!ReadPathIdentity(folder, entry.identity, attributes)) return false;
  CopyText(entry.root, sizeof entry.root, root);
  CopyText(entry.path, sizeof entry.path, folder);
  ++runFolderCount;
  return true;
}

// The folder this run keeps on the volume, while it is still the one it was.
bool FolderOfThisRun(const char* root, char (&folder)[MAX_PATH]) {
  for (int i = 0; i < runFolderCount; ++i) {
    const RunFolder& entry = runFolders[i];
    FileIdentity identity;
    DWORD attributes = 0;
    if (_stricmp(entry.root, root) == 0 && ReadPathIdentity(entry.path, identity, attributes) &&
        SameFile(identity, entry.identity))
      return CopyText(folder, sizeof folder, entry.path);
  }
  return false;
}

bool QuarantineFolderOn(const char* root, char (&folder)[MAX_PATH]) {
  if (FolderOfThisRun(root, folder)) return true;
  if (FormatText(folder, sizeof folder, "%s%s", root, QUARANTINE_FOLDER) && MakeOrTrust(root, folder, true))
    return Remember(root, folder);
  for (DWORD attempt = 0; attempt < FRESH_FOLDER_ATTEMPTS; ++attempt) {
    if (FormatText(folder, sizeof folder, "%s%s-%08lX%08lX", root, QUARANTINE_FOLDER, GetCurrentProcessId(),
                   GetTickCount() + attempt) &&
        MakeOrTrust(root, folder, false))
      return Remember(root, folder);
  }
  return false;
}

}  // namespace

bool MoveIntoQuarantine(HANDLE file, const FileIdentity& identity, const char* path, char* movedPath,
                        std::size_t size) {
  char root[MAX_PATH];
  char folder[MAX_PATH];
  if (!VolumeRootOf(path, root) || !QuarantineFolderOn(root, folder)) return false;
  return FormatText(movedPath, size, "%s\\%08lX-%08lX%08lX.del", folder, identity.volumeSerial, identity.indexHigh,
                    identity.indexLow) &&
         RenameByHandle(file, movedPath, true);
}

bool IsQuarantineFolderOfThisRun(const char* folder) {
  FileIdentity identity;
  DWORD attributes = 0;
  if (runFolderCount == 0 || !ReadPathIdentity(folder, identity, attributes)) return false;
  for (int i = 0; i < runFolderCount; ++i)
    if (SameFile(identity, runFolders[i].identity)) return true;
  return false;
}

void ResetQuarantineFolders() {
  for (RunFolder& entry : runFolders) entry = RunFolder();
  runFolderCount = 0;
}
