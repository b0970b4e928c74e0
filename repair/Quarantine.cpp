#include "repair/Quarantine.h"

#include <cstring>

#include "common/Text.h"
#include "engine/ExaminedFile.h"
#include "process/AdvapiFunctions.h"

namespace {

// Two well-known security identifiers in their binary form (revision,
// count, authority, sub-authorities): S-1-5-32-544, the Administrators
// group, and S-1-5-18, the system.
struct WellKnownSid {
  BYTE revision;
  BYTE subAuthorityCount;
  BYTE authority[6];
  DWORD subAuthority[2];
};
constexpr WellKnownSid ADMINISTRATORS = {1, 2, {0, 0, 0, 0, 0, 5}, {32, 544}};
constexpr WellKnownSid LOCAL_SYSTEM = {1, 1, {0, 0, 0, 0, 0, 5}, {18, 0}};
constexpr std::size_t SID_HEADER_SIZE = 8;

// Rights that let their holder change what the folder holds, or who may.
constexpr DWORD CHANGING_RIGHTS = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

constexpr std::size_t ACL_BUFFER_SIZE = 256;
constexpr std::size_t SECURITY_BUFFER_SIZE = 4096;
constexpr std::size_t TOKEN_USER_BUFFER_SIZE = 256;

std::size_t SidSize(const void* sid) { return SID_HEADER_SIZE + sizeof(DWORD) * static_cast<const BYTE*>(sid)[1]; }

bool SameSid(const void* left, const void* right) {
  return SidSize(left) == SidSize(right) && std::memcmp(left, right, SidSize(left)) == 0;
}

// Whose rights over the folder are safe: the administrators, the system and
// the user the program runs as (under Wine every folder is that user's).
class TrustedSids {
 public:
  TrustedSids() {
    HANDLE token = nullptr;
    DWORD got = 0;
    if (advapi::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
      haveUser_ = ADVAPI_CALL(GetTokenInformation, token, TokenUser, static_cast<void*>(userBuffer_),
                              static_cast<DWORD>(sizeof userBuffer_), &got);
      CloseHandle(token);
    }
  }
  bool Contains(const void* sid) const {
    if (!sid) return false;
    if (SameSid(sid, &ADMINISTRATORS) || SameSid(sid, &LOCAL_SYSTEM)) return true;
    return haveUser_ && SameSid(sid, reinterpret_cast<const TOKEN_USER*>(userBuffer_)->User.Sid);
  }

 private:
  alignas(TOKEN_USER) BYTE userBuffer_[TOKEN_USER_BUFFER_SIZE] = {};
  bool haveUser_ = false;
};

bool AceIsSafe(const ACE_HEADER* ace, const TrustedSids& trusted) {
  switch (ace->AceType) {
    case ACCESS_DENIED_ACE_TYPE:
    case SYSTEM_AUDIT_ACE_TYPE:
      return true;
    case ACCESS_ALLOWED_ACE_TYPE: {
      const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
      // An entry only for what the folder will hold gives no right over it.
      if (ace->AceFlags & INHERIT_ONLY_ACE) return true;
      return !(allowed->Mask & CHANGING_RIGHTS) || trusted.Contains(&allowed->SidStart);
    }
    default:
      return false;  // a kind this check does not read
  }
}

bool SecurityIsSafe(void* descriptor) {
  const TrustedSids trusted;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!ADVAPI_CALL(GetSecurityDescriptorOwner, descriptor, &owner, &defaulted) || !trusted.Contains(owner))
    return false;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  // No list at all grants everyone everything.
  if (!ADVAPI_CALL(GetSecurityDescriptorDacl, descriptor, &present, &dacl, &defaulted) || !present || !dacl)
    return false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!ADVAPI_CALL(GetAce, dacl, i, &ace) || !AceIsSafe(static_cast<const ACE_HEADER*>(ace), trusted)) return false;
  }
  return true;
}

// Makes the folder with a list of its own, not the root's: the administrators
// and the system alone may do anything with it.
bool CreateProtectedFolder(const char* folder) {
  alignas(ACL) BYTE aclBuffer[ACL_BUFFER_SIZE];
  auto* acl = reinterpret_cast<PACL>(aclBuffer);
  WellKnownSid administrators = ADMINISTRATORS;
  WellKnownSid system = LOCAL_SYSTEM;
  SECURITY_DESCRIPTOR descriptor;
  if (!ADVAPI_CALL(InitializeAcl, acl, static_cast<DWORD>(sizeof aclBuffer), static_cast<DWORD>(ACL_REVISION)) ||
      !ADVAPI_CALL(AddAccessAllowedAce, acl, static_cast<DWORD>(ACL_REVISION), static_cast<DWORD>(FILE_ALL_ACCESS),
                   static_cast<PSID>(&administrators)) ||
      !ADVAPI_CALL(AddAccessAllowedAce, acl, static_cast<DWORD>(ACL_REVISION), static_cast<DWORD>(FILE_ALL_ACCESS),
                   static_cast<PSID>(&system)) ||
      !ADVAPI_CALL(InitializeSecurityDescriptor, static_cast<PSECURITY_DESCRIPTOR>(&descriptor),
                   static_cast<DWORD>(SECURITY_DESCRIPTOR_REVISION)) ||
      !ADVAPI_CALL(SetSecurityDescriptorDacl, static_cast<PSECURITY_DESCRIPTOR>(&descriptor), TRUE, acl, FALSE))
    return false;
  // From Windows 2000 a list given at creation takes the parent's inheritable
  // entries too (the root's let every user change new folders) unless it is
  // protected; NT 4.0 has no such inheritance, and no such call.
  ADVAPI_CALL(SetSecurityDescriptorControl, static_cast<PSECURITY_DESCRIPTOR>(&descriptor),
              static_cast<SECURITY_DESCRIPTOR_CONTROL>(SE_DACL_PROTECTED),
              static_cast<SECURITY_DESCRIPTOR_CONTROL>(SE_DACL_PROTECTED));
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  return CreateDirectoryA(folder, &attributes) != FALSE;
}

bool EnsureQuarantineFolder(const char* folder) {
  if (CreateProtectedFolder(folder)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && IsTrustedFolder(folder);
}

}  // namespace

bool IsTrustedFolder(const char* folder) {
  HANDLE handle = OpenWithoutFollowing(folder, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FileIdentity identity;
  DWORD attributes = 0;
  alignas(SECURITY_DESCRIPTOR) BYTE descriptor[SECURITY_BUFFER_SIZE];
  DWORD needed = 0;
  const bool safe =
      ReadFileIdentity(handle, identity, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !IsLink(folder, attributes) &&
      ADVAPI_CALL(GetKernelObjectSecurity, handle,
                  static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION),
                  static_cast<PSECURITY_DESCRIPTOR>(descriptor), static_cast<DWORD>(sizeof descriptor), &needed) &&
      SecurityIsSafe(descriptor);
  CloseHandle(handle);
  return safe;
}

bool MoveIntoQuarantine(HANDLE file, const FileIdentity& identity, const char* path, char* movedPath,
                        std::size_t size) {
  // Only a drive path names its volume's root.
  if (!path[0] || path[1] != ':' || path[2] != '\\') return false;
  char folder[MAX_PATH];
  if (!FormatText(folder, sizeof folder, "%c:\\%s", path[0], QUARANTINE_FOLDER) || !EnsureQuarantineFolder(folder))
    return false;
  return FormatText(movedPath, size, "%s\\%08lX-%08lX%08lX.del", folder, identity.volumeSerial, identity.indexHigh,
                    identity.indexLow) &&
         RenameByHandle(file, movedPath, true);
}
