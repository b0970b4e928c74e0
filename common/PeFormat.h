#pragma once
#include <cstdint>

// Offsets and values of the PE image format that the image locator reads and
// the sample maker and the tests write. Offsets of a header's fields count
// from the start of that header.

// DOS header: "MZ", and e_lfanew, the file offset of the PE signature.
inline constexpr uint16_t DOS_SIGNATURE = 0x5A4D;
inline constexpr uint32_t DOS_LFANEW_FIELD = 0x3C;

// "PE\0\0" at e_lfanew, followed by the COFF file header.
inline constexpr uint32_t PE_SIGNATURE = 0x00004550;
inline constexpr uint32_t PE_SIGNATURE_SIZE = 4;
inline constexpr uint32_t FILE_HEADER_SIZE = 20;
inline constexpr uint32_t FILE_HEADER_MACHINE = 0;
inline constexpr uint32_t FILE_HEADER_SECTION_COUNT = 2;
inline constexpr uint32_t FILE_HEADER_OPTIONAL_SIZE = 16;
inline constexpr uint32_t FILE_HEADER_CHARACTERISTICS = 18;
inline constexpr uint16_t MACHINE_I386 = 0x14C;
inline constexpr uint16_t MACHINE_AMD64 = 0x8664;
inline constexpr uint16_t CHARACTERISTICS_RELOCS_STRIPPED = 0x0001;
inline constexpr uint16_t CHARACTERISTICS_EXECUTABLE = 0x0002;
inline constexpr uint16_t CHARACTERISTICS_LARGE_ADDRESS_AWARE = 0x0020;
inline constexpr uint16_t CHARACTERISTICS_EXECUTABLE_32BIT = 0x0102;

// The optional header follows the signature and the file header; a PE32 one
// is 224 bytes, and the section table follows it.
inline constexpr uint32_t OPTIONAL_HEADER_OFFSET = PE_SIGNATURE_SIZE + FILE_HEADER_SIZE;  // from e_lfanew
inline constexpr uint32_t PE32_OPTIONAL_HEADER_SIZE = 224;
inline constexpr uint32_t SECTION_TABLE_OFFSET = OPTIONAL_HEADER_OFFSET + PE32_OPTIONAL_HEADER_SIZE;  // 248
inline constexpr uint16_t PE32_MAGIC = 0x10B;
inline constexpr uint16_t PE32_PLUS_MAGIC = 0x20B;

// Fields of the PE32 optional header.
inline constexpr uint32_t OPTIONAL_MAGIC = 0;
inline constexpr uint32_t OPTIONAL_SIZE_OF_CODE = 4;
inline constexpr uint32_t OPTIONAL_ENTRY_POINT = 16;
inline constexpr uint32_t OPTIONAL_BASE_OF_CODE = 20;
inline constexpr uint32_t OPTIONAL_IMAGE_BASE = 28;
inline constexpr uint32_t OPTIONAL_SECTION_ALIGNMENT = 32;
inline constexpr uint32_t OPTIONAL_FILE_ALIGNMENT = 36;
inline constexpr uint32_t OPTIONAL_OS_VERSION = 40;
inline constexpr uint32_t OPTIONAL_SUBSYSTEM_VERSION = 48;
inline constexpr uint32_t OPTIONAL_SIZE_OF_IMAGE = 56;
inline constexpr uint32_t OPTIONAL_SIZE_OF_HEADERS = 60;
inline constexpr uint32_t OPTIONAL_SUBSYSTEM = 68;
inline constexpr uint32_t OPTIONAL_STACK_RESERVE = 72;
inline constexpr uint32_t OPTIONAL_STACK_COMMIT = 76;
inline constexpr uint32_t OPTIONAL_HEAP_RESERVE = 80;
inline constexpr uint32_t OPTIONAL_HEAP_COMMIT = 84;
inline constexpr uint32_t OPTIONAL_DIRECTORY_COUNT = 92;
// The PE32 optional header up to its data directories.
inline constexpr uint32_t OPTIONAL_HEADER_FIXED_SIZE = 96;
inline constexpr uint16_t SUBSYSTEM_WINDOWS_GUI = 2;
inline constexpr uint16_t SUBSYSTEM_WINDOWS_CUI = 3;

// Fields of the PE32+ optional header where they differ from PE32: a 64-bit
// image base and 64-bit stack and heap sizes move the later fields on.
inline constexpr uint32_t PE64_IMAGE_BASE = 24;
inline constexpr uint32_t PE64_STACK_RESERVE = 72;
inline constexpr uint32_t PE64_STACK_COMMIT = 80;
inline constexpr uint32_t PE64_HEAP_RESERVE = 88;
inline constexpr uint32_t PE64_HEAP_COMMIT = 96;
inline constexpr uint32_t PE64_DIRECTORY_COUNT = 108;
inline constexpr uint32_t PE64_HEADER_FIXED_SIZE = 112;

// The data directories (RVA and size) follow the fixed part of the optional
// header; the import table and its address table are the ones written here.
inline constexpr uint32_t DIRECTORY_ENTRY_SIZE = 8;
inline constexpr uint32_t DIRECTORY_IMPORT = 1;
inline constexpr uint32_t DIRECTORY_IMPORT_ADDRESSES = 12;

// One import descriptor: the lookup table, the library's name and the
// address table the loader fills, as RVAs. A zero descriptor ends the list.
inline constexpr uint32_t IMPORT_DESCRIPTOR_SIZE = 20;
inline constexpr uint32_t IMPORT_LOOKUP_TABLE = 0;
inline constexpr uint32_t IMPORT_LIBRARY_NAME = 12;
inline constexpr uint32_t IMPORT_ADDRESS_TABLE = 16;
// A hint/name entry: a 16-bit hint, then the function's name and a zero.
inline constexpr uint32_t IMPORT_HINT_SIZE = 2;

// One section header and its fields.
inline constexpr uint32_t SECTION_HEADER_SIZE = 40;
inline constexpr uint32_t SECTION_VIRTUAL_SIZE = 8;
inline constexpr uint32_t SECTION_VIRTUAL_ADDRESS = 12;
inline constexpr uint32_t SECTION_RAW_SIZE = 16;
inline constexpr uint32_t SECTION_RAW_POINTER = 20;
inline constexpr uint32_t SECTION_CHARACTERISTICS = 36;
inline constexpr uint32_t SECTION_NAME_SIZE = 8;
inline constexpr uint32_t SECTION_CODE = 0x00000020;
inline constexpr uint32_t SECTION_INITIALISED_DATA = 0x00000040;
inline constexpr uint32_t SECTION_EXECUTABLE = 0x20000000;
inline constexpr uint32_t SECTION_READABLE = 0x40000000;
inline constexpr uint32_t SECTION_WRITABLE = 0x80000000;
