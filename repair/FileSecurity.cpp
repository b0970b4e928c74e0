#include "repair/FileSecurity.h"

#include <cstddef>
#include <cstring>

#include "common/FileByHandle.h"
#include "process/AdvapiFunctions.h"

namespace {

// Well-known security identifiers in their binary form (revision, count,
// authority, sub-authorities): S-1-5-32-544, the Administrators group;
// S-1-5-18, the system; S-1-5-80-956008885-..., the installer service that
// owns the system's own files from Vista on.
struct WellKnownSid {
  BYTE revision;
  BYTE subAuthorityCount;
  BYTE authority[6];
  DWORD subAuthority[6];
};
constexpr WellKnownSid ADMINISTRATORS = {1, 2, {0, 0, 0, 0, 0, 5}, {32, 544}};
constexpr WellKnownSid LOCAL_SYSTEM = {1, 1, {0, 0, 0, 0, 0, 5}, {18}};
constexpr WellKnownSid TRUSTED_INSTALLER = {
    1, 6, {0, 0, 0, 0, 0, 5}, {80, 956008885, 3418522649u, 1831038044, 1853292631, 2271478464u}};
constexpr std::size_t SID_HEADER_SIZE = 8;

// Rights that make a file or folder lead elsewhere: removed or renamed, or
// its rights or owner changed so that it can be. Over a folder also the
// deletion of what it holds. Rights that grant everything count wherever.
constexpr DWORD ALL_RIGHTS = GENERIC_ALL | MAXIMUM_ALLOWED;
constexpr DWORD REDIRECTING_RIGHTS = DELETE | WRITE_DAC | WRITE_OWNER;
constexpr DWORD CHILD_DELETING_RIGHTS = FILE_DELETE_CHILD;

constexpr std::size_t SECURITY_BUFFER_SIZE = 4096;
constexpr std::size_t TOKEN_USER_BUFFER_SIZE = 256;
constexpr std::size_t DRIVE_ROOT_LENGTH = 3;  // "X:\"

std::size_t SidSize(const void* sid) { return SID_HEADER_SIZE + sizeof(DWORD) * static_cast<const BYTE*>(sid)[1]; }

bool SameSid(const void* left, const void* right) {
  return SidSize(left) == SidSize(right) && std::memcmp(left, right, SidSize(left)) == 0;
}

// Whose rights are safe: the well-known ones above and the user the program
// runs as (under Wine every file is that user's).
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
    if (SameSid(sid, &ADMINISTRATORS) || SameSid(sid, &LOCAL_SYSTEM) || SameSid(sid, &TRUSTED_INSTALLER)) return true;
    return haveUser_ && SameSid(sid, reinterpret_cast<const TOKEN_USER*>(userBuffer_)->User.Sid);
  }

 private:
  alignas(TOKEN_USER) BYTE userBuffer_[TOKEN_USER_BUFFER_SIZE] = {};
  bool haveUser_ = false;
};

// True when the entry gives someone untrusted any of rights.
bool AceGrantsOthers(const ACE_HEADER* ace, DWORD rights, const TrustedSids& trusted) {
  switch (ace->AceType) {
    case ACCESS_DENIED_ACE_TYPE:
    case SYSTEM_AUDIT_ACE_TYPE:
      return false;
    case ACCESS_ALLOWED_ACE_TYPE: {
      // An entry only for what a folder will hold gives no right over it.
      if (ace->AceFlags & INHERIT_ONLY_ACE) return false;
      const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
      return (allowed->Mask & (rights | ALL_RIGHTS)) && !trusted.Contains(&allowed->SidStart);
    }
    default:
      return true;  // a kind this check does not read
  }
}

