#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Text.h"
#include "engine/ScanState.h"
#include "process/OsProbe.h"
#include "repair/RegistryOps.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"

namespace {

const std::string kSandbox = "Software\\Quellor-Tests\\Registry";
const std::string kRemovedLine = "System Registry     W32/Veltrix.Trojan removed";
constexpr unsigned char CANARY = 0xBD;
constexpr std::size_t CANARY_BYTES = 16;

std::string Name(const std::string& what) { return std::string(TEST_VALUE_PREFIX) + " " + what; }

class RegistryReadTest : public ::testing::Test {
 protected:
  RegistryReadTest() { DeleteKeyTree(kSandbox); }
  ~RegistryReadTest() override { DeleteKeyTree(kSandbox); }

  // Reads into a REGISTRY_DATA_SIZE buffer followed by canary bytes.
  int Read(const std::string& name) {
    buffer_.assign(REGISTRY_DATA_SIZE + CANARY_BYTES, CANARY);
    return ReadRegistryValue(HKEY_LOCAL_MACHINE, kSandbox.c_str(), name.c_str(), buffer_.data(), REGISTRY_DATA_SIZE);
  }
  std::string Text() const { return std::string(buffer_.data()); }
  bool CanaryIntact() const {
    for (std::size_t i = REGISTRY_DATA_SIZE; i < buffer_.size(); ++i)
      if (static_cast<unsigned char>(buffer_[i]) != CANARY) return false;
    return true;
  }

  std::vector<char> buffer_;
};

TEST_F(RegistryReadTest, StringsOfAnyTypeAreReadAsStoredAndTerminated) {
  ASSERT_TRUE(SetString(kSandbox, "plain", "C:\\x\\a.exe"));
  ASSERT_TRUE(SetString(kSandbox, "expand", "%windir%\\a.exe", REG_EXPAND_SZ));
  const DWORD number = 0x44434241;  // "ABCD" in memory
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kSandbox, "number", REG_DWORD, &number, sizeof number));
  EXPECT_EQ(1, Read("plain"));
  EXPECT_EQ("C:\\x\\a.exe", Text());
  EXPECT_EQ(1, Read("expand"));
  EXPECT_EQ("%windir%\\a.exe", Text()) << "not expanded by the read";
  EXPECT_EQ(1, Read("number"));
  EXPECT_EQ("ABCD", Text());
  EXPECT_TRUE(CanaryIntact());
}

TEST_F(RegistryReadTest, ALongValueIsReadInPartWithinTheBuffer) {
  const std::string longData = "C:\\x\\a.exe " + std::string(600, 'q');
  ASSERT_TRUE(SetString(kSandbox, "long", longData));
  // Not terminated in the registry, exactly as large as the buffer.
  const std::string exact(REGISTRY_DATA_SIZE, 'e');
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kSandbox, "exact", REG_SZ, exact.data(), REGISTRY_DATA_SIZE));
  EXPECT_EQ(1, Read("long"));
  EXPECT_EQ(longData.substr(0, REGISTRY_DATA_SIZE - 1), Text());
  EXPECT_TRUE(CanaryIntact());
  EXPECT_EQ(1, Read("exact"));
  EXPECT_EQ(exact.substr(0, REGISTRY_DATA_SIZE - 1), Text());
  EXPECT_TRUE(CanaryIntact());
}

TEST_F(RegistryReadTest, MissingKeysAndValuesReadNothing) {
  EXPECT_EQ(0, Read("anything")) << "no key";
  ASSERT_TRUE(CreateKey(kSandbox));
  EXPECT_EQ(0, Read("missing"));
  EXPECT_TRUE(CanaryIntact());
}

TEST_F(RegistryReadTest, DeleteRemovesOneValueOnce) {
  ASSERT_TRUE(SetString(kSandbox, "gone", "x"));
  ASSERT_TRUE(SetString(kSandbox, "kept", "y"));
  EXPECT_EQ(1, DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSandbox.c_str(), "gone"));
  EXPECT_EQ(0, DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSandbox.c_str(), "gone"));
  EXPECT_EQ(std::vector<std::string>{"kept"}, ValueNames(kSandbox));
  EXPECT_EQ(0, DeleteRegistryValue(HKEY_LOCAL_MACHINE, (kSandbox + "\\none").c_str(), "kept"));
}

