#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/Detection.h"
#include "engine/PeLocator.h"
#include "engine/VariantTable.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

// FNV-1a over every byte of the 60 records: names with their zero padding,
// both offsets, both signatures with their terminators, sizes and size modes.
// Any changed byte of any row changes it. The end record is all zero.
TEST(VariantTable, DigestOfAllSixtyRowsIsPinnedAndTheEndRecordIsZero) {
  constexpr uint64_t FNV_OFFSET_BASIS = 0xCBF29CE484222325ull;
  constexpr uint64_t FNV_PRIME = 0x100000001B3ull;
  uint64_t digest = FNV_OFFSET_BASIS;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(variantTable);
  for (std::size_t i = 0; i < VARIANT_COUNT * sizeof(VariantRecord); ++i) digest = (digest ^ bytes[i]) * FNV_PRIME;
  EXPECT_EQ(0xB40F56C9EB7DDE44ull, digest);
  const unsigned char* end = bytes + VARIANT_COUNT * sizeof(VariantRecord);
  EXPECT_TRUE(std::all_of(end, end + sizeof(VariantRecord), [](unsigned char b) { return b == 0; }));
  for (int i = 0; i < VARIANT_COUNT; ++i) EXPECT_FALSE(IsEndRecord(variantTable[i])) << "row " << i + 1;
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
