#include "tools/samplemaker/SampleMaker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t FILE_ALIGNMENT = 0x200;
constexpr uint32_t SECTION_ALIGNMENT = 0x1000;
constexpr uint32_t IMAGE_BASE = 0x400000;
constexpr uint16_t SYSTEM_VERSION = 4;       // OS and subsystem version 4.0
constexpr uint32_t RESERVE_SIZE = 0x100000;  // stack and heap
constexpr uint32_t COMMIT_SIZE = 0x1000;
constexpr uint32_t DIRECTORY_COUNT = 16;
constexpr uint32_t CODE_SECTION = 0x60000020u;  // code, executable, readable
constexpr uint32_t DATA_SECTION = 0xC0000040u;  // initialised data, readable, writable
// Lowest RVA a window may have: above the headers' page and the first section page.
constexpr uint32_t LOWEST_WINDOW_RVA = 0x2000;
// Sub-page part of the entry point, so windows do not all sit on page starts.
constexpr uint32_t ENTRY_POINT_PAGE_OFFSET = 0x234;
// Cut inside the optional header, 40 bytes after its start.
constexpr uint32_t TRUNCATED_SIZE = SAMPLE_PE_OFFSET + OPTIONAL_HEADER_OFFSET + 40;

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }
uint32_t AlignDown(uint32_t value, uint32_t alignment) { return value / alignment * alignment; }

void Put16(std::vector<unsigned char>& b, uint32_t at, uint16_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}

void Put32(std::vector<unsigned char>& b, uint32_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

struct Section {
  uint32_t virtualAddress, virtualSize, rawPointer, rawSize;
};

struct Window {
  uint32_t rva;
  const unsigned char* signature;
};

// An entry point that keeps both windows' RVAs positive and above the headers.
uint32_t ChooseEntryPoint(int32_t offset1, int32_t offset2) {
  const int64_t lowest = std::min<int64_t>({0, offset1, offset2});
  return AlignUp(static_cast<uint32_t>(-lowest), SECTION_ALIGNMENT) + LOWEST_WINDOW_RVA + ENTRY_POINT_PAGE_OFFSET;
}

// One section from the page of the window's RVA to the window's end.
Section SectionFor(uint32_t fromRva, uint32_t toRva, uint32_t rawPointer) {
  Section s;
  s.virtualAddress = AlignDown(fromRva, SECTION_ALIGNMENT);
  s.virtualSize = toRva + SIGNATURE_LENGTH - s.virtualAddress;
  s.rawPointer = rawPointer;
  s.rawSize = AlignUp(s.virtualSize, FILE_ALIGNMENT);
  return s;
}

// Lays out sections so that both windows map into a file of fileSize bytes:
// one section when the windows fit together, else one section each (the
// lower section ends before the higher window, so the lookup of the higher
// window passes over it).
bool LayOutSections(const Window& low, const Window& high, uint32_t fileSize, std::vector<Section>& sections) {
  const Section both = SectionFor(low.rva, high.rva, SAMPLE_HEADERS_SIZE);
  if (static_cast<uint64_t>(both.rawPointer) + both.rawSize <= fileSize) {
    sections.assign(1, both);
    return true;
  }
  const Section first = SectionFor(low.rva, low.rva, SAMPLE_HEADERS_SIZE);
  const Section second = SectionFor(high.rva, high.rva, first.rawPointer + first.rawSize);
  if (first.virtualAddress + first.virtualSize > high.rva) return false;
  if (static_cast<uint64_t>(second.rawPointer) + second.rawSize > fileSize) return false;
  sections.assign(1, first);
  sections.push_back(second);
  return true;
}

uint32_t FileOffsetOf(uint32_t rva, const std::vector<Section>& sections) {
  for (const Section& s : sections) {
    if (s.virtualAddress + s.virtualSize > rva) return rva - s.virtualAddress + s.rawPointer;
  }
  return 0;
}

void WriteHeaders(std::vector<unsigned char>& b, uint32_t entryPoint, const std::vector<Section>& sections) {
  Put16(b, 0, DOS_SIGNATURE);
  Put32(b, DOS_LFANEW_FIELD, SAMPLE_PE_OFFSET);
  const char* stub = "Test sample: data only.";
  std::memcpy(&b[0x40], stub, std::strlen(stub));
  const uint32_t pe = SAMPLE_PE_OFFSET;
  Put32(b, pe, PE_SIGNATURE);
  const uint32_t fh = pe + PE_SIGNATURE_SIZE;
  Put16(b, fh + FILE_HEADER_MACHINE, MACHINE_I386);
  Put16(b, fh + FILE_HEADER_SECTION_COUNT, static_cast<uint16_t>(sections.size()));
  Put16(b, fh + FILE_HEADER_OPTIONAL_SIZE, PE32_OPTIONAL_HEADER_SIZE);
  Put16(b, fh + FILE_HEADER_CHARACTERISTICS, CHARACTERISTICS_EXECUTABLE_32BIT);
  const uint32_t oh = pe + OPTIONAL_HEADER_OFFSET;
  const Section& last = sections.back();
  const uint32_t imageEnd = std::max(last.virtualAddress + last.virtualSize, entryPoint + 1);
  Put16(b, oh + OPTIONAL_MAGIC, PE32_MAGIC);
  Put32(b, oh + OPTIONAL_SIZE_OF_CODE, sections.front().rawSize);
  Put32(b, oh + OPTIONAL_ENTRY_POINT, entryPoint);
  Put32(b, oh + OPTIONAL_BASE_OF_CODE, sections.front().virtualAddress);
  Put32(b, oh + OPTIONAL_IMAGE_BASE, IMAGE_BASE);
  Put32(b, oh + OPTIONAL_SECTION_ALIGNMENT, SECTION_ALIGNMENT);
  Put32(b, oh + OPTIONAL_FILE_ALIGNMENT, FILE_ALIGNMENT);
  Put16(b, oh + OPTIONAL_OS_VERSION, SYSTEM_VERSION);
  Put16(b, oh + OPTIONAL_SUBSYSTEM_VERSION, SYSTEM_VERSION);
  Put32(b, oh + OPTIONAL_SIZE_OF_IMAGE, AlignUp(imageEnd, SECTION_ALIGNMENT));
  Put32(b, oh + OPTIONAL_SIZE_OF_HEADERS, SAMPLE_HEADERS_SIZE);
  Put16(b, oh + OPTIONAL_SUBSYSTEM, SUBSYSTEM_WINDOWS_GUI);
  Put32(b, oh + OPTIONAL_STACK_RESERVE, RESERVE_SIZE);
  Put32(b, oh + OPTIONAL_STACK_COMMIT, COMMIT_SIZE);
  Put32(b, oh + OPTIONAL_HEAP_RESERVE, RESERVE_SIZE);
  Put32(b, oh + OPTIONAL_HEAP_COMMIT, COMMIT_SIZE);
  Put32(b, oh + OPTIONAL_DIRECTORY_COUNT, DIRECTORY_COUNT);
  uint32_t at = SAMPLE_SECTION_TABLE;
  for (std::size_t i = 0; i < sections.size(); ++i, at += SECTION_HEADER_SIZE) {
    const Section& s = sections[i];
    std::memcpy(&b[at], i == 0 ? ".text" : ".data", 5);
    Put32(b, at + SECTION_VIRTUAL_SIZE, s.virtualSize);
    Put32(b, at + SECTION_VIRTUAL_ADDRESS, s.virtualAddress);
    Put32(b, at + SECTION_RAW_SIZE, s.rawSize);
    Put32(b, at + SECTION_RAW_POINTER, s.rawPointer);
    Put32(b, at + SECTION_CHARACTERISTICS, i == 0 ? CODE_SECTION : DATA_SECTION);
  }
}

bool WindowHolds(const std::vector<unsigned char>& b, uint32_t at, const unsigned char* signature) {
  return std::memcmp(&b[at], signature, SIGNATURE_LENGTH) == 0;
}

}  // namespace

