#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/Detection.h"
#include "engine/PeLocator.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "process/OsProbe.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/HostFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\detect";
class DetectionTest : public EngineTest {
 protected:
  DetectionTest() : EngineTest(kRoot) {}
};

TEST_F(DetectionTest, InfectedFileIsDeletedAndReportedUnderItsRowsName) {
  const std::string path = Sample(1, "agu.exe");
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Agu.Trojan removed"}, collector_.lines);
  EXPECT_EQ(1, scanState.filesInfected);
  EXPECT_EQ(1, scanState.filesRemoved);
  EXPECT_STREQ("W32/VelTrix.Agu.Trojan", scanState.detectionName);
  EXPECT_EQ(path, scanState.currentFile);
  EXPECT_STREQ("", scanState.infectedPath);
}

TEST_F(DetectionTest, EverySampleIsDetectedUnderItsOwnRowsName) {
  for (int row = 1; row <= VARIANT_COUNT; ++row) {
    collector_.lines.clear();
    const std::string path = Sample(row, "row" + std::to_string(row) + ".exe");
    const std::string name = variantTable[row - 1].name;
    EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str())) << "row " << row;
    EXPECT_EQ(name, scanState.detectionName) << "row " << row;
    EXPECT_EQ(std::vector<std::string>{path + "     " + name + " removed"}, collector_.lines) << "row " << row;
    EXPECT_FALSE(FileExists(path)) << "row " << row;
  }
  EXPECT_EQ(VARIANT_COUNT, scanState.filesInfected);
  EXPECT_EQ(VARIANT_COUNT, scanState.filesRemoved);
}

TEST_F(DetectionTest, EveryRowChecksItsSecondWindowToo) {
  for (int row = 1; row <= VARIANT_COUNT; ++row) {
    const std::string path = tree_.Path("decoy" + std::to_string(row) + ".exe");
    ASSERT_TRUE(WriteSample(variantTable[row - 1], SampleKind::WindowByteChanged, path, 2)) << "row " << row;
    EXPECT_EQ(0, DetectAndDispose(kHandlerName, path.c_str())) << "row " << row;
    EXPECT_TRUE(FileExists(path)) << "row " << row;
  }
  EXPECT_TRUE(collector_.lines.empty());
}

TEST_F(DetectionTest, FilesThatAreNotVariantsArePassedOverSilently) {
  const std::vector<std::string> decoys = {
      Sample(5, "window1.exe", SampleKind::WindowByteChanged), Sample(44, "notpe.exe", SampleKind::NotPe),
      Sample(18, "truncated.exe", SampleKind::TruncatedHeaders), tree_.File("readme.txt", "plain text")};
  for (const std::string& path : decoys) {
    EXPECT_EQ(0, DetectAndDispose(kHandlerName, path.c_str())) << path;
    EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_STREQ("", scanState.infectedPath) << path;
  }
  EXPECT_EQ(0, DetectAndDispose(kHandlerName, tree_.Path("missing.exe").c_str()));
  EXPECT_TRUE(collector_.lines.empty());
  EXPECT_EQ(0, scanState.filesInfected);
}

// A sample of a record's exact size whose PE headers were moved to the end of
// the file, so that each header read meets the end at its own boundary: a
// header cut by one byte is never taken for the variant, nor deleted.
TEST_F(DetectionTest, HeadersCutAtTheEndOfAnExactSizeFileAreNeverDeleted) {
  const int row = 18;  // an exact-size record small enough for a 16-bit e_lfanew
  const VariantRecord& record = variantTable[row - 1];
  ASSERT_EQ(SIZE_EXACT, record.sizeMode);
  std::vector<unsigned char> sample;
  SampleLayout layout;
  ASSERT_TRUE(BuildSample(record, SampleKind::Match, sample, &layout));
  const uint32_t size = record.fileSize;
  // Signature, file header, the optional header's 224 bytes, the section table.
  const uint32_t fileHeaderEnd = 4 + 20, optionalReadEnd = fileHeaderEnd + OPTIONAL_HEADER_READ;
  const uint32_t headersEnd = SAMPLE_SECTION_TABLE - SAMPLE_PE_OFFSET + layout.sections * 40u;
  const struct {
    uint32_t peOffset;
    int32_t detected;
    const char* why;
  } cases[] = {
      {size - headersEnd, 1, "the section table ends with the file: still the variant"},
      {size - headersEnd + 1, 0, "the last section entry is one byte short"},
      {size - optionalReadEnd + 1, 0, "the optional header is one byte short"},
      {size - fileHeaderEnd + 1, 0, "the file header is one byte short"},
      {size - 3, 0, "the signature is one byte short"},
      {size, 0, "the signature lies past the end"},
  };
  ASSERT_LT(std::max(layout.window1, layout.window2) + SIGNATURE_LENGTH, size - headersEnd)
      << "the moved headers must leave both windows whole";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    std::vector<unsigned char> bytes = sample;
    for (uint32_t i = 0; i < headersEnd && c.peOffset + i < size; ++i)
      bytes[c.peOffset + i] = sample[SAMPLE_PE_OFFSET + i];
    const uint16_t lfanew = static_cast<uint16_t>(c.peOffset);
    ASSERT_EQ(c.peOffset, lfanew) << c.why;
    std::memcpy(&bytes[0x3C], &lfanew, sizeof lfanew);
    const std::string path = tree_.Path("moved.exe");
    ASSERT_TRUE(WriteBytes(path, bytes)) << c.why;
    ASSERT_EQ(size, bytes.size()) << c.why;
    EXPECT_EQ(c.detected, DetectAndDispose(kHandlerName, path.c_str())) << c.why;
    EXPECT_EQ(c.detected == 0, FileExists(path)) << c.why;
  }
}

