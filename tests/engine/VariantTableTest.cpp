#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "engine/Detection.h"
#include "engine/PeLocator.h"
#include "engine/VariantTable.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const char* const kPlain = "W32/VelTrix.Trojan";

// The name of every row, as the part between "W32/VelTrix." and "Trojan";
// "-" is the plain name.
const char* const kRowNames[VARIANT_COUNT] = {
    "Agu", "Agt", "Gkj", "D",   "-",   "-",   "-",   "-",   "-",   "-",   "-",   "-",   "A",   "-",   "Dz",
    "Er",  "-",   "-",   "Jr",  "-",   "-",   "-",   "-",   "-",   "Acp", "-",   "Dv",  "Dv",  "Dw",  "Dv",
    "-",   "-",   "-",   "Es",  "Aio", "-",   "-",   "-",   "-",   "-",   "Acr", "-",   "Aco", "Rz",  "Um",
    "Aag", "Ggq", "Gmw", "Ajn", "Aie", "Gju", "Adw", "Gop", "Adx", "-",   "Abs", "Gjq", "Ada", "Gfb", "Adu"};

std::string FullName(const char* code) {
  return std::strcmp(code, "-") == 0 ? kPlain : std::string("W32/VelTrix.") + code + ".Trojan";
}

struct TellingRow {
  int row;  // counted from 1
  const char* name;
  int32_t offset1, offset2;
  uint32_t fileSize;
};

const TellingRow kTellingRows[] = {
    {1, "W32/VelTrix.Agu.Trojan", -69588, -128, 72192},
    {5, "W32/VelTrix.Trojan", 39055, 65887, 104960},
    {18, "W32/VelTrix.Trojan", 9358, 19086, 21504},      // smallest file
    {24, "W32/VelTrix.Trojan", 295421, 681133, 900096},
    {29, "W32/VelTrix.Dw.Trojan", -563606, -666726, 189440},  // most negative offset
    {44, "W32/VelTrix.Rz.Trojan", 825, 823, 55300},          // overlapping windows
    {57, "W32/VelTrix.Gjq.Trojan", 979604, 504127, 1001984},  // largest offset
    {59, "W32/VelTrix.Gfb.Trojan", -200835, -508472, 11366400},  // largest file
};

struct ReferenceSignatures {
  int row;
  unsigned char signature1[20], signature2[20];
};

const ReferenceSignatures kReferenceSignatures[] = {
    {1,
     {0xE6, 0x20, 0x6C, 0x7A, 0xC9, 0xC2, 0x9C, 0xC4, 0xFC, 0xF6, 0x38, 0x87, 0x9C, 0x35, 0xC3, 0x05, 0x8F, 0x9D, 0x7A, 0x67},
     {0xCC, 0x09, 0xD4, 0xAC, 0x16, 0x99, 0x00, 0x61, 0x97, 0x6C, 0xC9, 0x07, 0x14, 0x70, 0x02, 0x38, 0x4B, 0x3A, 0x60, 0xD9}},
    {5,
     {0x4A, 0x26, 0xE9, 0xAA, 0xDA, 0x84, 0xD5, 0xEB, 0x2B, 0x9E, 0xD9, 0xCA, 0x69, 0xDA, 0xA2, 0xFE, 0xE9, 0x6B, 0x5D, 0x9C},
     {0x5A, 0xA7, 0x4A, 0x8A, 0x62, 0xFD, 0xBB, 0xCC, 0x0B, 0x83, 0x73, 0xFE, 0xE3, 0xC7, 0xE9, 0xA2, 0xE7, 0x6A, 0xCB, 0x9E}},
    {44,
     {0x92, 0xB8, 0x79, 0xC1, 0xCF, 0x16, 0x29, 0xC7, 0xBA, 0x54, 0x20, 0x80, 0x00, 0xC1, 0xCA, 0x01, 0x81, 0xCE, 0xB5, 0x85},
     {0xE0, 0x3E, 0x92, 0xB8, 0x79, 0xC1, 0xCF, 0x16, 0x29, 0xC7, 0xBA, 0x54, 0x20, 0x80, 0x00, 0xC1, 0xCA, 0x01, 0x81, 0xCE}},
};

TEST(VariantTable, HoldsSixtyRecordsInNameOrderThenAnAllZeroEndRecord) {
  for (int i = 0; i < VARIANT_COUNT; ++i) {
    EXPECT_FALSE(IsEndRecord(variantTable[i])) << "row " << i + 1;
    EXPECT_EQ(FullName(kRowNames[i]), variantTable[i].name) << "row " << i + 1;
  }
  const unsigned char* end = reinterpret_cast<const unsigned char*>(&variantTable[VARIANT_COUNT]);
  EXPECT_TRUE(std::all_of(end, end + sizeof(VariantRecord), [](unsigned char b) { return b == 0; }));
}