// An object's owner and list of rights, read through a handle with READ_CONTROL.
class Security {
 public:
  explicit Security(HANDLE object) {
    DWORD needed = 0;
    read_ =
        ADVAPI_CALL(GetKernelObjectSecurity, object,
                    static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION),
                    static_cast<PSECURITY_DESCRIPTOR>(descriptor_), static_cast<DWORD>(sizeof descriptor_), &needed);
  }
  bool OwnedByTrusted(const TrustedSids& trusted) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return read_ && ADVAPI_CALL(GetSecurityDescriptorOwner, Descriptor(), &owner, &defaulted) &&
           trusted.Contains(owner);
  }
  // True when nobody untrusted is granted any of rights. No list at all
  // grants everyone everything.
  bool GrantsOnlyTrusted(DWORD rights, const TrustedSids& trusted) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!read_ || !ADVAPI_CALL(GetSecurityDescriptorDacl, Descriptor(), &present, &dacl, &defaulted) || !present ||
        !dacl)
      return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      if (!ADVAPI_CALL(GetAce, dacl, i, &ace) || AceGrantsOthers(static_cast<const ACE_HEADER*>(ace), rights, trusted))
        return false;
    }
    return true;
  }

 private:
  PSECURITY_DESCRIPTOR Descriptor() { return static_cast<PSECURITY_DESCRIPTOR>(descriptor_); }

  alignas(SECURITY_DESCRIPTOR) BYTE descriptor_[SECURITY_BUFFER_SIZE] = {};
  bool read_ = false;
};

// Opens a file or folder for reading its attributes and security, without
// following a final link.
HANDLE OpenForSecurity(const char* path) {
  return OpenWithoutFollowing(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
}

// What path names is a folder exactly when isFolder, no reparse point, owned
// by a trusted account, and grants nobody else any of rights.
bool IsSafeObject(const char* path, bool isFolder, DWORD rights, const TrustedSids& trusted) {
  HANDLE handle = OpenForSecurity(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FileIdentity identity;
  DWORD attributes = 0;
  Security security(handle);
  const bool safe = ReadFileIdentity(handle, identity, attributes) && !IsReparsePoint(path, attributes) &&
                    ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == isFolder && security.OwnedByTrusted(trusted) &&
                    security.GrantsOnlyTrusted(rights, trusted);
  CloseHandle(handle);
  return safe;
}

// One part of a path below the drive's root (a folder, or the file at its
// end): no one else may make it lead elsewhere; a folder also keeps what it
// holds.
bool PartCannotBeRedirected(const char* part, bool isFolder, const TrustedSids& trusted) {
  const DWORD rights = isFolder ? REDIRECTING_RIGHTS | CHILD_DELETING_RIGHTS : REDIRECTING_RIGHTS;
  return IsSafeObject(part, isFolder, rights, trusted);
}

bool RootKeepsWhatItHolds(const char* path, const TrustedSids& trusted) {
  char root[DRIVE_ROOT_LENGTH + 1] = {path[0], ':', '\\', '\0'};
  HANDLE handle = OpenForSecurity(root);
  if (handle == INVALID_HANDLE_VALUE) return false;
  Security security(handle);
  const bool safe = security.GrantsOnlyTrusted(CHILD_DELETING_RIGHTS, trusted);
  CloseHandle(handle);
  return safe;
}

}  // namespace

PSID AdministratorsSid() {
  static WellKnownSid sid = ADMINISTRATORS;
  return &sid;
}

PSID LocalSystemSid() {
  static WellKnownSid sid = LOCAL_SYSTEM;
  return &sid;
}

bool IsTrustedFolder(const char* folder) {
  const TrustedSids trusted;
  return IsSafeObject(folder, true, FOLDER_CHANGING_RIGHTS, trusted);
}

bool PathCannotBeRedirected(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length <= DRIVE_ROOT_LENGTH || length >= MAX_PATH || path[1] != ':' || path[2] != '\\') return false;
  const TrustedSids trusted;
  if (!RootKeepsWhatItHolds(path, trusted)) return false;
  char part[MAX_PATH];
  std::memcpy(part, path, length + 1);
  // Each part in turn: the path cut at each backslash after the root's, then whole.
  for (std::size_t end = DRIVE_ROOT_LENGTH; end <= length; ++end) {
    if (end < length && path[end] != '\\') continue;
    part[end] = '\0';
    const bool safe = PartCannotBeRedirected(part, end < length, trusted);
    part[end] = path[end];
    if (!safe) return false;
  }
  return true;
}
