#include "repair/StartupMatch.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "common/Text.h"
#include "engine/ScanState.h"
#include "repair/RegistryOps.h"

namespace {

// Size of the buffer the environment expansion writes into.
constexpr DWORD EXPANDED_SIZE = 261;
// Folders from which a value naming the bare file name starts the file.
const char* const SYSTEM_FOLDERS[] = {"\\system\\", "\\system32\\"};

// Lower-cases single-byte text in place, as the C library does.
void LowerCase(char* text) {
  for (; *text; ++text) *text = static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
}

const char* SkipOpeningQuote(const char* text) { return *text == '"' ? text + 1 : text; }

bool InSystemFolder(const char* path) {
  for (const char* folder : SYSTEM_FOLDERS)
    if (std::strstr(path, folder)) return true;
  return false;
}

// Expands environment references of data. False when the expansion fails; an
// expansion too long for the buffer leaves it empty, so that only the data
// itself is compared.
bool Expand(const char* data, char* expanded) {
  const DWORD needed = ExpandEnvironmentStringsA(data, expanded, EXPANDED_SIZE);
  if (needed == 0) return false;
  if (needed > EXPANDED_SIZE) expanded[0] = '\0';
  expanded[EXPANDED_SIZE - 1] = '\0';
  return true;
}

}  // namespace

const char* FileNamePart(const char* path) {
  const char* tail = PathTail(path);
  return tail == path || *tail == '\0' ? nullptr : tail;
}

StartupVerdict JudgeStartupData(const char* bytes, std::size_t size, char* infectedPath) {
  const char* fileName = FileNamePart(infectedPath);
  if (!fileName) return StartupVerdict::Keep;
  char data[REGISTRY_DATA_SIZE] = {};
  std::memcpy(data, bytes, size < sizeof data - 1 ? size : sizeof data - 1);
  LowerCase(data);
  LowerCase(infectedPath);
  char expanded[EXPANDED_SIZE];
  if (!Expand(data, expanded)) return StartupVerdict::Keep;
  LowerCase(expanded);
  const bool bare = !std::strchr(data, '\\') || data[0] == '\\';
  if (bare && std::strstr(data, fileName))
    return InSystemFolder(infectedPath) ? StartupVerdict::RemoveBareName : StartupVerdict::Keep;
  const std::size_t length = std::strlen(infectedPath);
  if (std::strncmp(SkipOpeningQuote(data), infectedPath, length) == 0 ||
      std::strncmp(SkipOpeningQuote(expanded), infectedPath, length) == 0)
    return StartupVerdict::RemovePath;
  return StartupVerdict::Keep;
}

void RememberValueName(const char* name) {
  if (std::strlen(name) < REMOVED_VALUE_NAME_SIZE) CopyText(removedValueName, REMOVED_VALUE_NAME_SIZE, name);
}
