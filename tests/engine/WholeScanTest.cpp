#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Text.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "process/FileRedirection.h"
#include "process/OsProbe.h"
#include "standins/RecordingRestart.h"
#include "standins/ScriptedMessageBox.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/Samples.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\whole-scan";

std::string Name(const std::string& what) { return std::string(TEST_VALUE_PREFIX) + " " + what; }
std::string RegistryLine(const std::string& name) { return "System Registry     " + name + " removed"; }

// The hosts file of the running family (the one the scan examines).
std::string FamilyHostsPath() { return GetOsFamily() == OS_FAMILY_9X ? HostsPath9x() : NtHostsPath(); }

class WholeScanTest : public EngineTest {
 protected:
  WholeScanTest() : EngineTest(kRoot, ScanStart::AtProgramStart) {
    DeleteFileA(WininitPath().c_str());
    CopyText(scanState.scanTarget, sizeof scanState.scanTarget, kRoot.c_str());
  }

  MachineStateGuard machine_;
  MessageBoxWatcher boxes_;  // the termination step's "Could not kill process"
};

TEST_F(WholeScanTest, EveryFindIsReportedInOrderAndTheStatisticsAddUp) {
  // Files in the order the walk meets them.
  const std::string agu = Sample(1, "agu.exe");
  tree_.File("clean.txt", "nothing to see");
  Sample(5, "decoy.exe", SampleKind::WindowByteChanged);
  const std::string locked = Sample(44, "locked.exe");
  const std::string readOnly = Sample(27, "readonly.exe");
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  // Startup values: one that starts agu.exe, one of the same name in
  // RunServices that starts something else, one that starts locked.exe.
  ASSERT_TRUE(SetString(RUN_KEY, Name("agu"), "\"" + kRoot + "\\AGU.EXE\" /autostart"));
  ASSERT_TRUE(SetString(RUN_SERVICES_KEY, Name("agu"), "c:\\elsewhere\\tool.exe"));
  ASSERT_TRUE(SetString(RUN_KEY, Name("locked"), kRoot + "\\locked.exe"));
  ASSERT_TRUE(SetString(RUN_KEY, Name("keep"), "c:\\elsewhere\\keep.exe"));
  const std::string hosts = FamilyHostsPath();
  ASSERT_TRUE(WriteMarkerFile(hosts));

  const std::string lockedShortPath = ShortPath(locked);
  HeldFile held(locked, "hold-image");  // mapped by a program that does not run it
  ASSERT_TRUE(held.started());
  Answers().answers = {IDNO};

  EXPECT_EQ(1, RunScan());

  const std::vector<std::string> expected = {
      // First detection: the hosts file, then the value that starts the file.
      hosts + "     W32/Nyxem.Worm removed",
      RegistryLine("W32/Veltrix.Trojan"),
      agu + "     W32/VelTrix.Agu.Trojan removed",
      // Second: the value removed before goes from RunServices too, under
      // this detection's name, before the keys are scanned again.
      RegistryLine("W32/VelTrix.Rz.Trojan"),
      RegistryLine("W32/Veltrix.Trojan"),
      locked + "     W32/VelTrix.Rz.Trojan Unable to remove",
      readOnly + "     W32/VelTrix.Dv.Trojan removed",
      " ",
      "Scanning statistics",
      "------------------------------",
      "Total files scanned\t\t:  5",
      "Total files infected\t\t:  4",
      "Total files removed\t\t:  3",
  };
  EXPECT_EQ(expected, collector_.lines);
  EXPECT_EQ("Scanning completed", collector_.statuses.back());
  EXPECT_EQ(1, scanState.restartNeeded);
  ASSERT_EQ(1u, Answers().asked.size());
  EXPECT_EQ("The system has to be restarted to remove the virus completely from your system. \n\n Restart now?",
            Answers().asked[0].text);
  EXPECT_TRUE(RestartRequests().empty());

  EXPECT_FALSE(FileExists(hosts));
  EXPECT_FALSE(FileExists(agu));
  EXPECT_FALSE(FileExists(readOnly));
  if (GetOsFamily() == OS_FAMILY_9X) {
    EXPECT_TRUE(FileExists(locked));
    EXPECT_EQ("[rename]\r\nNUL=" + lockedShortPath + "\r\n", ReadTextFile(WininitPath()));
  } else {
    EXPECT_FALSE(FileExists(locked)) << "moved into the quarantine folder";
    EXPECT_EQ(1u, PendingQuarantineDeletions().size());
  }
  EXPECT_EQ(std::vector<std::string>{Name("keep")}, [] {
    std::vector<std::string> left;
    for (const std::string& key : {RUN_KEY, RUN_SERVICES_KEY})
      for (const std::string& name : ValueNames(key))
        if (name.rfind(TEST_VALUE_PREFIX, 0) == 0) left.push_back(name);
    return left;
  }());
}

// A 32-bit program on 64-bit Windows scans the native system folder under its
// own name, not the 32-bit folder the platform shows it at that path, and
// gives the redirection back as it found it.
TEST_F(WholeScanTest, OnWow64TheScanFindsEachFileWhereItReallyIs) {
  if (!RunsUnderWow64()) GTEST_SKIP() << "a 32-bit program on 64-bit Windows only";
  const std::string folder = SystemFolder() + "\\quellor-wow64";
  const std::string sample = folder + "\\native.exe";
  const auto removeBoth = [&folder] {
    RemoveTree(folder);
    const NativeFileView nativeFiles;
    RemoveTree(folder);
  };
  removeBoth();
  {
    const NativeFileView nativeFiles;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteSample(variantTable[43], SampleKind::Match, sample));
  }
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << "the 32-bit folder's own";
  ASSERT_TRUE(WriteTextFile(sample, "a clean file of the same name"));
  CopyText(scanState.scanTarget, sizeof scanState.scanTarget, folder.c_str());
  EXPECT_EQ(1, RunScan());
  ASSERT_FALSE(collector_.lines.empty());
  EXPECT_EQ(sample + "     W32/VelTrix.Rz.Trojan removed", collector_.lines[0]);
  EXPECT_NE(collector_.lines.end(),
            std::find(collector_.lines.begin(), collector_.lines.end(), "Total files scanned\t\t:  1"));
  EXPECT_EQ("a clean file of the same name", ReadTextFile(sample)) << "redirection is on again";
  removeBoth();
}

}  // namespace
