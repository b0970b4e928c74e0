#include "tests/support/TestFiles.h"

#include <windows.h>

#include <cstdio>

#include "engine/ScanState.h"

namespace {

// Full paths in the long form, so that trees deeper than MAX_PATH can be made
// and removed.
std::wstring LongForm(const std::string& path) {
  std::wstring wide(path.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0],
                                    static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n : 0);
  return L"\\\\?\\" + wide;
}

void CreateFolders(const std::string& path) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryW(LongForm(path.substr(0, at)).c_str(), nullptr);
  CreateDirectoryW(LongForm(path).c_str(), nullptr);
}

std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

std::string Narrow(const wchar_t* wide) {
  char buffer[MAX_PATH * 4];
  const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, sizeof buffer, nullptr, nullptr);
  return n > 0 ? std::string(buffer) : std::string();
}

}  // namespace

TempTree::TempTree(const std::string& root) : root_(root) {
  RemoveTree(root_);
  CreateFolders(root_);
}

TempTree::~TempTree() { RemoveTree(root_); }

std::string TempTree::Folder(const std::string& relative) const {
  const std::string path = Path(relative);
  CreateFolders(path);
  return path;
}

std::string TempTree::File(const std::string& relative, const std::string& content) const {
  const std::string path = Path(relative);
  CreateFolders(ParentOf(path));
  WriteTextFile(path, content);
  return path;
}

void RemoveTree(const std::string& path) {
  const std::wstring root = LongForm(path);
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::string child = path + "\\" + Narrow(entry.cFileName);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveDirectoryW(LongForm(child).c_str());  // a link: never what it leads to
      } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(LongForm(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(LongForm(child).c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(root.c_str());
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteTextFile(const std::string& path, const std::string& content) {
  HANDLE file =
      CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                  written == content.size();
  return CloseHandle(file) && ok;
}

std::string ReadTextFile(const std::string& path) {
  std::string content;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return content;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  std::fclose(file);
  return content;
}
