#pragma once
#include <string>
#include <vector>

// Real folders and files for tests, made and removed through the platform.

// A fresh empty folder (removed first when it exists); removed again when the
// object goes out of scope.
class TempTree {
 public:
  explicit TempTree(const std::string& root);
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
  // Creates the folder (and its parents) below the root; returns its path.
  std::string Folder(const std::string& relative) const;
  // Writes a file below the root (its folder is created); returns its path.
  std::string File(const std::string& relative, const std::string& content = "data") const;

 private:
  std::string root_;
};

// Deletes a folder and everything in it; read-only files are made writable first.
void RemoveTree(const std::string& path);
bool FileExists(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& content);
std::string ReadTextFile(const std::string& path);
