#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Tests change real files and registry values of the test machine (the hosts
// file, wininit.ini, startup values, pending renames). These guards save what
// was there and put it back when they go out of scope.

// One file: its content and attributes, or that it did not exist.
class SavedFile {
 public:
  explicit SavedFile(std::string path);
  ~SavedFile();
  SavedFile(const SavedFile&) = delete;
  SavedFile& operator=(const SavedFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool existed_ = false;
  std::string content_;
  DWORD attributes_ = FILE_ATTRIBUTE_NORMAL;
};

// One registry value: its type and bytes, or that it did not exist.
class SavedRegistryValue {
 public:
  SavedRegistryValue(HKEY root, std::string keyPath, std::string name);
  ~SavedRegistryValue();
  SavedRegistryValue(const SavedRegistryValue&) = delete;
  SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

 private:
  HKEY root_;
  std::string keyPath_;
  std::string name_;
  bool existed_ = false;
  DWORD type_ = REG_NONE;
  std::vector<BYTE> data_;
};

// A key without subkeys: its values are saved, and the key is made again with
// them when the guard ends (the test may delete it meanwhile).
class SavedRegistryKey {
 public:
  SavedRegistryKey(HKEY root, std::string keyPath);
  ~SavedRegistryKey();
  SavedRegistryKey(const SavedRegistryKey&) = delete;
  SavedRegistryKey& operator=(const SavedRegistryKey&) = delete;
  bool saved() const { return saved_; }

 private:
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  HKEY root_;
  std::string keyPath_;
  bool saved_ = false;
  std::vector<Value> values_;
};

// Startup keys the repairs scan, and the value-name prefix of every test value
// put there (removed before and after each test).
inline constexpr char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char RUN_SERVICES_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
inline constexpr char TEST_VALUE_PREFIX[] = "Quellor Test";
inline constexpr char SESSION_MANAGER_KEY[] = "System\\CurrentControlSet\\Control\\Session Manager";
inline constexpr char PENDING_RENAMES[] = "PendingFileRenameOperations";

// Everything of the machine the disposal and repair tests may change: both
// family's hosts files, wininit.ini with its temporary copy, the pending
// renames (cleared while the guard lives) and the test values of the startup
// keys.
class MachineStateGuard {
 public:
  MachineStateGuard();
  ~MachineStateGuard();

 private:
  static void DeleteTestValues();
  std::vector<std::unique_ptr<SavedFile>> files_;
  std::unique_ptr<SavedRegistryValue> pendingRenames_;
};

// The quarantine folders of the test drives C: and D:, which the NT family's
// delayed deletions make: removed when the guard starts and again when it ends.
class QuarantineGuard {
 public:
  QuarantineGuard();
  ~QuarantineGuard();
  QuarantineGuard(const QuarantineGuard&) = delete;
  QuarantineGuard& operator=(const QuarantineGuard&) = delete;
};

// Registry helpers (HKEY_LOCAL_MACHINE unless a root is given; view: 0, or
// the view of 64-bit Windows' registry to use, KEY_WOW64_64KEY or _32KEY).
bool SetValue(HKEY root, const std::string& keyPath, const std::string& name, DWORD type, const void* data, DWORD size,
              REGSAM view = 0);
bool SetString(const std::string& keyPath, const std::string& name, const std::string& data, DWORD type = REG_SZ,
               REGSAM view = 0);
bool ValueExists(const std::string& keyPath, const std::string& name, REGSAM view = 0);
// On 64-bit Windows the view the test program does not see by default (the
// 32-bit one for a 64-bit program, the 64-bit one for a 32-bit program); 0
// where the registry has one view.
REGSAM OtherRegistryView();
bool KeyExists(const std::string& keyPath);
bool CreateKey(const std::string& keyPath);
void DeleteKeyTree(const std::string& keyPath);
std::vector<std::string> ValueNames(const std::string& keyPath, REGSAM view = 0);
// Deletes the values of a key whose names begin with prefix.
void DeleteValuesStartingWith(const std::string& keyPath, const std::string& prefix, REGSAM view = 0);
// The strings of the pending renames (REG_MULTI_SZ), empty ones included.
std::vector<std::string> PendingRenames();
// True when the platform has recorded a deletion of path at the next restart.
bool DeletionPending(const std::string& path);
// The NT family's delayed deletions: the files in a quarantine folder of the
// drive (the usual one or a fresh one) that the platform deletes at the next
// restart.
std::vector<std::string> PendingQuarantineDeletions(char drive = 'C');

// Folders and names of this machine as the platform reports them.
std::string SystemFolder();
std::string WindowsFolder();
std::string TempFolder();  // ends in "\"
std::string ShortPath(const std::string& path);
std::string NtHostsPath();  // system folder + "\drivers\etc\hosts"
std::string HostsPath9x();  // Windows folder + "\hosts"
std::string WininitPath();  // Windows folder + "\wininit.ini"
