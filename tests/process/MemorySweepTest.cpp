#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ProgramTexts.h"
#include "engine/ScanState.h"
#include "process/MemorySweep.h"
#include "standins/RecordingRestart.h"
#include "standins/ScriptedMessageBox.h"
#include "tests/process/InfectedProgram.h"
#include "tests/process/ProcessTestSupport.h"
#include "tests/support/ChildJournal.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/TestFiles.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\sweep";
constexpr DWORD END_WAIT_MS = 5000;
constexpr DWORD CHILD_WAIT_MS = 60000;
constexpr char MEMORY_LINE[] = "System Memory    W32/Veltrix.Trojan removed";
constexpr char NOTICE_START[] = "W32/Veltrix.Trojan found in memory! registry entries created by the worm are removed.";
// Exit code of the sweep child when the sweep returned to it.
constexpr int SWEEP_RETURNED = 7;

bool NineXFamily() { return VersionOfThisProgram() == WineVersion::Win98; }
bool NtFamily() { return !NineXFamily() && VersionOfThisProgram() != WineVersion::Win31; }
// NT 4.0 and NT 5.x: a process that survives termination is treated as a service.
bool HandlesSurvivorsAsServices() {
  return VersionOfThisProgram() == WineVersion::Nt40 || VersionOfThisProgram() == WineVersion::WinXp;
}

// The name the sweep gives a process image: tool-help gives bare file names here.
std::string SweptName(const std::string& path) {
  return NineXFamily() ? path.substr(path.find_last_of('\\') + 1) : path;
}

// The sweep of this platform, without the exit after a find.
void SweepOfThisPlatform() {
  if (NineXFamily()) SweepToolhelp();
  else if (NtFamily()) SweepPsapi();
}

class MemorySweepTest : public ::testing::Test {
 protected:
  MemorySweepTest() : tree_(kRoot), folder_(kRoot) {
    ResetScanState();
    Answers().Reset();
    RestartRequests().clear();
    scanState.notifyWindow = collector_.window();
    scanState.disposalChoice = DISPOSE_DELETE;
  }
  ~MemorySweepTest() override { ResetScanState(); }

  // Starts an infected program that the shipped table recognises.
  std::string StartInfected(const std::string& name, Protection protection = Protection::None) {
    const std::string path = tree_.Path(name);
    EXPECT_TRUE(WriteInfectedProgram(path));
    EXPECT_TRUE(infected_.Start(path, protection));
    return path;
  }

  TempTree tree_;
  ScopedCurrentFolder folder_;  // the 9x sweep finds bare image names here
  ReportCollector collector_;
  RunningTarget infected_;
};

TEST_F(MemorySweepTest, InfectedProcessIsTerminatedAndItsFileRemoved) {
  const std::string path = StartInfected("veltrixa.exe");
  tree_.File("veltrixa.d\\inside.txt");  // the check of the image sees the image alone
  SweepMemory();
  if (!NtFamily() && !NineXFamily()) {
    EXPECT_TRUE(collector_.lines.empty());
    EXPECT_TRUE(infected_.Running());
    return;
  }
  EXPECT_TRUE(infected_.EndsWithin(END_WAIT_MS));
  const std::vector<std::string> expected = {MEMORY_LINE, SweptName(path) + "     W32/Veltrix.Trojan removed"};
  EXPECT_EQ(expected, collector_.lines);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(1, scanState.filesInfected);
  EXPECT_EQ(1, scanState.filesRemoved);
  EXPECT_FALSE(scanState.sweepMode);
  EXPECT_EQ(0, scanState.pendingChoice);
  EXPECT_FALSE(sweepRestartFlag);
  EXPECT_TRUE(Answers().asked.empty());
}

TEST_F(MemorySweepTest, RenameChoiceRenamesTheImageOfTheTerminatedProcess) {
  scanState.disposalChoice = DISPOSE_RENAME;
  const std::string path = StartInfected("veltrixr.exe");
  SweepOfThisPlatform();
  if (!NtFamily() && !NineXFamily()) return;
  EXPECT_TRUE(infected_.EndsWithin(END_WAIT_MS));
  EXPECT_TRUE(FileExists(kRoot + "\\veltrixr.Vxe"));
  EXPECT_EQ(MEMORY_LINE, collector_.lines.at(0));
  EXPECT_EQ(1, scanState.filesRenamed);
}

