// Fuzz target: any bytes as an old wininit.ini, rewritten with one more
// [rename] entry over real files in a temporary folder. The first byte says
// whether the old file exists; the rest is its content. The new file must be
// the old one with the entry (and the section header, and a line end for an
// open last line, where needed) put in at one place.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "repair/WininitText.h"

namespace {

constexpr char KEY[] = "NUL";
constexpr char VALUE[] = "C:\\QUELLO~1\\A.EXE";
const std::string ENTRY = std::string(KEY) + "=" + VALUE + "\r\n";

// The temporary folder of this run, made once and removed at exit.
std::string folder;

void RemoveFolder() {
  std::remove((folder + "/old.ini").c_str());
  std::remove((folder + "/new.ini").c_str());
  rmdir(folder.c_str());
}

const std::string& Folder() {
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wininit-fuzz-XXXXXX";
    if (!mkdtemp(&pattern[0])) std::abort();
    folder = pattern;
    std::atexit(RemoveFolder);
  }
  return folder;
}

bool WriteAll(const std::string& path, const uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) std::abort();
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  std::fclose(file);
  return bytes;
}

// True when fresh is old with one of the allowed insertions at one place.
bool IsOldWithEntry(const std::string& old, const std::string& fresh) {
  const std::string inserts[] = {ENTRY, "\r\n" + ENTRY, "[rename]\r\n" + ENTRY, "\r\n[rename]\r\n" + ENTRY};
  for (const std::string& insert : inserts) {
    if (fresh.size() != old.size() + insert.size()) continue;
    std::size_t at = 0;
    while (at < old.size() && old[at] == fresh[at]) ++at;
    // Before the first difference the two agree, so only the insertion and
    // what follows it need comparing; it may begin at any place up to there.
    for (std::size_t k = at + 1; k-- > 0;) {
      if (fresh.compare(k, insert.size(), insert) == 0 &&
          fresh.compare(k + insert.size(), std::string::npos, old, k, std::string::npos) == 0)
        return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool exists = (data[0] & 1) != 0;
  const std::string oldPath = Folder() + "/old.ini", newPath = Folder() + "/new.ini";
  std::FILE* old = nullptr;
  if (exists) {
    if (!WriteAll(oldPath, data + 1, size - 1)) return 0;
    old = std::fopen(oldPath.c_str(), "rb");
    if (!old) return 0;
  }
  std::FILE* out = std::fopen(newPath.c_str(), "wb");
  if (!out) std::abort();
  const bool written = WriteWininitContent(old, out, KEY, VALUE);
  if (old) std::fclose(old);
  if (std::fclose(out) != 0 || !written) std::abort();  // real files here: nothing may fail
  const std::string fresh = ReadAll(newPath);
  if (!exists) {
    if (fresh != "[rename]\r\n" + ENTRY) std::abort();
    return 0;
  }
  if (!IsOldWithEntry(std::string(reinterpret_cast<const char*>(data + 1), size - 1), fresh)) std::abort();
  return 0;
}
