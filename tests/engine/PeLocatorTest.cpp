#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/PeFormat.h"
#include "engine/PeLocator.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

struct SectionSpec {
  uint32_t virtualAddress, virtualSize, rawPointer;
};

// A hand-made PE image: DOS header with e_lfanew, signature, file header,
// PE32 optional header (entry point 0x1010, SizeOfHeaders 0x400) and sections.
class HandMadePe {
 public:
  explicit HandMadePe(uint32_t size, uint32_t peOffset = 0x80) : bytes(size, 0), pe(peOffset) {
    Put16(0, DOS_SIGNATURE);
    Put32(DOS_LFANEW_FIELD, pe);
    Put32(pe, PE_SIGNATURE);
    Put16(FileHeader() + FILE_HEADER_MACHINE, MACHINE_I386);
    Put16(FileHeader() + FILE_HEADER_OPTIONAL_SIZE, PE32_OPTIONAL_HEADER_SIZE);
    Put16(OptionalHeader() + OPTIONAL_MAGIC, PE32_MAGIC);
    Put32(OptionalHeader() + OPTIONAL_ENTRY_POINT, 0x1010);
    Put32(OptionalHeader() + OPTIONAL_SIZE_OF_HEADERS, 0x400);
  }
  uint32_t FileHeader() const { return pe + PE_SIGNATURE_SIZE; }
  uint32_t OptionalHeader() const { return pe + OPTIONAL_HEADER_OFFSET; }
  void Sections(const std::vector<SectionSpec>& sections) {
    SectionCount(static_cast<uint16_t>(sections.size()));
    uint32_t at = pe + SECTION_TABLE_OFFSET;
    for (const SectionSpec& s : sections) {
      if (at + SECTION_HEADER_SIZE <= bytes.size()) {
        Put32(at + SECTION_VIRTUAL_SIZE, s.virtualSize);
        Put32(at + SECTION_VIRTUAL_ADDRESS, s.virtualAddress);
        Put32(at + SECTION_RAW_POINTER, s.rawPointer);
      }
      at += SECTION_HEADER_SIZE;
    }
  }
  void SectionCount(uint16_t count) { Put16(FileHeader() + FILE_HEADER_SECTION_COUNT, count); }
  void Put16(uint32_t at, uint16_t v) { std::memcpy(&bytes[at], &v, 2); }
  void Put32(uint32_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); }

  std::vector<unsigned char> bytes;
  uint32_t pe;
};

class PeLocatorTest : public ::testing::Test {
 protected:
  PeLocatorTest() : tree_("C:\\quellor-tests\\pe-locator") {}
  ~PeLocatorTest() override { Close(); }

  // Writes the bytes to a file and opens it as the detection step does.
  int Open(const std::vector<unsigned char>& bytes) {
    Close();
    EXPECT_TRUE(WriteBytes(tree_.Path("image.exe"), bytes));
    fd_ = _open(tree_.Path("image.exe").c_str(), _O_RDONLY | _O_BINARY);
    EXPECT_NE(-1, fd_);
    return fd_;
  }
  bool ReadBoth(const std::vector<unsigned char>& bytes) {
    const int fd = Open(bytes);
    return ReadFileHeader(fd) == 1 && ReadOptionalHeaderAndSections(fd) == 1;
  }
  void Close() {
    if (fd_ != -1) _close(fd_);
    fd_ = -1;
  }

  TempTree tree_;
  int fd_ = -1;
};

TEST_F(PeLocatorTest, SampleHeadersLocateBothSignatureWindows) {
  for (int row : {1, 18, 29, 44, 57, 59}) {
    const VariantRecord& record = variantTable[row - 1];
    std::vector<unsigned char> bytes;
    SampleLayout layout;
    ASSERT_TRUE(BuildSample(record, SampleKind::Match, bytes, &layout));
    ASSERT_TRUE(ReadBoth(bytes)) << "row " << row;
    EXPECT_EQ(SAMPLE_PE_OFFSET, peHeaders.peHeaderOffset);
    EXPECT_EQ(layout.sections, peHeaders.fileHeader.NumberOfSections);
    EXPECT_EQ(layout.entryPoint, EntryPointRva());
    EXPECT_EQ(SAMPLE_HEADERS_SIZE, SizeOfHeaders());
    EXPECT_EQ(layout.window1, RvaToFileOffset(layout.entryPoint + record.offset1, fd_)) << "row " << row;
    EXPECT_EQ(layout.window2, RvaToFileOffset(layout.entryPoint + record.offset2, fd_)) << "row " << row;
  }
}

