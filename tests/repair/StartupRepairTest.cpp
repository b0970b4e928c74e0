#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "engine/ScanState.h"
#include "process/OsProbe.h"
#include "repair/StartupRepair.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const char kVariant[] = "W32/VelTrix.Agu.Trojan";
const std::string kInfected = "C:\\Quellor-Tests\\Startup\\Agu.exe";

std::string Name(const std::string& what) { return std::string(TEST_VALUE_PREFIX) + " " + what; }
std::string Removed(const std::string& name) { return "System Registry     " + name + " removed"; }

class StartupRepairTest : public EngineTest {
 protected:
  StartupRepairTest() : EngineTest("C:\\quellor-tests\\startup-repair") {
    // No marker in either family's hosts file unless a test puts one there.
    for (const std::string& hosts : {NtHostsPath(), HostsPath9x()}) WriteTextFile(hosts, "127.0.0.1 localhost\r\n");
  }
  void Infected(const std::string& path) {
    CopyText(scanState.infectedPath, sizeof scanState.infectedPath, path.c_str());
  }

  MachineStateGuard machine_;
};

// The hosts file of the running family is examined, never the other one; on
// another platform none is, and the registry is repaired all the same.
TEST_F(StartupRepairTest, TheHostsFileOfTheRunningFamilyIsExamined) {
  ASSERT_TRUE(WriteMarkerFile(NtHostsPath()));
  ASSERT_TRUE(WriteMarkerFile(HostsPath9x()));
  ASSERT_TRUE(SetString(RUN_KEY, Name("starter"), kInfected));
  Infected(kInfected);
  EXPECT_EQ(1, RepairStartupEntries(kVariant));

  const int family = GetOsFamily();
  std::vector<std::string> expected;
  if (family == OS_FAMILY_NT) expected.push_back(NtHostsPath() + "     W32/Nyxem.Worm removed");
  if (family == OS_FAMILY_9X) expected.push_back(HostsPath9x() + "     W32/Nyxem.Worm removed");
  expected.push_back(Removed("W32/Veltrix.Trojan"));
  EXPECT_EQ(expected, collector_.lines);
  EXPECT_EQ(family != OS_FAMILY_NT, FileExists(NtHostsPath()));
  EXPECT_EQ(family != OS_FAMILY_9X, FileExists(HostsPath9x()));
  EXPECT_FALSE(ValueExists(RUN_KEY, Name("starter")));
}

TEST_F(StartupRepairTest, TheRememberedValueGoesFromBothKeysBeforeTheScan) {
  // An earlier detection removed a value of this name; by now it names another file.
  CopyText(removedValueName, sizeof removedValueName, Name("remembered").c_str());
  ASSERT_TRUE(SetString(RUN_KEY, Name("remembered"), "c:\\elsewhere\\tool.exe"));
  ASSERT_TRUE(SetString(RUN_SERVICES_KEY, Name("remembered"), "c:\\elsewhere\\tool.exe"));
  ASSERT_TRUE(SetString(RUN_SERVICES_KEY, Name("starter"), "\"" + kInfected + "\" -service"));
  Infected(kInfected);
  EXPECT_EQ(1, RepairStartupEntries(kVariant));
  const std::vector<std::string> expected = {Removed(kVariant), Removed(kVariant), Removed("W32/Veltrix.Trojan")};
  EXPECT_EQ(expected, collector_.lines);
  EXPECT_FALSE(ValueExists(RUN_KEY, Name("remembered")));
  EXPECT_FALSE(ValueExists(RUN_SERVICES_KEY, Name("remembered")));
  EXPECT_FALSE(ValueExists(RUN_SERVICES_KEY, Name("starter")));
  EXPECT_EQ(Name("starter"), removedValueName) << "the scan's removal replaces the remembered name";
}

TEST_F(StartupRepairTest, WithoutAnInfectedPathOnlyTheRememberedValueGoes) {
  CopyText(removedValueName, sizeof removedValueName, Name("remembered").c_str());
  ASSERT_TRUE(SetString(RUN_SERVICES_KEY, Name("remembered"), "x.exe"));
  ASSERT_TRUE(SetString(RUN_KEY, Name("starter"), kInfected));
  EXPECT_EQ(1, RepairStartupEntries(kVariant));
  EXPECT_EQ(std::vector<std::string>{Removed(kVariant)}, collector_.lines);
  EXPECT_TRUE(ValueExists(RUN_KEY, Name("starter")));
  EXPECT_EQ(Name("remembered"), removedValueName);
}

TEST_F(StartupRepairTest, AMissingStartupKeyLeavesTheOtherOneRepaired) {
  SavedRegistryKey runServices(HKEY_LOCAL_MACHINE, RUN_SERVICES_KEY);
  ASSERT_TRUE(runServices.saved());
  DeleteKeyTree(RUN_SERVICES_KEY);
  ASSERT_FALSE(KeyExists(RUN_SERVICES_KEY));
  ASSERT_TRUE(SetString(RUN_KEY, Name("starter"), kInfected));
  CopyText(removedValueName, sizeof removedValueName, Name("remembered").c_str());
  Infected(kInfected);
  EXPECT_EQ(1, RepairStartupEntries(kVariant));
  EXPECT_EQ(std::vector<std::string>{Removed("W32/Veltrix.Trojan")}, collector_.lines);
  EXPECT_FALSE(KeyExists(RUN_SERVICES_KEY)) << "nothing is created";
}

// On 64-bit Windows both views of the registry are examined, whichever file
// runs: a value that a program of the other width wrote goes too.
TEST_F(StartupRepairTest, OnSixtyFourBitWindowsTheValuesOfBothRegistryViewsGo) {
  const REGSAM other = OtherRegistryView();
  if (other == 0) GTEST_SKIP() << "the registry has one view here";
  ASSERT_TRUE(SetString(RUN_KEY, Name("own view"), kInfected));
  ASSERT_TRUE(SetString(RUN_KEY, Name("other view"), kInfected, REG_SZ, other));
  ASSERT_FALSE(ValueExists(RUN_KEY, Name("other view"))) << "the views are apart";
  Infected(kInfected);
  EXPECT_EQ(1, RepairStartupEntries(kVariant));
  EXPECT_EQ(std::vector<std::string>(2, Removed("W32/Veltrix.Trojan")), collector_.lines);
  EXPECT_FALSE(ValueExists(RUN_KEY, Name("own view")));
  EXPECT_FALSE(ValueExists(RUN_KEY, Name("other view"), other));
}

TEST_F(StartupRepairTest, NothingFoundIsStillSuccess) {
  Infected(kInfected);
  EXPECT_EQ(1, RepairStartupEntries(kVariant));
  EXPECT_TRUE(collector_.lines.empty());
  EXPECT_STREQ("", removedValueName);
}

}  // namespace