TEST(VariantTable, NameCountsMatchTheFamily) {
  std::map<std::string, int> counts;
  for (int i = 0; i < VARIANT_COUNT; ++i) ++counts[variantTable[i].name];
  EXPECT_EQ(32u, counts.size());
  EXPECT_EQ(27, counts[kPlain]);
  EXPECT_EQ(3, counts["W32/VelTrix.Dv.Trojan"]);
  for (const auto& [name, count] : counts) {
    if (name != kPlain && name != "W32/VelTrix.Dv.Trojan") {
      EXPECT_EQ(1, count) << name;
    }
  }
}

TEST(VariantTable, TellingRowsAndReferenceSignaturesAreExact) {
  for (const TellingRow& t : kTellingRows) {
    const VariantRecord& r = variantTable[t.row - 1];
    EXPECT_STREQ(t.name, r.name) << "row " << t.row;
    EXPECT_EQ(t.offset1, r.offset1) << "row " << t.row;
    EXPECT_EQ(t.offset2, r.offset2) << "row " << t.row;
    EXPECT_EQ(t.fileSize, r.fileSize) << "row " << t.row;
    EXPECT_EQ(SIZE_EXACT, r.sizeMode) << "row " << t.row;
  }
  for (const ReferenceSignatures& s : kReferenceSignatures) {
    const VariantRecord& r = variantTable[s.row - 1];
    EXPECT_EQ(0, std::memcmp(s.signature1, r.signature1, 20)) << "row " << s.row;
    EXPECT_EQ(0, std::memcmp(s.signature2, r.signature2, 20)) << "row " << s.row;
  }
}

// FNV-1a over every byte of the 60 records: names with their zero padding,
// both offsets, both signatures with their terminators, sizes and size modes.
// Any changed byte of any row changes it.
TEST(VariantTable, DigestOfAllSixtyRowsIsPinned) {
  constexpr uint64_t FNV_OFFSET_BASIS = 0xCBF29CE484222325ull;
  constexpr uint64_t FNV_PRIME = 0x100000001B3ull;
  uint64_t digest = FNV_OFFSET_BASIS;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(variantTable);
  for (std::size_t i = 0; i < VARIANT_COUNT * sizeof(VariantRecord); ++i) digest = (digest ^ bytes[i]) * FNV_PRIME;
  EXPECT_EQ(0xB40F56C9EB7DDE44ull, digest);
}

TEST(VariantTable, SizesOffsetsAndSignsSpanTheirRanges) {
  uint32_t smallest = UINT32_MAX, largest = 0;
  int32_t lowest = INT32_MAX, highest = INT32_MIN;
  int negative1 = 0, negative2 = 0;
  std::map<uint32_t, int> sizes;
  for (int i = 0; i < VARIANT_COUNT; ++i) {
    const VariantRecord& r = variantTable[i];
    smallest = std::min(smallest, r.fileSize);
    largest = std::max(largest, r.fileSize);
    lowest = std::min({lowest, r.offset1, r.offset2});
    highest = std::max({highest, r.offset1, r.offset2});
    negative1 += r.offset1 < 0;
    negative2 += r.offset2 < 0;
    ++sizes[r.fileSize];
  }
  EXPECT_EQ(21504u, smallest);
  EXPECT_EQ(11366400u, largest);
  EXPECT_EQ(-666726, lowest);
  EXPECT_EQ(979604, highest);
  EXPECT_EQ(15, negative1);
  EXPECT_EQ(13, negative2);
  std::map<uint32_t, int> recurring;
  for (const auto& [size, count] : sizes)
    if (count > 1) recurring[size] = count;
  const std::map<uint32_t, int> expected = {{55300, 3}, {72192, 2}, {48644, 2}, {54276, 2}, {48132, 2}, {61444, 2}};
  EXPECT_EQ(expected, recurring);
}

TEST(VariantTable, EveryRecordIsExactSizeWithZeroPaddedFields) {
  for (int i = 0; i < VARIANT_COUNT; ++i) {
    const VariantRecord& r = variantTable[i];
    EXPECT_EQ(SIZE_EXACT, r.sizeMode) << "row " << i + 1;
    EXPECT_EQ(0, r.signature1[20]) << "row " << i + 1;
    EXPECT_EQ(0, r.signature2[20]) << "row " << i + 1;
    const std::size_t length = strnlen(r.name, sizeof r.name);
    ASSERT_LT(length, sizeof r.name) << "row " << i + 1;
    EXPECT_TRUE(std::all_of(r.name + length, r.name + sizeof r.name, [](char c) { return c == 0; }))
        << "row " << i + 1;
  }
}

