#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/Text.h"
#include "engine/Detection.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "standins/ScriptedMessageBox.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/Samples.h"
#include "tests/support/TestFiles.h"

namespace {

VariantRecord Record(int32_t sizeMode, uint32_t fileSize) {
  VariantRecord record = {};
  record.name[0] = 'x';
  record.sizeMode = sizeMode;
  record.fileSize = fileSize;
  return record;
}

const VariantRecord kExact[] = {Record(SIZE_EXACT, 72192), Record(SIZE_EXACT, 21504), Record(SIZE_EXACT, 72192), {}};
const VariantRecord kNear[] = {Record(SIZE_NEAR, 100000), {}};
const VariantRecord kAny[] = {Record(SIZE_EXACT, 5), Record(SIZE_ANY, 0), {}};
const VariantRecord kUnknownModes[] = {Record(0, 500), Record(4, 600), {}};
const VariantRecord kEndOnly[] = {{}};
const VariantRecord kBeyond32Bits[] = {Record(SIZE_EXACT, 0x80000000u), {}};

constexpr uint64_t k4GiB = uint64_t{1} << 32;

TEST(SizeFilterTest, PassesExactlyTheLengthsSomeRecordsSizeTestPasses) {
  struct Row {
    const VariantRecord* table;
    uint64_t length;
    bool passes;
    const char* why;
  } rows[] = {
      {kExact, 72192, true, "an exact size"},
      {kExact, 21504, true, "a second exact size"},
      {kExact, 72193, false, "one byte more"},
      {kExact, 72191, false, "one byte less"},
      {kExact, 0, false, "an empty file"},
      {kExact, k4GiB + 72192, false, "the listing's high half counts"},
      {kNear, 100000 - 4095, true, "just inside the window, shorter"},
      {kNear, 100000 + 4095, true, "just inside the window, longer"},
      {kNear, 100000 - 4096, false, "on the window's edge"},
      {kNear, 100000 + 4096, false, "on the other edge"},
      {kAny, 123, true, "SIZE_ANY lets every length pass"},
      {kAny, INT32_MAX, true, "the largest length the detection step takes"},
      {kAny, uint64_t{INT32_MAX} + 1, false, "too long for the 32-bit length: never examined"},
      {kAny, k4GiB + 5, false, "even when its low half is an exact size"},
      {kUnknownModes, 500, false, "an unknown size mode never matches"},
      {kUnknownModes, 600, false, "nor does mode 4"},
      {kEndOnly, 72192, false, "a table of the end record alone detects nothing"},
      {kBeyond32Bits, 0x80000000u, false, "a size the 32-bit length cannot hold"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    SizeFilter filter;
    BuildSizeFilter(row.table, filter);
    EXPECT_EQ(row.passes, SizeFilterPasses(filter, row.length)) << row.length << ": " << row.why;
  }
}

TEST(SizeFilterTest, TheProgramsTableKeepsEachSizeOnceAndTooManySizesLetEverythingPass) {
  SizeFilter filter;
  BuildSizeFilter(variantTable, filter);
  std::set<uint32_t> sizes;
  for (int i = 0; i < VARIANT_COUNT; ++i) {
    sizes.insert(variantTable[i].fileSize);
    EXPECT_TRUE(SizeFilterPasses(filter, variantTable[i].fileSize)) << "row " << i + 1;
  }
  EXPECT_EQ(static_cast<int>(sizes.size()), filter.exactCount);
  EXPECT_FALSE(filter.anyLength);

  std::vector<VariantRecord> many;
  for (int i = 0; i <= SIZE_FILTER_CAPACITY; ++i) many.push_back(Record(SIZE_EXACT, 1000 + i));
  many.push_back({});
  BuildSizeFilter(many.data(), filter);
  EXPECT_TRUE(SizeFilterPasses(filter, 7)) << "a filter that cannot hold every size must not drop any";
}

// Everything a scan shows, and how many files it opened.
struct ScanView {
  std::vector<std::string> statuses;
  std::vector<std::string> lines;
  std::vector<std::string> questions;
  int32_t scanned, infected, removed;
  uint32_t opened;
};

const std::string kRoot = "C:\\quellor-tests\\prefilter";

// Samples, files of a record's size that do not match, PE and other files of
// sizes no record has; the read-only sample needs its attribute cleared.
// Returns how many files have a record's size.
int MakeTree(const TempTree& tree) {
  tree.File("notes.txt", "plain text");
  tree.File("empty.bin", "");
  tree.Folder("sub\\deep");
  tree.File("sub\\readme.txt", std::string(5000, 'r'));
  PlantSample(tree, 1, "sub\\agu.exe");
  const std::string readOnly = PlantSample(tree, 18, "sub\\deep\\small.exe");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  PlantSample(tree, 5, "decoy.exe", SampleKind::WindowByteChanged);
  PlantSample(tree, 44, "sub\\notpe.dll", SampleKind::NotPe);
  PlantSample(tree, 1, "truncated.exe", SampleKind::TruncatedHeaders);
  VariantRecord odd = variantTable[4];
  odd.fileSize += 512;
  EXPECT_TRUE(WriteSample(odd, SampleKind::Match, tree.Path("sub\\odd-size.exe")));
  return 4;
}

// A whole scan of the tree, with an Escape answered No on the way.
ScanView Scan(bool filterOff, int* recordSized) {
  ResetScanState();
  Answers().Reset();
  Answers().answers = {IDNO};
  TempTree tree(kRoot);
  *recordSized = MakeTree(tree);
  ReportCollector collector;
  scanState.notifyWindow = collector.window();
  scanState.disposalChoice = DISPOSE_DELETE;
  CopyText(scanState.scanTarget, sizeof scanState.scanTarget, kRoot.c_str());
  const HWND window = collector.window();
  collector.onStatus = [window](const std::string& status) {
    if (status == kRoot + "\\sub\\agu.exe") PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  };
  detectionState.sizePrefilterOff = filterOff;
  const uint32_t openedBefore = detectionState.filesOpened;
  RunScan();
  detectionState.sizePrefilterOff = false;
  ScanView view{collector.statuses,
                collector.lines,
                {},
                scanState.filesScanned,
                scanState.filesInfected,
                scanState.filesRemoved,
                detectionState.filesOpened - openedBefore};
  for (const AskedQuestion& question : Answers().asked) view.questions.push_back(question.text);
  return view;
}

// The memory sweep checks the running processes' image files through the same
// walk: with the filter none of them is opened either, as none has a record's size.
TEST(SizePrefilterTest, AScanShowsTheSameWithTheFilterAndOpensOnlyFilesOfARecordsSize) {
  int recordSized = 0;
  const ScanView off = Scan(true, &recordSized);
  const ScanView on = Scan(false, &recordSized);
  EXPECT_EQ(off.statuses, on.statuses);
  EXPECT_EQ(off.lines, on.lines);
  EXPECT_EQ(off.questions, on.questions);
  EXPECT_EQ(std::vector<std::string>{"Terminate the Scan now?"}, on.questions);
  EXPECT_EQ(off.scanned, on.scanned);
  EXPECT_EQ(off.infected, on.infected);
  EXPECT_EQ(off.removed, on.removed);
  EXPECT_EQ(9, on.scanned);
  EXPECT_EQ(2, on.removed);
  EXPECT_EQ(static_cast<uint32_t>(recordSized), on.opened);
  EXPECT_GE(off.opened, static_cast<uint32_t>(on.scanned)) << "without the filter every file is opened";
}

}  // namespace
