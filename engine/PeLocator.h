#pragma once
#include <windows.h>
#include <cstdint>

#include "common/PeFormat.h"

inline constexpr int MAX_SECTIONS = 20;
inline constexpr uint32_t OPTIONAL_HEADER_READ = OPTIONAL_HEADER_FIXED_SIZE;  // without the data directories

// The headers of the file under examination: just enough to turn an RVA into a
// file offset. One instance, overwritten for every examined file.
struct PeHeaders {
  uint16_t peHeaderOffset;       // low half of e_lfanew
  IMAGE_FILE_HEADER fileHeader;  // only NumberOfSections is used
  unsigned char optionalHeader[OPTIONAL_HEADER_READ];
  IMAGE_SECTION_HEADER sections[MAX_SECTIONS];  // entries past NumberOfSections are zero
};
static_assert(sizeof(IMAGE_FILE_HEADER) == FILE_HEADER_SIZE);
static_assert(sizeof(IMAGE_SECTION_HEADER) == SECTION_HEADER_SIZE);

extern PeHeaders peHeaders;
void ResetPeHeaders();

// Checks the "PE\0\0" signature at e_lfanew and reads the COFF file header.
// 1 on success, 0 on any seek or read failure.
int ReadFileHeader(int fd);

// Reads the optional header and the section table (at most MAX_SECTIONS).
// Call only after ReadFileHeader succeeded on the same file.
int ReadOptionalHeaderAndSections(int fd);

// Turns an RVA into a file offset by the section it falls in (the caller seeks).
uint32_t RvaToFileOffset(uint32_t rva, int fd);

// Fields of the optional header the detection step uses.
uint32_t EntryPointRva();
uint32_t SizeOfHeaders();

// The file's length as the engine's signed 32-bit length, or -1 when it cannot
// be had or does not fit (files of 2 GiB and more are never examined).
int32_t FileLength32(int fd);