bool BuildSample(const VariantRecord& record, SampleKind kind, std::vector<unsigned char>& bytes, SampleLayout* layout,
                 int window) {
  bytes.clear();
  const uint32_t fileSize = record.fileSize;
  if (fileSize < SAMPLE_HEADERS_SIZE + FILE_ALIGNMENT) return false;
  const uint32_t entryPoint = ChooseEntryPoint(record.offset1, record.offset2);
  const Window w1{entryPoint + static_cast<uint32_t>(record.offset1), record.signature1};
  const Window w2{entryPoint + static_cast<uint32_t>(record.offset2), record.signature2};
  const Window& low = w1.rva <= w2.rva ? w1 : w2;
  const Window& high = w1.rva <= w2.rva ? w2 : w1;
  std::vector<Section> sections;
  if (!LayOutSections(low, high, fileSize, sections)) return false;

  std::vector<unsigned char> b(fileSize, 0);
  WriteHeaders(b, entryPoint, sections);
  const uint32_t at1 = FileOffsetOf(w1.rva, sections);
  const uint32_t at2 = FileOffsetOf(w2.rva, sections);
  std::memcpy(&b[at1], record.signature1, SIGNATURE_LENGTH);
  std::memcpy(&b[at2], record.signature2, SIGNATURE_LENGTH);
  // Overlapping windows must agree on their common bytes.
  if (!WindowHolds(b, at1, record.signature1) || !WindowHolds(b, at2, record.signature2)) return false;

  switch (kind) {
    case SampleKind::Match:
      break;
    case SampleKind::WindowByteChanged:
      b[(window == 2 ? at2 : at1) + SIGNATURE_LENGTH / 2] ^= 0xFF;
      break;
    case SampleKind::NotPe:
      std::memcpy(&b[SAMPLE_PE_OFFSET], "NE\0\0", 4);
      break;
    case SampleKind::TruncatedHeaders:
      b.resize(TRUNCATED_SIZE);
      break;
  }
  if (layout) *layout = {entryPoint, at1, at2, static_cast<uint16_t>(sections.size())};
  bytes.swap(b);
  return true;
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool WriteSample(const VariantRecord& record, SampleKind kind, const std::string& path, int window) {
  std::vector<unsigned char> bytes;
  return BuildSample(record, kind, bytes, nullptr, window) && WriteBytes(path, bytes);
}

std::string BuildMarkerText() {
  const std::string marker = MARKER_PATTERN_TEXT;
  const std::size_t split = marker.size() / 2;
  return "begin\r\n"
         "# Test marker file: harmless text for a scan, nothing in it runs.\r\n"
         "127.0.0.1       localhost\r\n" +
         marker.substr(0, split) + "\r\n" + marker.substr(split) + "\r\nend\r\n";
}

bool WriteMarkerFile(const std::string& path) {
  const std::string text = BuildMarkerText();
  return WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}
