#pragma once
#include <string>

// What the host makes of the prefix's files where Wine itself cannot: links to
// folders, and files that may be read but not changed. Each is made through
// the host's own programs, which Wine runs like any program.

// A link to a folder, on the file system while the object lives. Wine cannot
// make a junction (FSCTL_SET_REPARSE_POINT fails with ERROR_NOT_SUPPORTED, and
// CreateSymbolicLinkA answers TRUE yet makes nothing), but it shows a symbolic
// link of the host as a folder with FILE_ATTRIBUTE_REPARSE_POINT: the host
// makes one (and removes it again) through its own ln and rm, which Wine runs
// like any program. Elsewhere nothing is made and made() is false.
class FolderLink {
 public:
  FolderLink(std::string link, const std::string& target);
  ~FolderLink();
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;
  bool made() const { return made_; }

 private:
  std::string link_;
  std::string hostLink_;  // the link's path on the host
  bool made_ = false;
};

// The file at path made immutable on the host (chattr +i) while the object
// lives: it may still be read, but neither written, nor have its attributes
// changed, nor be deleted or renamed, even by root. Where the host cannot
// (no such program, or no right to it) nothing is made and made() is false.
class UnchangeableFile {
 public:
  explicit UnchangeableFile(std::string path);
  ~UnchangeableFile();
  UnchangeableFile(const UnchangeableFile&) = delete;
  UnchangeableFile& operator=(const UnchangeableFile&) = delete;
  bool made() const { return made_; }

 private:
  std::string path_;
  std::string hostPath_;
  bool made_ = false;
};