TEST_F(PeLocatorTest, ShortOrMisplacedHeadersFail) {
  // Shorter than the 62 bytes that hold e_lfanew's low half.
  HandMadePe tiny(0x200);
  tiny.bytes.resize(61);
  EXPECT_EQ(0, ReadFileHeader(Open(tiny.bytes)));
  // e_lfanew points past the end of the file.
  HandMadePe past(0x200);
  past.Put32(DOS_LFANEW_FIELD, 0x1F0);
  past.bytes.resize(0x1F2);
  EXPECT_EQ(0, ReadFileHeader(Open(past.bytes)));
  // No "PE\0\0" at e_lfanew.
  HandMadePe unsigned_(0x400);
  unsigned_.bytes[0x81] = 'X';
  EXPECT_EQ(0, ReadFileHeader(Open(unsigned_.bytes)));
  // The file header is cut short.
  HandMadePe cut(0x400);
  cut.bytes.resize(0x80 + PE_SIGNATURE_SIZE + FILE_HEADER_SIZE - 1);
  EXPECT_EQ(0, ReadFileHeader(Open(cut.bytes)));
  // The optional header is cut short.
  HandMadePe cutOptional(0x400);
  cutOptional.bytes.resize(0x80 + OPTIONAL_HEADER_OFFSET + OPTIONAL_HEADER_FIXED_SIZE - 1);
  ASSERT_EQ(1, ReadFileHeader(Open(cutOptional.bytes)));
  EXPECT_EQ(0, ReadOptionalHeaderAndSections(fd_));
}

TEST_F(PeLocatorTest, OnlyTheLowHalfOfLfanewIsRead) {
  // e_lfanew 0x10080 is looked for at 0x80: a real header at 0x10080 is missed...
  HandMadePe distant(0x10400, 0x10080);
  distant.Put32(DOS_LFANEW_FIELD, 0x10080);
  EXPECT_EQ(0, ReadFileHeader(Open(distant.bytes)));
  // ...and one at 0x80 is found.
  HandMadePe close(0x10400);
  close.Put32(DOS_LFANEW_FIELD, 0x10080);
  ASSERT_EQ(1, ReadFileHeader(Open(close.bytes)));
  EXPECT_EQ(0x80, peHeaders.peHeaderOffset);
}

TEST_F(PeLocatorTest, SectionCountUpToTwentyIsAccepted) {
  HandMadePe pe(0x2000);
  pe.Sections(std::vector<SectionSpec>(20, {0x1000, 0x1000, 0x400}));
  EXPECT_TRUE(ReadBoth(pe.bytes));
  pe.SectionCount(21);
  EXPECT_FALSE(ReadBoth(pe.bytes));
  pe.SectionCount(0xFFFF);
  EXPECT_FALSE(ReadBoth(pe.bytes));
  // A section table cut short by the end of the file.
  HandMadePe cut(0x80 + SECTION_TABLE_OFFSET + 3 * SECTION_HEADER_SIZE - 1);
  cut.Sections({{0x1000, 0x100, 0x200}, {0x2000, 0x100, 0x300}, {0x3000, 0x100, 0x400}});
  EXPECT_FALSE(ReadBoth(cut.bytes));
}

TEST_F(PeLocatorTest, NoSectionsConvertEveryRvaToItself) {
  HandMadePe pe(0x3000);
  pe.Sections({});
  ASSERT_TRUE(ReadBoth(pe.bytes));
  EXPECT_EQ(0x1234u, RvaToFileOffset(0x1234, fd_));
  EXPECT_EQ(0x400u, RvaToFileOffset(0, fd_)) << "RVA 0 gives SizeOfHeaders";
}