// The autorun scan on the real Run key of the test machine, with test values
// that are removed before and after each test.
class AutorunScanTest : public ::testing::Test {
 protected:
  AutorunScanTest() {
    ResetScanState();
    scanState.notifyWindow = collector_.window();
    SetEnvironmentVariableA("QUELLOR_TEST_DIR", "C:\\Quellor-Tests\\Autorun");
    SetEnvironmentVariableA("QUELLOR_TEST_DIR_SLASH", "C:\\Quellor-Tests\\Autorun\\");
    SetEnvironmentVariableA("QUELLOR_TEST_LONG", std::string(300, 'L').c_str());
  }
  ~AutorunScanTest() override {
    for (const char* variable : {"QUELLOR_TEST_DIR", "QUELLOR_TEST_DIR_SLASH", "QUELLOR_TEST_LONG"})
      SetEnvironmentVariableA(variable, nullptr);
  }

  void Infected(const std::string& path) {
    CopyText(scanState.infectedPath, sizeof scanState.infectedPath, path.c_str());
  }
  void Put(const std::string& what, const std::string& data, DWORD type = REG_SZ) {
    ASSERT_TRUE(SetString(RUN_KEY, Name(what), data, type));
  }
  void Scan() { ScanAutorunKey(HKEY_LOCAL_MACHINE, RUN_KEY); }
  bool Present(const std::string& what) { return ValueExists(RUN_KEY, Name(what)); }
  std::vector<std::string> Removals(std::size_t count) { return std::vector<std::string>(count, kRemovedLine); }

  MachineStateGuard machine_;
  ReportCollector collector_;
};

TEST_F(AutorunScanTest, ValuesThatStartTheInfectedFileByPathAreRemoved) {
  Infected("C:\\Quellor-Tests\\Autorun\\Evil.exe");
  const struct {
    const char* what;
    const char* data;
    DWORD type;
    bool removed;
  } values[] = {
      // Quoted, other letter case, with arguments: the opening quote is skipped.
      {"quoted", "\"c:\\QUELLOR-tests\\autorun\\EVIL.EXE\" /run", REG_SZ, true},
      // Reaches the file through an environment variable.
      {"variable", "%QUELLOR_TEST_DIR%\\evil.exe -q", REG_EXPAND_SZ, true},
      {"quoted variable", "\"%QUELLOR_TEST_DIR%\\Evil.exe\"", REG_SZ, true},
      // Only the infected path's length is compared.
      {"longer name", "c:\\quellor-tests\\autorun\\evil.exe2.exe", REG_SZ, true},
      {"other file", "c:\\quellor-tests\\autorun\\good.exe", REG_SZ, false},
      {"other folder", "c:\\other\\evil.exe", REG_SZ, false},
      {"path inside arguments", "c:\\tool.exe c:\\quellor-tests\\autorun\\evil.exe", REG_SZ, false},
      // A bare name outside a system folder stays, and the path rule is not
      // tried although its expansion would match.
      {"bare", "evil.exe", REG_SZ, false},
      {"bare through variable", "%QUELLOR_TEST_DIR_SLASH%evil.exe", REG_SZ, false},
      {"number", "\x01\x02", REG_BINARY, false},
  };
  for (const auto& v : values) ASSERT_NO_FATAL_FAILURE(Put(v.what, v.data, v.type));
  Scan();
  std::size_t removed = 0;
  for (const auto& v : values) {
    EXPECT_EQ(!v.removed, Present(v.what)) << v.what;
    removed += v.removed;
  }
  EXPECT_EQ(Removals(removed), collector_.lines);
  EXPECT_STREQ("c:\\quellor-tests\\autorun\\evil.exe", scanState.infectedPath) << "lower-cased in place";
}

TEST_F(AutorunScanTest, BareNamesAreRemovedOnlyWhenTheFileIsInASystemFolder) {
  ASSERT_NO_FATAL_FAILURE(Put("bare", "quellorevil.exe"));
  ASSERT_NO_FATAL_FAILURE(Put("bare with arguments", "quellorevil.exe /s"));
  ASSERT_NO_FATAL_FAILURE(Put("rooted", "\\quellorevil.exe"));
  ASSERT_NO_FATAL_FAILURE(Put("longer name", "xquellorevil.exe"));  // a substring test
  ASSERT_NO_FATAL_FAILURE(Put("other", "other.exe"));
  Infected("C:\\Windows\\System32\\QuellorEvil.exe");
  Scan();
  EXPECT_EQ(Removals(4), collector_.lines);
  EXPECT_TRUE(Present("other"));
  EXPECT_FALSE(Present("bare"));
  EXPECT_FALSE(Present("longer name"));

  ASSERT_NO_FATAL_FAILURE(Put("bare", "quellorevil.exe"));
  Infected("C:\\Windows\\System\\QuellorEvil.exe");
  Scan();
  EXPECT_FALSE(Present("bare")) << "\\system\\ counts too";
  ASSERT_NO_FATAL_FAILURE(Put("bare", "quellorevil.exe"));
  Infected("C:\\Windows\\System32x\\QuellorEvil.exe");
  Scan();
  EXPECT_TRUE(Present("bare"));
  EXPECT_EQ(Removals(5), collector_.lines);
}

