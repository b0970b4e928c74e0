// Runs as a copy under Wine's "win31" version, whose platform is neither the
// 9x nor the NT family: the process code then attempts nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/ScanState.h"
#include "process/MemorySweep.h"
#include "process/OsProbe.h"
#include "process/ProcessKill.h"
#include "tests/process/InfectedProgram.h"
#include "tests/process/ProcessTestSupport.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/TestFiles.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\other-platform";

class OtherPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (VersionOfThisProgram() != WineVersion::Win31) GTEST_SKIP() << "only under the win31 copy";
    ASSERT_EQ(OS_FAMILY_OTHER, GetOsFamily());
    ASSERT_TRUE(WriteInfectedProgram(path_));
    ASSERT_TRUE(running_.Start(path_));
  }

  TempTree tree_{kRoot};
  const std::string path_ = kRoot + "\\veltrixo.exe";
  RunningTarget running_;
  MessageBoxWatcher watcher_;
};

TEST_F(OtherPlatformTest, TerminationIsNotAttemptedAndTheCallerMayRetry) {
  EXPECT_EQ(1, KillProcessByPath(path_.c_str()));
  EXPECT_TRUE(running_.Running());
  EXPECT_TRUE(watcher_.boxes.empty());
}

TEST_F(OtherPlatformTest, NoSweepRuns) {
  ResetScanState();
  ReportCollector collector;
  scanState.notifyWindow = collector.window();
  scanState.disposalChoice = DISPOSE_DELETE;
  SweepMemory();
  EXPECT_TRUE(running_.Running());
  EXPECT_TRUE(FileExists(path_));
  EXPECT_TRUE(collector.statuses.empty()) << "no image was checked";
  EXPECT_EQ(0, scanState.filesInfected);
  EXPECT_FALSE(scanState.sweepMode);
}

}  // namespace
