#include "tests/support/SystemGuards.h"

#include <utility>

#include "process/OsProbe.h"
#include "repair/Quarantine.h"
#include "tests/support/TestFiles.h"

namespace {

// Reads one value's type and bytes; false when it is not there.
bool ReadValue(HKEY root, const std::string& keyPath, const std::string& name, DWORD& type, std::vector<BYTE>& data,
               REGSAM view = 0) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool read = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
  if (read) {
    data.assign(size, 0);
    read = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
    data.resize(size);
  }
  RegCloseKey(key);
  return read;
}

void DeleteValue(HKEY root, const std::string& keyPath, const std::string& name, REGSAM view = 0) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

std::vector<std::string> NamesOf(HKEY root, const std::string& keyPath, REGSAM view = 0) {
  std::vector<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return names;
  char name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

using FolderQuery = UINT(WINAPI*)(LPSTR, UINT);

std::string Folder(FolderQuery query) {
  char path[MAX_PATH];
  const UINT length = query(path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

}  // namespace

SavedFile::SavedFile(std::string path) : path_(std::move(path)) {
  attributes_ = GetFileAttributesA(path_.c_str());
  existed_ = attributes_ != INVALID_FILE_ATTRIBUTES;
  if (existed_) content_ = ReadTextFile(path_);
}

SavedFile::~SavedFile() {
  SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!existed_) {
    DeleteFileA(path_.c_str());
    return;
  }
  WriteTextFile(path_, content_);
  SetFileAttributesA(path_.c_str(), attributes_);
}

SavedRegistryValue::SavedRegistryValue(HKEY root, std::string keyPath, std::string name)
    : root_(root), keyPath_(std::move(keyPath)), name_(std::move(name)) {
  existed_ = ReadValue(root_, keyPath_, name_, type_, data_);
}

SavedRegistryValue::~SavedRegistryValue() {
  if (existed_) SetValue(root_, keyPath_, name_, type_, data_.data(), static_cast<DWORD>(data_.size()));
  else DeleteValue(root_, keyPath_, name_);
}

SavedRegistryKey::SavedRegistryKey(HKEY root, std::string keyPath) : root_(root), keyPath_(std::move(keyPath)) {
  HKEY key;
  if (RegOpenKeyExA(root_, keyPath_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  const bool flat = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                    subkeys == 0;
  RegCloseKey(key);
  if (!flat) return;
  for (const std::string& name : NamesOf(root_, keyPath_)) {
    Value value{name, REG_NONE, {}};
    if (ReadValue(root_, keyPath_, name, value.type, value.data)) values_.push_back(std::move(value));
  }
  saved_ = true;
}

SavedRegistryKey::~SavedRegistryKey() {
  if (!saved_) return;
  HKEY key;
  if (RegCreateKeyExA(root_, keyPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegCloseKey(key);
  for (const Value& value : values_)
    SetValue(root_, keyPath_, value.name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

MachineStateGuard::MachineStateGuard() {
  const std::string paths[] = {NtHostsPath(), HostsPath9x(), WininitPath(), WindowsFolder() + "\\wininit.new",
                               TempFolder() + "wininit.ini"};
  for (const std::string& path : paths) files_.push_back(std::make_unique<SavedFile>(path));
  pendingRenames_ = std::make_unique<SavedRegistryValue>(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_RENAMES);
  // The case sees only the renames it records itself.
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, PENDING_RENAMES);
    RegCloseKey(key);
  }
  DeleteTestValues();
}

MachineStateGuard::~MachineStateGuard() { DeleteTestValues(); }

void MachineStateGuard::DeleteTestValues() {
  for (REGSAM view : {REGSAM{0}, OtherRegistryView()}) {
    DeleteValuesStartingWith(RUN_KEY, TEST_VALUE_PREFIX, view);
    DeleteValuesStartingWith(RUN_SERVICES_KEY, TEST_VALUE_PREFIX, view);
  }
}

bool SetValue(HKEY root, const std::string& keyPath, const std::string& name, DWORD type, const void* data, DWORD size,
              REGSAM view) {
  HKEY key;
  if (RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool set = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set;
}

bool SetString(const std::string& keyPath, const std::string& name, const std::string& data, DWORD type, REGSAM view) {
  return SetValue(HKEY_LOCAL_MACHINE, keyPath, name, type, data.c_str(), static_cast<DWORD>(data.size() + 1), view);
}

bool ValueExists(const std::string& keyPath, const std::string& name, REGSAM view) {
  DWORD type;
  std::vector<BYTE> data;
  return ReadValue(HKEY_LOCAL_MACHINE, keyPath, name, type, data, view);
}

REGSAM OtherRegistryView() {
  if (GetOsFamily() != OS_FAMILY_NT) return 0;  // Wine keeps one view for the others
  if (sizeof(void*) == 8) return KEY_WOW64_32KEY;
  return RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
}

bool KeyExists(const std::string& keyPath) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool CreateKey(const std::string& keyPath) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void DeleteKeyTree(const std::string& keyPath) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());  // in case the tree call left the key itself
}

std::vector<std::string> ValueNames(const std::string& keyPath, REGSAM view) {
  return NamesOf(HKEY_LOCAL_MACHINE, keyPath, view);
}

void DeleteValuesStartingWith(const std::string& keyPath, const std::string& prefix, REGSAM view) {
  for (const std::string& name : ValueNames(keyPath, view))
    if (name.compare(0, prefix.size(), prefix) == 0) DeleteValue(HKEY_LOCAL_MACHINE, keyPath, name, view);
}

std::vector<std::string> PendingRenames() {
  std::vector<std::string> strings;
  DWORD type;
  std::vector<BYTE> data;
  if (!ReadValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_RENAMES, type, data)) return strings;
  const std::string all(data.begin(), data.end());
  // Strings end in zero bytes; the list ends in one more.
  std::size_t at = 0;
  while (at < all.size()) {
    const std::size_t end = all.find('\0', at);
    if (end == std::string::npos) break;
    strings.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return strings;
}

bool DeletionPending(const std::string& path) {
  const std::vector<std::string> strings = PendingRenames();
  // A deletion is the pair (source, empty target).
  for (std::size_t i = 0; i + 1 < strings.size(); ++i)
    if (strings[i] == "\\??\\" + path && strings[i + 1].empty()) return true;
  return false;
}

namespace {

// Every quarantine folder of the test drives: the usual name, and the fresh
// ones made beside a folder of that name that someone else made.
void RemoveQuarantineFolders() {
  for (const char* root : {"C:\\", "D:\\"}) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((root + std::string(QUARANTINE_FOLDER) + "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) continue;
    do RemoveTree(root + std::string(entry.cFileName));
    while (FindNextFileA(find, &entry));
    FindClose(find);
  }
}

}  // namespace

QuarantineGuard::QuarantineGuard() { RemoveQuarantineFolders(); }
QuarantineGuard::~QuarantineGuard() { RemoveQuarantineFolders(); }

std::vector<std::string> PendingQuarantineDeletions(char drive) {
  const std::string prefix = std::string("\\??\\") + drive + ":\\" + QUARANTINE_FOLDER;
  const std::vector<std::string> strings = PendingRenames();
  std::vector<std::string> files;
  for (std::size_t i = 0; i + 1 < strings.size(); ++i) {
    const bool inFolder = strings[i].rfind(prefix, 0) == 0 && strings[i].find('\\', prefix.size()) != std::string::npos;
    if (inFolder && strings[i + 1].empty()) files.push_back(strings[i].substr(4));
  }
  return files;
}

std::string SystemFolder() { return Folder(GetSystemDirectoryA); }
std::string WindowsFolder() { return Folder(GetWindowsDirectoryA); }

std::string TempFolder() {
  char path[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof path, path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

std::string ShortPath(const std::string& path) {
  char shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  return length > 0 && length < sizeof shortPath ? std::string(shortPath, length) : std::string();
}

std::string NtHostsPath() { return SystemFolder() + "\\drivers\\etc\\hosts"; }
std::string HostsPath9x() { return WindowsFolder() + "\\hosts"; }
std::string WininitPath() { return WindowsFolder() + "\\wininit.ini"; }
