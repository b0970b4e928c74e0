#include "tools/samplemaker/PeWriter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t SYSTEM_VERSION = 4;       // OS version 4.0
constexpr uint32_t RESERVE_SIZE = 0x100000;  // stack and heap
constexpr uint32_t COMMIT_SIZE = 0x1000;
constexpr uint32_t DOS_TEXT_AT = 0x40;

// Where the fields that differ between PE32 and PE32+ lie.
struct OptionalLayout {
  uint32_t imageBase, stackReserve, stackCommit, heapReserve, heapCommit, directoryCount, directories;
};
constexpr OptionalLayout PE32_LAYOUT = {OPTIONAL_IMAGE_BASE,       OPTIONAL_STACK_RESERVE, OPTIONAL_STACK_COMMIT,
                                        OPTIONAL_HEAP_RESERVE,     OPTIONAL_HEAP_COMMIT,   OPTIONAL_DIRECTORY_COUNT,
                                        OPTIONAL_HEADER_FIXED_SIZE};
constexpr OptionalLayout PE64_LAYOUT = {PE64_IMAGE_BASE,       PE64_STACK_RESERVE, PE64_STACK_COMMIT,
                                        PE64_HEAP_RESERVE,     PE64_HEAP_COMMIT,   PE64_DIRECTORY_COUNT,
                                        PE64_HEADER_FIXED_SIZE};

const OptionalLayout& LayoutOf(const PeImage& image) { return image.wide ? PE64_LAYOUT : PE32_LAYOUT; }

uint32_t DirectoryCount(const PeImage& image) {
  return (PE32_OPTIONAL_HEADER_SIZE - LayoutOf(image).directories) / DIRECTORY_ENTRY_SIZE;
}

// A field that is 64 bits wide in PE32+ and 32 bits in PE32.
bool PutWide(std::vector<unsigned char>& b, const PeImage& image, uint32_t at, uint64_t value) {
  return image.wide ? Put64(b, at, value) : Put32(b, at, static_cast<uint32_t>(value));
}

bool WriteFileHeader(std::vector<unsigned char>& b, const PeImage& image) {
  const uint32_t fh = SAMPLE_PE_OFFSET + PE_SIGNATURE_SIZE;
  const std::size_t textRoom = SAMPLE_PE_OFFSET - DOS_TEXT_AT;
  return Put16(b, 0, DOS_SIGNATURE) && Put32(b, DOS_LFANEW_FIELD, SAMPLE_PE_OFFSET) &&
         PutBytes(b, DOS_TEXT_AT, image.dosText, std::min(std::strlen(image.dosText), textRoom)) &&
         Put32(b, SAMPLE_PE_OFFSET, PE_SIGNATURE) && Put16(b, fh + FILE_HEADER_MACHINE, image.machine) &&
         Put16(b, fh + FILE_HEADER_SECTION_COUNT, static_cast<uint16_t>(image.sections.size())) &&
         Put16(b, fh + FILE_HEADER_OPTIONAL_SIZE, PE32_OPTIONAL_HEADER_SIZE) &&
         Put16(b, fh + FILE_HEADER_CHARACTERISTICS, image.characteristics);
}

