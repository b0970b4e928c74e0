#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Text.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "standins/RecordingRestart.h"
#include "standins/ScriptedMessageBox.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/TestFiles.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\scan-run";

std::vector<std::string> Statistics(int scanned, int infected, int removed) {
  std::vector<std::string> lines;
  if (infected > 0) lines.push_back(" ");
  lines.push_back("Scanning statistics");
  lines.push_back("------------------------------");
  lines.push_back("Total files scanned\t\t:  " + std::to_string(scanned));
  lines.push_back("Total files infected\t\t:  " + std::to_string(infected));
  lines.push_back("Total files removed\t\t:  " + std::to_string(removed));
  return lines;
}

class ScanRunTest : public EngineTest {
 protected:
  ScanRunTest() : EngineTest(kRoot, ScanStart::AtProgramStart) {
    tree_.File("one.txt");
    tree_.File("two.bin");
    tree_.File("folder\\three.exe");
  }
  void Target(const std::string& target) {
    CopyText(scanState.scanTarget, sizeof scanState.scanTarget, target.c_str());
  }
};

TEST_F(ScanRunTest, CompletedScanWritesTheStatisticsAndTheFinalStatus) {
  Target(kRoot);
  EXPECT_EQ(1, RunScan());
  EXPECT_EQ(Statistics(3, 0, 0), collector_.lines);
  EXPECT_EQ("Scanning completed", collector_.statuses.back());
  EXPECT_STREQ("Scanning completed", scanState.currentFile);
  EXPECT_TRUE(scanState.keepList);
  EXPECT_FALSE(scanState.sweepMode) << "the sweep ends before the walk";
  EXPECT_TRUE(Answers().asked.empty());
}

TEST_F(ScanRunTest, InfectionsPutABlankLineBeforeTheStatistics) {
  Target(kRoot);
  scanState.filesInfected = 2;
  scanState.filesRemoved = 1;
  RunScan();
  EXPECT_EQ(Statistics(3, 2, 1), collector_.lines);
}

TEST_F(ScanRunTest, EmptyTargetWalksNothingButStillReports) {
  RunScan();
  EXPECT_EQ(Statistics(0, 0, 0), collector_.lines);
  EXPECT_EQ((std::vector<std::string>{"Scanning completed"}), collector_.statuses);
}

TEST_F(ScanRunTest, TargetTooLongForASearchSpecIsNotWalked) {
  Target(std::string(MAX_PATH - 1, 'C'));
  RunScan();
  EXPECT_EQ(Statistics(0, 0, 0), collector_.lines);
}

TEST_F(ScanRunTest, StopDuringTheWalkStillWritesTheStatistics) {
  Target(kRoot);
  collector_.onStatus = [](const std::string& status) {
    if (status == kRoot + "\\one.txt") scanState.stopRequested = true;
  };
  RunScan();
  EXPECT_EQ(Statistics(1, 0, 0), collector_.lines);
  EXPECT_EQ("Scanning terminated", collector_.statuses.back());
}

TEST_F(ScanRunTest, EscapeAnsweredYesTerminatesTheScan) {
  Target(kRoot);
  Answers().answers = {IDYES};
  const HWND target = collector_.window();
  collector_.onStatus = [target](const std::string& status) {
    if (status == kRoot + "\\one.txt") PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
  };
  RunScan();
  EXPECT_EQ("Scanning terminated", collector_.statuses.back());
  EXPECT_EQ(Statistics(1, 0, 0), collector_.lines);
  ASSERT_EQ(1u, Answers().asked.size());
  EXPECT_EQ("Terminate the Scan now?", Answers().asked[0].text);
}

TEST_F(ScanRunTest, PendingRestartAsksTheRestartQuestion) {
  Target(kRoot);
  scanState.restartNeeded = 1;
  Answers().answers = {IDNO};
  RunScan();
  ASSERT_EQ(1u, Answers().asked.size());
  EXPECT_EQ("The system has to be restarted to remove the virus completely from your system. \n\n Restart now?",
            Answers().asked[0].text);
  EXPECT_EQ("Quellor Ver 1.0", Answers().asked[0].title);
  EXPECT_EQ(36, Answers().asked[0].flags);
  EXPECT_TRUE(RestartRequests().empty()) << "No leaves the machine alone";
}

// Every fixed drive from C: to Z: is walked, in letter order, and nothing else:
// the test prefix has C:, D: (fixed), E: (CD-ROM) and T: (network).
TEST_F(ScanRunTest, AllFixedDrivesWalksCThenDAndNoOtherDriveType) {
  TempTree onD("D:\\quellor-drive-test");
  TempTree onE("E:\\quellor-drive-test");
  onD.File("d.txt");
  onE.File("e.txt");
  Target("!:");
  // The statuses of the drive walk; the memory sweep before it shows the image
  // files of the running processes, this program's on T: among them.
  std::vector<std::string> walked;
  collector_.onStatus = [&walked](const std::string& status) {
    if (!scanState.sweepMode) walked.push_back(status);
  };
  RunScan();
  std::size_t lastC = 0, firstD = SIZE_MAX;
  for (std::size_t i = 0; i < walked.size(); ++i) {
    const std::string& s = walked[i];
    if (s.rfind("C:\\", 0) == 0) lastC = i;
    if (s.rfind("D:\\", 0) == 0 && firstD == SIZE_MAX) firstD = i;
    EXPECT_NE(0u, s.rfind("E:", 0)) << s;
    EXPECT_NE(0u, s.rfind("T:", 0)) << s;
  }
  EXPECT_GT(lastC, 0u);
  EXPECT_LT(lastC, firstD);
  bool sawD = false;
  for (const std::string& s : walked) sawD |= s == "D:\\quellor-drive-test\\d.txt";
  EXPECT_TRUE(sawD);
  EXPECT_GT(scanState.filesScanned, 100) << "the whole of C: is walked";
  EXPECT_EQ("Scanning completed", collector_.statuses.back());
}

TEST_F(ScanRunTest, ProgramFilesMissedByTheDriveWalkGetsItsOwnWalk) {
  // The drive walk noted a Program Files folder it never went into.
  TempTree programFiles(kRoot + "-pf");
  programFiles.File("missed.txt");
  Target(kRoot);
  scanState.programFilesPending = true;
  CopyText(scanState.programFilesSpec, sizeof scanState.programFilesSpec, (kRoot + "-pf\\*.*").c_str());
  RunScan();
  EXPECT_FALSE(scanState.programFilesPending);
  EXPECT_EQ(Statistics(4, 0, 0), collector_.lines);
  // Once a walk went into a "\Program Files\" folder, no extra walk follows.
  ResetScanState();
  collector_.lines.clear();
  scanState.notifyWindow = collector_.window();
  Target(kRoot);
  scanState.programFilesPending = true;
  scanState.programFilesEntered = true;
  CopyText(scanState.programFilesSpec, sizeof scanState.programFilesSpec, (kRoot + "-pf\\*.*").c_str());
  RunScan();
  EXPECT_TRUE(scanState.programFilesPending);
  EXPECT_EQ(Statistics(3, 0, 0), collector_.lines);
}

}  // namespace
