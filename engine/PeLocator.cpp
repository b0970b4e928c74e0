#include "engine/PeLocator.h"

#include <io.h>

#include <cstring>

#include "common/FileRead.h"

PeHeaders peHeaders;

void ResetPeHeaders() { std::memset(&peHeaders, 0, sizeof peHeaders); }

namespace {

uint32_t OptionalHeaderField(uint32_t field) {
  uint32_t value;
  std::memcpy(&value, peHeaders.optionalHeader + field, sizeof value);
  return value;
}

}  // namespace

// Only the low 16 bits of e_lfanew are read.
int ReadFileHeader(int fd) {
  std::memset(&peHeaders.fileHeader, 0, sizeof peHeaders.fileHeader);
  peHeaders.peHeaderOffset = 0;
  if (!ReadExactAt(fd, DOS_LFANEW_FIELD, &peHeaders.peHeaderOffset, sizeof peHeaders.peHeaderOffset)) return 0;
  uint32_t signature = 0;
  if (!ReadExactAt(fd, peHeaders.peHeaderOffset, &signature, PE_SIGNATURE_SIZE)) return 0;
  if (signature != PE_SIGNATURE) return 0;
  return ReadExactAt(fd, peHeaders.peHeaderOffset + PE_SIGNATURE_SIZE, &peHeaders.fileHeader,
                     sizeof peHeaders.fileHeader)
             ? 1
             : 0;
}

// The section table is taken to follow a 224-byte (PE32) optional header
// (SECTION_TABLE_OFFSET); SizeOfOptionalHeader is not consulted, so a PE32+
// image is read at the same place and converts with whatever bytes lie there.
int ReadOptionalHeaderAndSections(int fd) {
  if (!ReadExactAt(fd, peHeaders.peHeaderOffset + OPTIONAL_HEADER_OFFSET, peHeaders.optionalHeader,
                   sizeof peHeaders.optionalHeader))
    return 0;
  const unsigned count = peHeaders.fileHeader.NumberOfSections;
  if (count > MAX_SECTIONS) return 0;
  std::memset(peHeaders.sections, 0, sizeof peHeaders.sections);
  return ReadExactAt(fd, peHeaders.peHeaderOffset + SECTION_TABLE_OFFSET, peHeaders.sections,
                     count * sizeof(IMAGE_SECTION_HEADER))
             ? 1
             : 0;
}

uint32_t RvaToFileOffset(uint32_t rva, int fd) {
  const unsigned count = peHeaders.fileHeader.NumberOfSections;  // at most MAX_SECTIONS here
  unsigned index = 0;
  while (index < count) {
    const IMAGE_SECTION_HEADER& s = peHeaders.sections[index];
    if (static_cast<uint32_t>(s.VirtualAddress + s.Misc.VirtualSize) > rva) break;
    ++index;
  }
  // Past the end of every section: convert with the last one. With no
  // sections, entry 0 is all zero and the RVA converts to itself.
  if (index == count && count > 0) index = count - 1;
  const IMAGE_SECTION_HEADER& chosen = peHeaders.sections[index];
  uint32_t offset = rva + chosen.PointerToRawData - chosen.VirtualAddress;
  if (offset >= static_cast<uint32_t>(FileLength32(fd))) offset = rva;
  return offset == 0 ? SizeOfHeaders() : offset;
}

uint32_t EntryPointRva() { return OptionalHeaderField(OPTIONAL_ENTRY_POINT); }

uint32_t SizeOfHeaders() { return OptionalHeaderField(OPTIONAL_SIZE_OF_HEADERS); }

int32_t FileLength32(int fd) {
  // All 64 bits of the length from the descriptor's own handle: GetFileSize
  // is there on every platform the program runs on, the runtime's 64-bit
  // length function is not.
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return -1;
  DWORD high = 0;
  const DWORD low = GetFileSize(handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  if (high != 0 || low > static_cast<DWORD>(INT32_MAX)) return -1;
  return static_cast<int32_t>(low);
}