TEST_F(AutorunScanTest, MatchingValuesInARowAreAllRemoved) {
  Infected("C:\\Quellor-Tests\\Autorun\\v.exe");
  for (const char* what : {"1", "2", "3", "4", "5"})
    ASSERT_NO_FATAL_FAILURE(
        Put(what, std::strcmp(what, "4") == 0 ? "c:\\keep.exe" : "c:\\quellor-tests\\autorun\\v.exe"));
  // The test relies on the values being enumerated in the order they were made.
  std::vector<std::string> names;
  for (const std::string& name : ValueNames(RUN_KEY))
    if (name.rfind(TEST_VALUE_PREFIX, 0) == 0) names.push_back(name);
  ASSERT_EQ((std::vector<std::string>{Name("1"), Name("2"), Name("3"), Name("4"), Name("5")}), names);
  Scan();
  EXPECT_EQ(Removals(4), collector_.lines);
  EXPECT_TRUE(Present("4"));
  for (const char* what : {"1", "2", "3", "5"}) EXPECT_FALSE(Present(what)) << what;
  EXPECT_EQ(Name("5"), removedValueName) << "the last removal stands";
}

TEST_F(AutorunScanTest, LongDataLongExpansionsAndLongNamesStayBounded) {
  Infected("C:\\Quellor-Tests\\Autorun\\v.exe");
  ASSERT_NO_FATAL_FAILURE(Put("long data", "\"c:\\quellor-tests\\autorun\\v.exe\" " + std::string(1000, 'a')));
  ASSERT_NO_FATAL_FAILURE(Put("long expansion", "%QUELLOR_TEST_LONG%\\v.exe"));
  ASSERT_NO_FATAL_FAILURE(
      Put("long expansion after the path", "c:\\quellor-tests\\autorun\\v.exe %QUELLOR_TEST_LONG%"));
  Scan();
  EXPECT_FALSE(Present("long data")) << "read in part, still starts the file";
  EXPECT_TRUE(Present("long expansion"));
  EXPECT_FALSE(Present("long expansion after the path"));
  EXPECT_EQ(Name("long expansion after the path"), removedValueName);

  // 127 characters fit; a longer name is removed but not remembered, since a
  // cut name could name another value.
  const std::string fits = Name(std::string(127 - Name("").size(), 'n'));
  ASSERT_EQ(127u, fits.size());
  ASSERT_TRUE(SetString(RUN_KEY, fits, "c:\\quellor-tests\\autorun\\v.exe"));
  Scan();
  EXPECT_EQ(fits, removedValueName);
  const std::string tooLong = Name(std::string(300, 'n'));
  ASSERT_TRUE(SetString(RUN_KEY, tooLong, "c:\\quellor-tests\\autorun\\v.exe"));
  Scan();
  EXPECT_FALSE(ValueExists(RUN_KEY, tooLong));
  EXPECT_EQ(fits, removedValueName);
  EXPECT_EQ(Removals(4), collector_.lines);
}

TEST_F(AutorunScanTest, NothingIsExaminedWithoutAnInfectedFileName) {
  ASSERT_NO_FATAL_FAILURE(Put("value", "c:\\quellor-tests\\autorun\\v.exe"));
  for (const char* infected : {"", "C:NoBackslash.exe", "C:\\Quellor-Tests\\Autorun\\"}) {
    Infected(infected);
    Scan();
    EXPECT_TRUE(Present("value")) << infected;
    EXPECT_STREQ(infected, scanState.infectedPath) << "left as it was";
  }
  EXPECT_TRUE(collector_.lines.empty());
}

