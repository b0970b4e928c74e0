#include "tools/samplemaker/SampleMaker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t CODE_SECTION = SECTION_CODE | SECTION_EXECUTABLE | SECTION_READABLE;
constexpr uint32_t DATA_SECTION = SECTION_INITIALISED_DATA | SECTION_READABLE | SECTION_WRITABLE;
// Lowest RVA a window may have: above the headers' page and the first section page.
constexpr uint32_t LOWEST_WINDOW_RVA = 0x2000;
// Sub-page part of the entry point, so windows do not all sit on page starts.
constexpr uint32_t ENTRY_POINT_PAGE_OFFSET = 0x234;
// Cut inside the optional header, 40 bytes after its start.
constexpr uint32_t TRUNCATED_SIZE = SAMPLE_PE_OFFSET + OPTIONAL_HEADER_OFFSET + 40;

struct Window {
  uint32_t rva;
  const unsigned char* signature;
};

// An entry point that keeps both windows' RVAs positive and above the headers.
uint32_t ChooseEntryPoint(int32_t offset1, int32_t offset2) {
  const int64_t lowest = std::min<int64_t>({0, offset1, offset2});
  return AlignUp(static_cast<uint32_t>(-lowest), PE_SECTION_ALIGNMENT) + LOWEST_WINDOW_RVA + ENTRY_POINT_PAGE_OFFSET;
}

// One section from the page of the window's RVA to the window's end.
PeSection SectionFor(uint32_t fromRva, uint32_t toRva, uint32_t rawPointer) {
  PeSection s = {};
  s.virtualAddress = AlignDown(fromRva, PE_SECTION_ALIGNMENT);
  s.virtualSize = toRva + SIGNATURE_LENGTH - s.virtualAddress;
  s.rawPointer = rawPointer;
  s.rawSize = AlignUp(s.virtualSize, PE_FILE_ALIGNMENT);
  return s;
}

// Lays out sections so that both windows map into a file of fileSize bytes:
// one section when the windows fit together, else one section each (the
// lower section ends before the higher window, so the lookup of the higher
// window passes over it).
bool LayOutSections(const Window& low, const Window& high, uint32_t fileSize, std::vector<PeSection>& sections) {
  const PeSection both = SectionFor(low.rva, high.rva, SAMPLE_HEADERS_SIZE);
  if (static_cast<uint64_t>(both.rawPointer) + both.rawSize <= fileSize) {
    sections.assign(1, both);
    return true;
  }
  const PeSection first = SectionFor(low.rva, low.rva, SAMPLE_HEADERS_SIZE);
  const PeSection second = SectionFor(high.rva, high.rva, first.rawPointer + first.rawSize);
  if (first.virtualAddress + first.virtualSize > high.rva) return false;
  if (static_cast<uint64_t>(second.rawPointer) + second.rawSize > fileSize) return false;
  sections.assign(1, first);
  sections.push_back(second);
  return true;
}

uint32_t FileOffsetOf(uint32_t rva, const std::vector<PeSection>& sections) {
  for (const PeSection& s : sections) {
    if (s.virtualAddress + s.virtualSize > rva) return rva - s.virtualAddress + s.rawPointer;
  }
  return 0;
}

bool WriteHeaders(std::vector<unsigned char>& b, uint32_t entryPoint, const std::vector<PeSection>& sections) {
  PeImage image;
  image.entryPoint = entryPoint;
  image.dosText = "Test sample: data only.";
  image.sections = sections;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    image.sections[i].name = i == 0 ? ".text" : ".data";
    image.sections[i].characteristics = i == 0 ? CODE_SECTION : DATA_SECTION;
  }
  return WritePeHeaders(b, image);
}

bool WindowHolds(const std::vector<unsigned char>& b, uint32_t at, const unsigned char* signature) {
  return std::memcmp(&b[at], signature, SIGNATURE_LENGTH) == 0;
}

}  // namespace

bool BuildSample(const VariantRecord& record, SampleKind kind, std::vector<unsigned char>& bytes, SampleLayout* layout,
                 int window) {
  bytes.clear();
  const uint32_t fileSize = record.fileSize;
  if (fileSize < SAMPLE_HEADERS_SIZE + PE_FILE_ALIGNMENT) return false;
  const uint32_t entryPoint = ChooseEntryPoint(record.offset1, record.offset2);
  const Window w1{entryPoint + static_cast<uint32_t>(record.offset1), record.signature1};
  const Window w2{entryPoint + static_cast<uint32_t>(record.offset2), record.signature2};
  const Window& low = w1.rva <= w2.rva ? w1 : w2;
  const Window& high = w1.rva <= w2.rva ? w2 : w1;
  std::vector<PeSection> sections;
  if (!LayOutSections(low, high, fileSize, sections)) return false;

  std::vector<unsigned char> b(fileSize, 0);
  if (!WriteHeaders(b, entryPoint, sections)) return false;
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
