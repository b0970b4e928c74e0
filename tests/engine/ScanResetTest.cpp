#include <gtest/gtest.h>

#include <cstring>

#include "engine/Detection.h"
#include "engine/MarkerScanner.h"
#include "engine/PeLocator.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "process/MemorySweep.h"

namespace {

constexpr unsigned char DIRT = 0xA5;

template <typename T>
void Dirty(T& record) {
  std::memset(static_cast<void*>(&record), DIRT, sizeof record);
}

template <std::size_t N>
bool AllZero(const char (&text)[N]) {
  const char zero[N] = {};
  return std::memcmp(text, zero, N) == 0;
}

// Every piece of state a test could leave behind, dirtied, comes back as at
// program start: a case never sees what an earlier one left.
TEST(ScanReset, PutsEveryPieceOfStateBackAsAtProgramStart) {
  ResetScanState();
  const MarkerRecord storedMarker = markerTable[0];
  Dirty(scanState);
  Dirty(removedValueName);
  Dirty(detectionState);
  Dirty(peHeaders);
  EnsureMarkersUnscrambled();
  markerScan.fd = 7;
  std::memset(markerScan.matchedName, DIRT, sizeof markerScan.matchedName);
  sweepRestartFlag = true;

  ResetScanState();

  const ScanState& s = scanState;
  EXPECT_EQ(nullptr, s.notifyWindow);
  EXPECT_TRUE(AllZero(s.scanTarget));
  EXPECT_EQ(0, s.disposalChoice);
  EXPECT_FALSE(s.stopRequested);
  EXPECT_FALSE(s.keepList);
  EXPECT_TRUE(AllZero(s.currentFile));
  EXPECT_TRUE(AllZero(s.detectionName));
  EXPECT_TRUE(AllZero(s.reportLine));
  EXPECT_EQ(0, s.filesScanned);
  EXPECT_EQ(0, s.filesInfected);
  EXPECT_EQ(0, s.filesRenamed);
  EXPECT_EQ(0, s.filesRemoved);
  EXPECT_EQ(0, s.restartNeeded);
  EXPECT_TRUE(s.sweepMode) << "the program starts with the sweep's mode set";
  EXPECT_FALSE(s.foundInSweep);
  EXPECT_EQ(0, s.pendingChoice);
  EXPECT_TRUE(AllZero(s.infectedPath));
  EXPECT_TRUE(AllZero(s.programFilesSpec));
  EXPECT_FALSE(s.programFilesPending);
  EXPECT_FALSE(s.programFilesEntered);
  EXPECT_TRUE(AllZero(removedValueName));

  const DetectionState& d = detectionState;
  EXPECT_FALSE(d.listedFile.known);
  EXPECT_EQ(0u, d.listedFile.length);
  EXPECT_FALSE(d.sizePrefilterOff);
  EXPECT_EQ(0u, d.filesOpened);
  EXPECT_FALSE(d.sizeFilter.anyLength);
  EXPECT_EQ(0, d.sizeFilter.exactCount);
  EXPECT_EQ(0, d.sizeFilter.nearCount);

  const PeHeaders zeroHeaders = {};
  EXPECT_EQ(0, std::memcmp(&zeroHeaders, &peHeaders, sizeof peHeaders));

  EXPECT_FALSE(markerScan.unscrambled);
  EXPECT_EQ(-1, markerScan.fd);
  EXPECT_TRUE(AllZero(markerScan.matchedName));
  EXPECT_EQ(0, std::memcmp(&storedMarker, &markerTable[0], sizeof storedMarker)) << "the stored pattern is back";

  EXPECT_FALSE(sweepRestartFlag);
}

}  // namespace
