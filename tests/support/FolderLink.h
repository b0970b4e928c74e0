#pragma once
#include <string>

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
