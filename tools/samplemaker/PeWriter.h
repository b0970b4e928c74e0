#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/PeFormat.h"

// Writes the headers of the PE images made here: the sample maker's data
// samples and the process tests' runnable program. Each has its PE signature
// at SAMPLE_PE_OFFSET, an optional header of 224 bytes (the section table lies
// where the image locator reads it) and SAMPLE_HEADERS_SIZE bytes of headers.

inline constexpr uint32_t SAMPLE_PE_OFFSET = 0x80;
inline constexpr uint32_t SAMPLE_SECTION_TABLE = SAMPLE_PE_OFFSET + SECTION_TABLE_OFFSET;
inline constexpr uint32_t SAMPLE_HEADERS_SIZE = 0x400;
inline constexpr uint32_t PE_FILE_ALIGNMENT = 0x200;
inline constexpr uint32_t PE_SECTION_ALIGNMENT = 0x1000;

// Little-endian stores into a file's bytes. A store that would pass the end
// of bytes writes nothing and returns false.
bool Put16(std::vector<unsigned char>& bytes, uint32_t at, uint16_t value);
bool Put32(std::vector<unsigned char>& bytes, uint32_t at, uint32_t value);
bool Put64(std::vector<unsigned char>& bytes, uint32_t at, uint64_t value);
bool PutBytes(std::vector<unsigned char>& bytes, uint32_t at, const void* data, std::size_t size);

uint32_t AlignUp(uint32_t value, uint32_t alignment);
uint32_t AlignDown(uint32_t value, uint32_t alignment);

struct PeSection {
  const char* name = "";  // at most SECTION_NAME_SIZE characters
  uint32_t virtualAddress = 0, virtualSize = 0, rawPointer = 0, rawSize = 0;
  uint32_t characteristics = 0;  // SECTION_* flags
};

// What an image's headers say; the defaults are the sample maker's, a PE32
// i386 GUI image. A PE32 optional header holds 16 data directories, a PE32+
// one 14, so that both are 224 bytes long.
struct PeImage {
  uint16_t machine = MACHINE_I386;
  uint16_t characteristics = CHARACTERISTICS_EXECUTABLE_32BIT;
  bool wide = false;  // PE32+: 64-bit image base and stack and heap sizes
  uint64_t imageBase = 0x400000;
  uint32_t entryPoint = 0;
  uint16_t subsystem = SUBSYSTEM_WINDOWS_GUI;
  uint16_t subsystemMajor = 4, subsystemMinor = 0;
  const char* dosText = "";  // a line in the DOS header saying what the file is
  std::vector<PeSection> sections;
};

// Writes the DOS header, the PE signature, the file and optional headers and
// the section table (the data directories stay zero). False when the image
// has no section or the headers do not fit bytes.
bool WritePeHeaders(std::vector<unsigned char>& bytes, const PeImage& image);

// Writes data directory index (DIRECTORY_*) of headers WritePeHeaders wrote.
bool PutDirectory(std::vector<unsigned char>& bytes, const PeImage& image, uint32_t index, uint32_t rva, uint32_t size);