TEST(VariantTable, SizeTestFollowsTheSizeMode) {
  VariantRecord r = {};
  r.fileSize = 100000;
  r.sizeMode = SIZE_EXACT;
  EXPECT_TRUE(VariantSizeMatches(r, 100000));
  EXPECT_FALSE(VariantSizeMatches(r, 100001));
  r.sizeMode = SIZE_NEAR;  // strictly inside +-4096
  EXPECT_TRUE(VariantSizeMatches(r, 100000 - 4095));
  EXPECT_TRUE(VariantSizeMatches(r, 100000 + 4095));
  EXPECT_FALSE(VariantSizeMatches(r, 100000 - 4096));
  EXPECT_FALSE(VariantSizeMatches(r, 100000 + 4096));
  r.sizeMode = SIZE_ANY;
  EXPECT_TRUE(VariantSizeMatches(r, 7));
  for (int32_t mode : {0, 4, -1}) {
    r.sizeMode = mode;
    EXPECT_FALSE(VariantSizeMatches(r, 100000)) << "mode " << mode;
  }
}

TEST(HandlerTable, HoldsTheDetectionStepThenTheEndEntry) {
  EXPECT_STREQ("W32/Veltrix.Trojan", handlerTable[0].detectionName);
  EXPECT_EQ(&DetectAndDispose, handlerTable[0].handler);
  EXPECT_EQ(nullptr, handlerTable[1].detectionName);
  EXPECT_EQ(nullptr, handlerTable[1].handler);
}

// The first row of the table that matches the file, or 0.
int FirstMatchingRow(const std::string& path) {
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd == -1) return -1;
  int row = 0;
  const int32_t length = FileLength32(fd);
  if (ReadFileHeader(fd) && ReadOptionalHeaderAndSections(fd)) {
    const uint32_t entryPoint = EntryPointRva();
    for (int i = 0; !IsEndRecord(variantTable[i]); ++i) {
      if (RecordMatches(variantTable[i], fd, length, entryPoint)) {
        row = i + 1;
        break;
      }
    }
  }
  _close(fd);
  return row;
}

// A real file can match every record: the sample of each row is recognised
// as that row (no earlier row takes it), and each decoy as none.
TEST(VariantTable, EveryRecordRecognisesItsOwnSampleAndNoDecoy) {
  TempTree tree("C:\\quellor-tests\\variant-samples");
  for (int i = 0; i < VARIANT_COUNT; ++i) {
    const std::string path = tree.Path("sample.exe");
    ASSERT_TRUE(WriteSample(variantTable[i], SampleKind::Match, path)) << "row " << i + 1;
    EXPECT_EQ(i + 1, FirstMatchingRow(path)) << "row " << i + 1;
    for (int window : {1, 2}) {
      ASSERT_TRUE(WriteSample(variantTable[i], SampleKind::WindowByteChanged, path, window));
      EXPECT_EQ(0, FirstMatchingRow(path)) << "row " << i + 1 << " window " << window;
    }
    for (SampleKind broken : {SampleKind::NotPe, SampleKind::TruncatedHeaders}) {
      ASSERT_TRUE(WriteSample(variantTable[i], broken, path));
      EXPECT_EQ(0, FirstMatchingRow(path)) << "row " << i + 1;
    }
  }
}

TEST(VariantTable, RecordMatchNeedsTheSizeTestAndBothWindows) {
  TempTree tree("C:\\quellor-tests\\variant-match");
  VariantRecord record = variantTable[4];
  const std::string path = tree.Path("row5.exe");
  ASSERT_TRUE(WriteSample(record, SampleKind::Match, path));
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  ASSERT_NE(-1, fd);
  ASSERT_TRUE(ReadFileHeader(fd) && ReadOptionalHeaderAndSections(fd));
  const int32_t length = FileLength32(fd);
  EXPECT_TRUE(RecordMatches(record, fd, length, EntryPointRva()));
  EXPECT_FALSE(RecordMatches(record, fd, length - 1, EntryPointRva()));
  record.sizeMode = 4;  // never matches, whatever the windows hold
  EXPECT_FALSE(RecordMatches(record, fd, length, EntryPointRva()));
  record.sizeMode = SIZE_ANY;
  EXPECT_TRUE(RecordMatches(record, fd, 1, EntryPointRva()));
  record.signature2[19] ^= 1;  // the last compared byte of the second window
  EXPECT_FALSE(RecordMatches(record, fd, length, EntryPointRva()));
  _close(fd);
}

}  // namespace