TEST_F(AutorunScanTest, RemovalsHappenWithoutAWindowAndMissingKeysChangeNothing) {
  scanState.notifyWindow = nullptr;
  Infected("C:\\Quellor-Tests\\Autorun\\v.exe");
  ASSERT_NO_FATAL_FAILURE(Put("value", "c:\\quellor-tests\\autorun\\v.exe"));
  Scan();
  EXPECT_FALSE(Present("value"));
  EXPECT_EQ(Name("value"), removedValueName);
  EXPECT_TRUE(collector_.lines.empty());

  scanState.notifyWindow = collector_.window();
  ScanAutorunKey(HKEY_LOCAL_MACHINE, (kSandbox + "\\none").c_str());
  ASSERT_TRUE(CreateKey(kSandbox));
  ScanAutorunKey(HKEY_LOCAL_MACHINE, kSandbox.c_str());
  DeleteKeyTree(kSandbox);
  EXPECT_TRUE(collector_.lines.empty());
}

// Service keys in both stored control sets.
const std::string kService = "QuellorTestService";
const char* const kControlSets[] = {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002", "SYSTEM\\ControlSet003"};

class ServiceKeysTest : public ::testing::Test {
 protected:
  ServiceKeysTest() {
    for (const char* set : kControlSets) {
      existed_.push_back(KeyExists(set));
      DeleteKeyTree(Service(set));
    }
  }
  ~ServiceKeysTest() override {
    for (std::size_t i = 0; i < existed_.size(); ++i) {
      DeleteKeyTree(Service(kControlSets[i]));
      if (!existed_[i]) DeleteKeyTree(kControlSets[i]);
    }
  }
  static std::string Service(const std::string& set, const std::string& sub = "") {
    return set + "\\Services\\" + kService + sub;
  }
  static void Make(const std::string& set, std::initializer_list<const char*> subs) {
    ASSERT_TRUE(CreateKey(Service(set)));
    for (const char* sub : subs) ASSERT_TRUE(CreateKey(Service(set, sub)));
  }

  std::vector<bool> existed_;
};

TEST_F(ServiceKeysTest, BothStoredControlSetsLoseTheServiceKeys) {
  ASSERT_NO_FATAL_FAILURE(Make(kControlSets[0], {"\\Enum", "\\Security"}));
  ASSERT_NO_FATAL_FAILURE(Make(kControlSets[1], {"\\Enum"}));
  ASSERT_NO_FATAL_FAILURE(Make(kControlSets[2], {"\\Enum", "\\Security"}));
  EXPECT_EQ(1, DeleteServiceKeys(kService.c_str()));
  EXPECT_FALSE(KeyExists(Service(kControlSets[0])));
  EXPECT_FALSE(KeyExists(Service(kControlSets[1])));
  EXPECT_TRUE(KeyExists(Service(kControlSets[2], "\\Security"))) << "no other control set is touched";
  EXPECT_EQ(0, DeleteServiceKeys(kService.c_str())) << "nothing left to delete";
}

TEST_F(ServiceKeysTest, OneControlSetIsEnoughAndOtherSubkeysKeepTheServiceKey) {
  ASSERT_NO_FATAL_FAILURE(Make(kControlSets[0], {"\\Enum", "\\Security", "\\Parameters"}));
  EXPECT_EQ(1, DeleteServiceKeys(kService.c_str()));
  EXPECT_FALSE(KeyExists(Service(kControlSets[0], "\\Enum")));
  EXPECT_FALSE(KeyExists(Service(kControlSets[0], "\\Security")));
  // The platform's plain key deletion: on the NT family a key with subkeys
  // stays; on the others it goes with its whole tree.
  const bool nt = GetOsFamily() == OS_FAMILY_NT;
  EXPECT_EQ(nt, KeyExists(Service(kControlSets[0], "\\Parameters")));
  EXPECT_EQ(nt, KeyExists(Service(kControlSets[0])));
}

TEST_F(ServiceKeysTest, NamesThatNameNoServiceDeleteNothing) {
  const std::string neighbour = Service(kControlSets[0]) + "Neighbour";
  ASSERT_TRUE(CreateKey(neighbour));
  EXPECT_EQ(0, DeleteServiceKeys(kService.c_str()));
  EXPECT_EQ(0, DeleteServiceKeys(std::string(600, 's').c_str())) << "too long for a key path";
  EXPECT_EQ(0, DeleteServiceKeys(""));
  EXPECT_TRUE(KeyExists(neighbour)) << "the Services key and its other services stay";
  DeleteKeyTree(neighbour);
}

TEST_F(ServiceKeysTest, DeleteMachineKeyDeletesOneKey) {
  ASSERT_NO_FATAL_FAILURE(Make(kControlSets[0], {}));
  EXPECT_EQ(1, DeleteMachineKey(Service(kControlSets[0]).c_str()));
  EXPECT_EQ(0, DeleteMachineKey(Service(kControlSets[0]).c_str()));
}

}  // namespace