// A read-only, hidden and system sample is examined and deleted once its
// attributes are cleared; one that may be read but not changed at all (the
// host keeps it immutable) is still found, and reported.
TEST_F(DetectionTest, ReadOnlyHiddenSystemFileIsFoundAndDeletedWhereItMayBeChanged) {
  for (const bool unchangeable : {false, true}) {
    collector_.lines.clear();
    const std::string path = Sample(27, unchangeable ? "kept.exe" : "dv.exe");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    std::unique_ptr<UnchangeableFile> kept;
    if (unchangeable) {
      kept = std::make_unique<UnchangeableFile>(path);
      if (!kept->made()) GTEST_SKIP() << "this machine cannot keep a file from change";
    }
    EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
    EXPECT_EQ(unchangeable, FileExists(path));
    const std::string words = unchangeable ? " Unable to remove" : " removed";
    EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Dv.Trojan" + words}, collector_.lines);
  }
}

TEST_F(DetectionTest, RenameChoiceMarksTheLetterAfterTheLastDot) {
  scanState.disposalChoice = DISPOSE_RENAME;
  const std::string path = Sample(5, "v.exe");
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_TRUE(FileExists(kRoot + "\\v.Vxe"));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Trojan renamed"}, collector_.lines);
  EXPECT_EQ(1, scanState.filesRenamed);
  EXPECT_EQ(0, scanState.filesRemoved);
  // A second infected file whose new name is taken: the rename fails.
  const std::string again = Sample(5, "v.exe");
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, again.c_str()));
  EXPECT_EQ(path + "     W32/VelTrix.Trojan Rename failed", collector_.lines.back());
  EXPECT_EQ(1, scanState.filesRenamed);
}

TEST_F(DetectionTest, LeaveChoiceReportsAndKeepsTheFile) {
  scanState.disposalChoice = DISPOSE_LEAVE;
  const std::string path = Sample(44, "rz.exe");
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Rz.Trojan not disinfected as per user's selection"},
            collector_.lines);
  EXPECT_EQ(1, scanState.filesInfected);
  // Any other choice does nothing and reports nothing, but the hit counts.
  scanState.disposalChoice = 104;
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(1u, collector_.lines.size());
  EXPECT_EQ(2, scanState.filesInfected);
}

TEST_F(DetectionTest, SweepCheckOnlyRecordsTheHit) {
  scanState.sweepMode = true;
  const std::string path = Sample(59, "gfb.exe");
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_TRUE(scanState.foundInSweep);
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(collector_.lines.empty());
  // Kept for the sweep; the autorun scan has lower-cased it on the way.
  EXPECT_STRCASEEQ(path.c_str(), scanState.infectedPath);
  EXPECT_EQ(1, scanState.filesInfected);
}

// The sweep's check found the file; the disposal pass after the process was
// terminated disposes of it without testing it again (here its bytes are no
// longer a PE file's), but on the NT family only while it is the same file.
TEST_F(DetectionTest, MemoryDisposalReportsTheMemoryFindFirstWithoutTesting) {
  const std::string path = Sample(59, "gfb.exe");
  scanState.sweepMode = true;
  ASSERT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  HANDLE same = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, same);
  CloseHandle(same);
  scanState.sweepMode = false;
  scanState.pendingChoice = DISPOSE_DELETE;
  EXPECT_EQ(0, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_FALSE(FileExists(path));
  const std::vector<std::string> expected = {"System Memory    W32/Veltrix.Trojan removed",
                                             path + "     W32/Veltrix.Trojan removed"};
  EXPECT_EQ(expected, collector_.lines);
  EXPECT_EQ(DISPOSE_DELETE, scanState.disposalChoice);
  EXPECT_EQ(1, scanState.filesInfected) << "the sweep's check counted it";
}

TEST_F(DetectionTest, MemoryDisposalLeavesAnotherFileAtThePathAlone) {
  if (GetOsFamily() != OS_FAMILY_NT) GTEST_SKIP() << "the NT family keeps the identity of the sweep's find";
  const std::string path = Sample(59, "gfb.exe");
  scanState.sweepMode = true;
  ASSERT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  // Moved away first, so that the new file cannot take the old one's place
  // on the volume (its file index).
  ASSERT_TRUE(MoveFileA(path.c_str(), (path + ".away").c_str()));
  tree_.File("gfb.exe", "another file in its place");
  scanState.sweepMode = false;
  scanState.pendingChoice = DISPOSE_DELETE;
  EXPECT_EQ(0, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_EQ("another file in its place", ReadTextFile(path));
  const std::vector<std::string> expected = {"System Memory    W32/Veltrix.Trojan removed",
                                             path + "     W32/Veltrix.Trojan Unable to remove"};
  EXPECT_EQ(expected, collector_.lines);
}

TEST_F(DetectionTest, TheWalkHandsEveryFileToTheDetectionStep) {
  tree_.Folder("sub");
  const std::string infected = Sample(18, "sub\\small.exe");
  tree_.File("clean.txt");
  EXPECT_EQ(2, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_EQ(std::vector<std::string>{infected + "     W32/VelTrix.Trojan removed"}, collector_.lines);
}

}  // namespace
