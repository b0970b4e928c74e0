#pragma once
// The set-up the tests of the engine, the repairs and the scans share.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/Samples.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"

// The detection name the walk hands the detection step: the handler's own.
inline const char* const kHandlerName = handlerTable[0].detectionName;

// Where a case starts: after the memory sweep (the walk tests and disposes at
// once), or at program start (sweepMode set, as RunScan finds it).
enum class ScanStart { AfterTheSweep, AtProgramStart };

// Every piece of scan state reset before and after the case, no scripted
// answers or restart requests left from another case, a fresh folder of the
// case's own (root), no quarantine folder on C:, and a window standing in for
// the main dialog that collects the status texts and report lines. The
// disposal choice is delete.
class EngineTest : public ::testing::Test {
 protected:
  explicit EngineTest(const std::string& root, ScanStart start = ScanStart::AfterTheSweep);
  ~EngineTest() override;

  // A sample of a variant row (1 to 60) below the case's folder.
  std::string Sample(int row, const std::string& name, SampleKind kind = SampleKind::Match) {
    return PlantSample(tree_, row, name, kind);
  }

  QuarantineGuard quarantine_;
  TempTree tree_;
  ReportCollector collector_;
};
