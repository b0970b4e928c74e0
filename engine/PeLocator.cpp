#include "engine/PeLocator.h"

#include <io.h>

#include <cstring>

#include "common/FileRead.h"

PeHeaders peHeaders;

namespace {

// Where the DOS header keeps e_lfanew; only its low 16 bits are read.
constexpr long LFANEW_OFFSET = 60;
constexpr uint32_t PE_SIGNATURE = 0x00004550;  // "PE\0\0"
constexpr long PE_SIGNATURE_SIZE = 4;
// The optional header follows the 4-byte signature and the 20-byte file header.
constexpr long OPTIONAL_HEADER_OFFSET = 4 + sizeof(IMAGE_FILE_HEADER);
// The section table is taken to follow a 224-byte (PE32) optional header;
// SizeOfOptionalHeader is not consulted, so a PE32+ image is read at the
// same place and converts with whatever bytes lie there.
constexpr long SECTION_TABLE_OFFSET = OPTIONAL_HEADER_OFFSET + 224;
// Fields inside the optional header.
constexpr int ENTRY_POINT_FIELD = 16;
constexpr int SIZE_OF_HEADERS_FIELD = 60;

uint32_t OptionalHeaderField(int field) {
  uint32_t value;
  std::memcpy(&value, peHeaders.optionalHeader + field, sizeof value);
  return value;
}

}  // namespace

int ReadFileHeader(int fd) {
  std::memset(&peHeaders.fileHeader, 0, sizeof peHeaders.fileHeader);
  peHeaders.peHeaderOffset = 0;
  if (!ReadExactAt(fd, LFANEW_OFFSET, &peHeaders.peHeaderOffset, sizeof peHeaders.peHeaderOffset)) return 0;
  uint32_t signature = 0;
  if (!ReadExactAt(fd, peHeaders.peHeaderOffset, &signature, PE_SIGNATURE_SIZE)) return 0;
  if (signature != PE_SIGNATURE) return 0;
  return ReadExactAt(fd, peHeaders.peHeaderOffset + PE_SIGNATURE_SIZE, &peHeaders.fileHeader,
                     sizeof peHeaders.fileHeader) ? 1 : 0;
}

int ReadOptionalHeaderAndSections(int fd) {
  if (!ReadExactAt(fd, peHeaders.peHeaderOffset + OPTIONAL_HEADER_OFFSET, peHeaders.optionalHeader,
                   sizeof peHeaders.optionalHeader))
    return 0;
  const unsigned count = peHeaders.fileHeader.NumberOfSections;
  if (count > MAX_SECTIONS) return 0;
  std::memset(peHeaders.sections, 0, sizeof peHeaders.sections);
  return ReadExactAt(fd, peHeaders.peHeaderOffset + SECTION_TABLE_OFFSET, peHeaders.sections,
                     count * sizeof(IMAGE_SECTION_HEADER)) ? 1 : 0;
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

uint32_t EntryPointRva() { return OptionalHeaderField(ENTRY_POINT_FIELD); }

uint32_t SizeOfHeaders() { return OptionalHeaderField(SIZE_OF_HEADERS_FIELD); }

int32_t FileLength32(int fd) {
  const __int64 length = _filelengthi64(fd);
  if (length < 0 || length > INT32_MAX) return -1;
  return static_cast<int32_t>(length);
}