TEST_F(PeLocatorTest, SectionLookupTakesTheFirstSectionEndingBeyondTheRva) {
  HandMadePe pe(0x6000);
  pe.Sections({{0x1000, 0x1000, 0x400}, {0x2000, 0x800, 0x1400}, {0x3000, 0x1000, 0x2000}});
  ASSERT_TRUE(ReadBoth(pe.bytes));
  EXPECT_EQ(0x400u + 0x10, RvaToFileOffset(0x1010, fd_));
  EXPECT_EQ(0x1400u + 0x7FF, RvaToFileOffset(0x27FF, fd_));
  // In the gap after section 2: taken by section 3, below its start.
  EXPECT_EQ(0x2000u - 0x100, RvaToFileOffset(0x2F00, fd_));
  // Inside the headers: converted with the first section's delta...
  EXPECT_EQ(0x200u, RvaToFileOffset(0xE00, fd_));
  // ...and an offset of 0 gives SizeOfHeaders.
  EXPECT_EQ(0x400u, RvaToFileOffset(0xC00, fd_));
  // At or past the end of the last section: the last section's delta.
  EXPECT_EQ(0x2000u + 0x1000, RvaToFileOffset(0x4000, fd_));
  EXPECT_EQ(0x2000u + 0x1FFF, RvaToFileOffset(0x4FFF, fd_));
}

TEST_F(PeLocatorTest, OffsetsAtOrPastTheEndFallBackToTheRva) {
  HandMadePe pe(0x3000);
  pe.Sections({{0x10000, 0x8000, 0x400}});
  ASSERT_TRUE(ReadBoth(pe.bytes));
  EXPECT_EQ(0x400u + 0x2BFF, RvaToFileOffset(0x12BFF, fd_)) << "last byte of the file";
  EXPECT_EQ(0x12C00u, RvaToFileOffset(0x12C00, fd_)) << "first offset past the end";
  // A negative offset wrapped below 0: a huge RVA that stays itself.
  const uint32_t wrapped = 0x1000u - 0x5000u;
  EXPECT_EQ(wrapped, RvaToFileOffset(wrapped, fd_));
}

TEST_F(PeLocatorTest, SectionTableIsReadAfterA224ByteOptionalHeaderWhateverItsSize) {
  // A PE32+ image declares a 240-byte optional header; the table is still read
  // at e_lfanew + 248, so the bytes there decide the conversion.
  HandMadePe pe(0x3000);
  pe.Put16(pe.FileHeader() + FILE_HEADER_OPTIONAL_SIZE, 240);
  pe.Put16(pe.OptionalHeader() + OPTIONAL_MAGIC, 0x20B);  // PE32+
  pe.Sections({{0x1000, 0x1000, 0x600}});
  pe.SectionCount(1);
  ASSERT_TRUE(ReadBoth(pe.bytes));
  EXPECT_EQ(0x1000u, peHeaders.sections[0].VirtualAddress);
  EXPECT_EQ(0x600u + 0x20, RvaToFileOffset(0x1020, fd_));
}

TEST_F(PeLocatorTest, HeadersOfOneFileDoNotLeakIntoTheNext) {
  HandMadePe three(0x6000);
  three.Sections({{0x1000, 0x1000, 0x400}, {0x2000, 0x1000, 0x1400}, {0x3000, 0x1000, 0x2400}});
  ASSERT_TRUE(ReadBoth(three.bytes));
  HandMadePe one(0x6000);
  one.Sections({{0x1000, 0x1000, 0x400}});
  ASSERT_TRUE(ReadBoth(one.bytes));
  EXPECT_EQ(0u, peHeaders.sections[1].VirtualAddress);
  EXPECT_EQ(0u, peHeaders.sections[2].PointerToRawData);
  // A failed read of the next file clears its file header first.
  HandMadePe broken(0x400);
  broken.bytes[0x80] = 'X';
  EXPECT_EQ(0, ReadFileHeader(Open(broken.bytes)));
  EXPECT_EQ(0, peHeaders.fileHeader.NumberOfSections);
}

}  // namespace