bool WriteOptionalHeader(std::vector<unsigned char>& b, const PeImage& image) {
  const uint32_t oh = SAMPLE_PE_OFFSET + OPTIONAL_HEADER_OFFSET;
  const OptionalLayout& layout = LayoutOf(image);
  const PeSection& first = image.sections.front();
  const PeSection& last = image.sections.back();
  const uint32_t imageEnd = std::max(last.virtualAddress + last.virtualSize, image.entryPoint + 1);
  return Put16(b, oh + OPTIONAL_MAGIC, image.wide ? PE32_PLUS_MAGIC : PE32_MAGIC) &&
         Put32(b, oh + OPTIONAL_SIZE_OF_CODE, first.rawSize) && Put32(b, oh + OPTIONAL_ENTRY_POINT, image.entryPoint) &&
         Put32(b, oh + OPTIONAL_BASE_OF_CODE, first.virtualAddress) &&
         PutWide(b, image, oh + layout.imageBase, image.imageBase) &&
         Put32(b, oh + OPTIONAL_SECTION_ALIGNMENT, PE_SECTION_ALIGNMENT) &&
         Put32(b, oh + OPTIONAL_FILE_ALIGNMENT, PE_FILE_ALIGNMENT) &&
         Put16(b, oh + OPTIONAL_OS_VERSION, SYSTEM_VERSION) &&
         Put16(b, oh + OPTIONAL_SUBSYSTEM_VERSION, image.subsystemMajor) &&
         Put16(b, oh + OPTIONAL_SUBSYSTEM_VERSION + 2, image.subsystemMinor) &&
         Put32(b, oh + OPTIONAL_SIZE_OF_IMAGE, AlignUp(imageEnd, PE_SECTION_ALIGNMENT)) &&
         Put32(b, oh + OPTIONAL_SIZE_OF_HEADERS, SAMPLE_HEADERS_SIZE) &&
         Put16(b, oh + OPTIONAL_SUBSYSTEM, image.subsystem) &&
         PutWide(b, image, oh + layout.stackReserve, RESERVE_SIZE) &&
         PutWide(b, image, oh + layout.stackCommit, COMMIT_SIZE) &&
         PutWide(b, image, oh + layout.heapReserve, RESERVE_SIZE) &&
         PutWide(b, image, oh + layout.heapCommit, COMMIT_SIZE) &&
         Put32(b, oh + layout.directoryCount, DirectoryCount(image));
}

bool WriteSectionTable(std::vector<unsigned char>& b, const PeImage& image) {
  uint32_t at = SAMPLE_SECTION_TABLE;
  for (const PeSection& s : image.sections) {
    if (!PutBytes(b, at, s.name, std::min<std::size_t>(std::strlen(s.name), SECTION_NAME_SIZE)) ||
        !Put32(b, at + SECTION_VIRTUAL_SIZE, s.virtualSize) ||
        !Put32(b, at + SECTION_VIRTUAL_ADDRESS, s.virtualAddress) || !Put32(b, at + SECTION_RAW_SIZE, s.rawSize) ||
        !Put32(b, at + SECTION_RAW_POINTER, s.rawPointer) || !Put32(b, at + SECTION_CHARACTERISTICS, s.characteristics))
      return false;
    at += SECTION_HEADER_SIZE;
  }
  return at <= SAMPLE_HEADERS_SIZE;
}

}  // namespace

bool Put16(std::vector<unsigned char>& bytes, uint32_t at, uint16_t value) {
  const unsigned char le[] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
  return PutBytes(bytes, at, le, sizeof le);
}

// The higher half first: a store that would pass the end writes nothing at all.
bool Put32(std::vector<unsigned char>& bytes, uint32_t at, uint32_t value) {
  return Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16)) && Put16(bytes, at, static_cast<uint16_t>(value));
}

bool Put64(std::vector<unsigned char>& bytes, uint32_t at, uint64_t value) {
  return Put32(bytes, at + 4, static_cast<uint32_t>(value >> 32)) && Put32(bytes, at, static_cast<uint32_t>(value));
}

bool PutBytes(std::vector<unsigned char>& bytes, uint32_t at, const void* data, std::size_t size) {
  if (at > bytes.size() || size > bytes.size() - at) return false;
  if (size > 0) std::memcpy(&bytes[at], data, size);
  return true;
}

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }
uint32_t AlignDown(uint32_t value, uint32_t alignment) { return value / alignment * alignment; }

bool WritePeHeaders(std::vector<unsigned char>& bytes, const PeImage& image) {
  return !image.sections.empty() && WriteFileHeader(bytes, image) && WriteOptionalHeader(bytes, image) &&
         WriteSectionTable(bytes, image);
}

bool PutDirectory(std::vector<unsigned char>& bytes, const PeImage& image, uint32_t index, uint32_t rva,
                  uint32_t size) {
  if (index >= DirectoryCount(image)) return false;
  const uint32_t at =
      SAMPLE_PE_OFFSET + OPTIONAL_HEADER_OFFSET + LayoutOf(image).directories + index * DIRECTORY_ENTRY_SIZE;
  return Put32(bytes, at, rva) && Put32(bytes, at + 4, size);
}