TEST_F(MemorySweepTest, LeaveChoiceCountsTheFindButTouchesNothing) {
  scanState.disposalChoice = DISPOSE_LEAVE;
  const std::string path = StartInfected("veltrixl.exe");
  SweepMemory();
  EXPECT_TRUE(infected_.Running());
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(collector_.lines.empty());
  EXPECT_EQ(NtFamily() || NineXFamily() ? 1 : 0, scanState.filesInfected);
  EXPECT_EQ(0, scanState.filesRemoved);
}

TEST_F(MemorySweepTest, CleanProcessesAreCheckedButLeftAlone) {
  RunningTarget clean;
  const std::string path = tree_.Path("clean.exe");
  ASSERT_TRUE(CopyTargetProgram(path, 1));
  ASSERT_TRUE(clean.Start(path));
  StartInfected("veltrixc.exe");  // a copy of another size: the record does not recognise clean.exe
  SweepOfThisPlatform();
  EXPECT_TRUE(clean.Running());
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(NtFamily() || NineXFamily() ? 1 : 0, scanState.filesInfected);
  EXPECT_EQ(0, scanState.filesScanned) << "the sweep counts no scanned files";
}

// A process that refuses termination: on the 9x family its file still gets a
// disposal pass; on NT 6 and later nothing happens to it; on NT 4.0 and 5.x it is
// taken for a service that cannot be stopped, and a restart is requested. The
// find is its own: a process listed after it whose image cannot be checked (its
// file renamed while it runs) is left alone.
TEST_F(MemorySweepTest, ProcessThatRefusesTermination) {
  const std::string path = StartInfected("survivor.exe", Protection::Unkillable);
  RunningTarget renamed;
  ASSERT_TRUE(CopyTargetProgram(tree_.Path("renamed.exe"), 1));
  ASSERT_TRUE(renamed.Start(tree_.Path("renamed.exe")));
  ASSERT_TRUE(MoveFileA(tree_.Path("renamed.exe").c_str(), tree_.Path("moved.exe").c_str()));
  MessageBoxWatcher watcher;
  int result = 0;
  if (NineXFamily()) SweepToolhelp();
  else if (NtFamily()) result = SweepPsapi();
  EXPECT_TRUE(infected_.Running());
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(renamed.Running());
  if (NineXFamily()) {
    const std::vector<std::string> expected = {MEMORY_LINE, "survivor.exe     W32/Veltrix.Trojan Unable to remove"};
    EXPECT_EQ(expected, collector_.lines);
    ASSERT_EQ(1u, watcher.boxes.size()) << "the disposal's own termination failed too";
    EXPECT_EQ("Could not kill process", watcher.boxes[0].text);
    return;
  }
  EXPECT_TRUE(collector_.lines.empty()) << "no termination succeeded: no disposal pass";
  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_EQ(HandlesSurvivorsAsServices() ? 1 : 0, result);
  EXPECT_EQ(HandlesSurvivorsAsServices(), sweepRestartFlag);
}

// Keys of a service in both stored control sets, made by the test (Wine's
// service control manager keeps its own elsewhere) and removed at scope end.
class ServiceKeys {
 public:
  explicit ServiceKeys(const std::string& name) : name_(name) {
    for (const char* set : kControlSets) {
      HKEY key;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (set + name + "\\Enum").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
    }
  }
  ~ServiceKeys() {
    for (const char* set : kControlSets) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, (set + name_ + "\\Enum").c_str());
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, (set + name_).c_str());
    }
  }
  ServiceKeys(const ServiceKeys&) = delete;
  ServiceKeys& operator=(const ServiceKeys&) = delete;
  // Whether the service's key is in either control set.
  bool Exist() const {
    for (const char* set : kControlSets) {
      HKEY key;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (set + name_).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return true;
      }
    }
    return false;
  }

 private:
  static constexpr const char* kControlSets[] = {"SYSTEM\\ControlSet001\\Services\\",
                                                 "SYSTEM\\ControlSet002\\Services\\"};
  std::string name_;
};

