// Host stand-ins for the two Windows text services that the fuzzed readers
// call. They keep the contracts the readers rely on: the sizes returned, the
// terminator, and failure on a buffer too small.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

// CP_ACP of a Western machine, simplified: code units below 256 become that
// byte, any other becomes "?". With wideCount -1 the terminator is converted
// too and counted. 0 when narrow cannot hold the result.
int WideCharToMultiByte(UINT, DWORD, const WCHAR* wide, int wideCount, char* narrow, int narrowSize, const char*,
                        BOOL*) {
  std::size_t count = 0;
  if (wideCount == -1) {
    while (wide[count] != 0) ++count;
    ++count;
  } else if (wideCount > 0) {
    count = static_cast<std::size_t>(wideCount);
  } else {
    return 0;
  }
  if (narrowSize == 0) return static_cast<int>(count);
  if (narrowSize < 0 || count > static_cast<std::size_t>(narrowSize)) return 0;
  for (std::size_t i = 0; i < count; ++i) narrow[i] = wide[i] < 256 ? static_cast<char>(wide[i]) : '?';
  return static_cast<int>(count);
}

// %NAME% references of set variables are replaced by their values; a
// reference to an unset one, and a lone "%", stay as they are. Returns the size the whole result needs, terminator
// included; a result larger than size is written only as far as it fits.
DWORD ExpandEnvironmentStringsA(const char* source, char* destination, DWORD size) {
  std::string result;
  for (const char* at = source; *at;) {
    const char* end = *at == '%' ? std::strchr(at + 1, '%') : nullptr;
    if (end && end > at + 1) {
      const std::string name(at + 1, end);
      const char* value = std::getenv(name.c_str());
      if (value) result += value;
      else result.append(at, end + 1);
      at = end + 1;
      continue;
    }
    result += *at++;
  }
  const std::size_t needed = result.size() + 1;
  if (size > 0) {
    const std::size_t copied = needed <= size ? needed : size;
    std::memcpy(destination, result.c_str(), copied);
    destination[copied - 1] = '\0';
  }
  return static_cast<DWORD>(needed);
}
