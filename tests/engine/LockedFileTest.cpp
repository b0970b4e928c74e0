#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/Detection.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "process/OsProbe.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/Samples.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\locked";

// The holder runs another program than the file, so no termination method
// finds it. Tool-help (9x) and performance data (NT 4.0 and NT 6+) then say so
// in a box; the psapi method (NT 5.x) answers that it took the list, silently.
std::vector<MessageBoxWatcher::Box> ExpectedKillBoxes(const std::string& path) {
  if (GetOsFamily() == OS_FAMILY_NT && GetNtGeneration() == NT_GENERATION_5) return {};
  return {{path, "Could not kill process"}};
}

class LockedFileTest : public EngineTest {
 protected:
  LockedFileTest() : EngineTest(kRoot) { DeleteFileA(WininitPath().c_str()); }

  MachineStateGuard machine_;
  MessageBoxWatcher boxes_;  // the termination step's "Could not kill process"
};

// The file is mapped by a process that is not running it (as a program maps
// a library), so no termination method frees it and it cannot be deleted. On
// the NT family it is moved into the quarantine folder, which is deleted at
// the next restart; the 9x family names it in wininit.ini.
TEST_F(LockedFileTest, AFileThatStaysLockedIsDeletedAtTheNextRestart) {
  const std::string path = Sample(44, "Locked Sample File.exe");
  const std::string shortPath = ShortPath(path);
  HeldFile held(path, "hold-image");
  ASSERT_TRUE(held.started());
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, path.c_str()));
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Rz.Trojan Unable to remove"}, collector_.lines);
  EXPECT_TRUE(ExpectedKillBoxes(path) == boxes_.boxes);
  EXPECT_EQ(0, scanState.filesRemoved);
  EXPECT_EQ(1, scanState.filesInfected);
  switch (GetOsFamily()) {
    case OS_FAMILY_NT:
      EXPECT_EQ(1, scanState.restartNeeded);
      EXPECT_FALSE(FileExists(path));
      EXPECT_EQ(1u, PendingQuarantineDeletions().size());
      EXPECT_FALSE(DeletionPending(path));
      EXPECT_FALSE(FileExists(WininitPath()));
      break;
    case OS_FAMILY_9X:
      EXPECT_EQ(1, scanState.restartNeeded);
      EXPECT_EQ("[rename]\r\nNUL=" + shortPath + "\r\n", ReadTextFile(WininitPath()));
      EXPECT_FALSE(DeletionPending(path));
      break;
    default:
      EXPECT_EQ(0, scanState.restartNeeded);
      break;
  }
}

// A drive walk that moves a held sample into the quarantine folder at the
// drive's root goes on into the other folders of the root, but not into that
// one: the file is met, and counted, once.
TEST_F(LockedFileTest, TheDriveWalkDoesNotGoIntoTheQuarantineItFilled) {
  if (GetOsFamily() != OS_FAMILY_NT) GTEST_SKIP() << "the NT family's quarantine";
  const std::string path = "D:\\held.exe";
  ASSERT_TRUE(WriteSample(variantTable[43], SampleKind::Match, path));
  HeldFile held(path, "hold-image");
  ASSERT_TRUE(held.started());
  EXPECT_EQ(1, WalkFolder("D:\\*.*"));
  EXPECT_EQ(1, scanState.filesInfected);
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Rz.Trojan Unable to remove"}, collector_.lines);
  EXPECT_EQ(1u, PendingQuarantineDeletions('D').size());
}

// On 9x a scheduling fails when wininit.ini cannot be read: the later
// detection's answer replaces the earlier one.
TEST_F(LockedFileTest, ALaterFailedSchedulingClearsTheRestart) {
  if (GetOsFamily() != OS_FAMILY_9X) GTEST_SKIP() << "9x family only";
  const std::string first = Sample(44, "first.exe");
  const std::string second = Sample(27, "second.exe");
  HeldFile heldFirst(first, "hold-file-shared");
  HeldFile heldSecond(second, "hold-file-shared");
  ASSERT_TRUE(heldFirst.started() && heldSecond.started());
  EXPECT_EQ(1, DetectAndDispose(kHandlerName, first.c_str()));
  EXPECT_EQ(1, scanState.restartNeeded);
  const std::string wininit = ReadTextFile(WininitPath());
  {
    HeldFile heldWininit(WininitPath(), "hold-file");
    ASSERT_TRUE(heldWininit.started());
    EXPECT_EQ(1, DetectAndDispose(kHandlerName, second.c_str()));
  }
  EXPECT_EQ(0, scanState.restartNeeded);
  EXPECT_EQ(second + "     W32/VelTrix.Dv.Trojan Unable to remove", collector_.lines.back());
  EXPECT_EQ(wininit, ReadTextFile(WininitPath()));
}

}  // namespace