TEST_F(MemorySweepTest, SurvivorOnNt4And5StopsTheServiceOfTheSameNameAndRemovesItsKeys) {
  if (!NtFamily()) GTEST_SKIP() << "services are an NT-family matter";
  // The infected program runs as a service of its own name and refuses termination.
  const std::string name = UniqueServiceName("qvtsvc");
  const std::string path = tree_.Path(name + ".exe");
  ASSERT_TRUE(WriteInfectedProgram(path));
  TestService service(name, path, "at-once unkillable");
  ServiceKeys keys(name);
  ASSERT_TRUE(service.installed());
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(keys.Exist());

  EXPECT_EQ(0, SweepPsapi()) << "the service stopped: no restart needed";
  EXPECT_FALSE(sweepRestartFlag);
  if (!HandlesSurvivorsAsServices()) {
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.State()) << "NT 6 and later stop no service";
    EXPECT_TRUE(keys.Exist());
    EXPECT_TRUE(collector_.lines.empty());
    return;
  }
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
  EXPECT_FALSE(keys.Exist());
  const std::vector<std::string> expected = {MEMORY_LINE, path + "     W32/Veltrix.Trojan removed"};
  EXPECT_EQ(expected, collector_.lines);
  EXPECT_FALSE(FileExists(path));
}

TEST_F(MemorySweepTest, TokenThatCannotBeOpenedIsToldOncePerRefusedProcess) {
  if (!NtFamily()) GTEST_SKIP() << "only the psapi sweep opens processes to list them";
  const std::string hidden = tree_.Path("hidden.exe");
  ASSERT_TRUE(CopyTargetProgram(hidden, 1));
  RunningTarget hiddenA, hiddenB;
  ASSERT_TRUE(hiddenA.Start(hidden, Protection::Unlistable));
  ASSERT_TRUE(hiddenB.Start(hidden, Protection::Unlistable));
  {
    MessageBoxWatcher watcher;
    LockedOwnToken lock;
    ASSERT_TRUE(lock.locked());
    SweepPsapi();
    ASSERT_EQ(2u, watcher.boxes.size());
    for (const MessageBoxWatcher::Box& box : watcher.boxes) {
      EXPECT_EQ("TEMP", box.caption);
      EXPECT_EQ("false", box.text);
    }
  }
  MessageBoxWatcher watcher;
  SweepPsapi();
  EXPECT_TRUE(watcher.boxes.empty()) << "with the token, the debug privilege is enabled instead";
  EXPECT_TRUE(hiddenA.Running());
  EXPECT_TRUE(hiddenB.Running());
}

// The child that runs a whole sweep, with the scripted answer to the restart
// notice: args are the infected image, the journal and the answer.
int SweepChildMain(const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  SetChildJournal(args[1]);
  ResetScanState();
  ReportCollector collector;
  scanState.notifyWindow = collector.window();
  scanState.disposalChoice = DISPOSE_DELETE;
  Answers().answers.push_back(std::stoi(args[2]));
  MessageBoxWatcher watcher;  // the 9x disposal may tell that it could not kill
  SweepMemory();
  WriteChildJournal("returned");
  return SWEEP_RETURNED;
}
ChildModeRegistrar sweepChild("sweep-memory", SweepChildMain);

class SweepExitTest : public MemorySweepTest, public ::testing::WithParamInterface<int> {};

TEST_P(SweepExitTest, FindThatNeedsARestartEndsTheProgramAfterTheNotice) {
  const int answer = GetParam();
  const std::string path = StartInfected("stubborn.exe", Protection::Unkillable);
  const std::string journal = tree_.Path("journal.txt");
  ChildProcess sweeper;
  ASSERT_TRUE(sweeper.Start("sweep-memory", {path, journal, std::to_string(answer)}, "", kRoot));
  const DWORD exitCode = sweeper.WaitForExit(CHILD_WAIT_MS);
  const std::vector<std::string> lines = ReadChildJournal(journal);
  EXPECT_TRUE(infected_.Running());
  if (!HandlesSurvivorsAsServices()) {
    EXPECT_EQ(static_cast<DWORD>(SWEEP_RETURNED), exitCode);
    EXPECT_EQ(std::vector<std::string>{"returned"}, lines);
    return;
  }
  EXPECT_EQ(0u, exitCode) << "the program ends with exit code 0";
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(0u, lines[0].find("asked 65 " + std::string(PROGRAM_TITLE) + ": " + NOTICE_START)) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find("\\n\\nRestart the computer now?"));
  const std::vector<std::string> rest(lines.begin() + 1, lines.end());
  if (answer == IDOK) EXPECT_EQ(std::vector<std::string>{"restart 6"}, rest);
  else EXPECT_TRUE(rest.empty()) << "Cancel: no restart, but the program still ends";
}

INSTANTIATE_TEST_SUITE_P(Answers, SweepExitTest, ::testing::Values(IDOK, IDCANCEL));

}  // namespace
