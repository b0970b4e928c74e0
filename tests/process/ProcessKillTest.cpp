#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/Detection.h"
#include "engine/ScanState.h"
#include "process/OsProbe.h"
#include "process/PerfData.h"
#include "process/ProcessKill.h"
#include "process/ProcessList.h"
#include "tests/process/InfectedProgram.h"
#include "tests/process/ProcessTestSupport.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\kill";
constexpr DWORD END_WAIT_MS = 5000;
constexpr char COULD_NOT_KILL[] = "Could not kill process";

// Under every version this program runs as, tool-help or psapi find the
// processes (Wine's NT 4.0 has psapi.dll; the performance data, which Wine
// answers without processes, is read only where psapi.dll is missing).
// NT 5.x answers that it took the list, whether or not it terminated anything.
bool AnswersThatItTookTheList() { return VersionOfThisProgram() == WineVersion::WinXp; }
bool ComparesFullPaths() {
  return VersionOfThisProgram() != WineVersion::Win98 && VersionOfThisProgram() != WineVersion::Win31;
}

class ProcessKillTest : public ::testing::Test {
 protected:
  ProcessKillTest() : tree_(kRoot) {}

  // A copy of the target program below the test folder.
  std::string Copy(const std::string& relative, std::size_t padding = 1) {
    const std::string path = tree_.Path(relative);
    tree_.Folder(relative.substr(0, relative.find_last_of('\\') + 1));
    EXPECT_TRUE(CopyTargetProgram(path, padding)) << path;
    return path;
  }

  // The detection step of a scan (not the sweep's check) with this disposal,
  // reporting to collector.
  static void ScanWith(int32_t disposal, const ReportCollector& collector) {
    ResetScanState();
    scanState.sweepMode = false;
    scanState.notifyWindow = collector.window();
    scanState.disposalChoice = disposal;
  }

  TempTree tree_;
};

TEST_F(ProcessKillTest, ToolhelpEndsOnlyTheFirstProcessOfThatFileName) {
  RunningTarget first, second;
  ASSERT_TRUE(first.Start(Copy("a\\twin.exe")));
  ASSERT_TRUE(second.Start(Copy("b\\twin.exe")));
  // Another folder and other letter case: only the file name counts.
  EXPECT_EQ(1, KillByToolhelp("C:\\elsewhere\\TWIN.EXE"));
  EXPECT_TRUE(first.EndsWithin(END_WAIT_MS));
  EXPECT_TRUE(second.Running());
  EXPECT_EQ(1, KillByToolhelp("twin.exe"));
  EXPECT_TRUE(second.EndsWithin(END_WAIT_MS));
  EXPECT_EQ(0, KillByToolhelp("C:\\elsewhere\\twin.exe")) << "none is left";
}

TEST_F(ProcessKillTest, ToolhelpGivesZeroForAProcessThatRefusesTermination) {
  RunningTarget guarded;
  ASSERT_TRUE(guarded.Start(Copy("guarded.exe"), Protection::Unkillable));
  EXPECT_EQ(0, KillByToolhelp("guarded.exe"));
  EXPECT_TRUE(guarded.Running());
}

TEST_F(ProcessKillTest, PsapiEndsTheProcessesOfTheSamePathIgnoringCase) {
  const std::string a = Copy("a\\same.exe");
  const std::string b = Copy("longer folder name\\same.exe");
  RunningTarget inA, inB;
  ASSERT_TRUE(inA.Start(a));
  ASSERT_TRUE(inB.Start(b));
  std::string upper = a;
  CharUpperA(&upper[0]);
  EXPECT_TRUE(KillByPsapi(upper.c_str()));
  EXPECT_TRUE(inA.EndsWithin(END_WAIT_MS));
  EXPECT_TRUE(inB.Running());
  char shortPath[MAX_PATH] = {};
  ASSERT_NE(0u, GetShortPathNameA(b.c_str(), shortPath, sizeof shortPath));
  ASSERT_NE(b, shortPath);
  EXPECT_TRUE(KillByPsapi(shortPath)) << "the list was taken";
  EXPECT_TRUE(inB.Running()) << "a path of another length names no process";
  EXPECT_TRUE(KillByPsapi(tree_.Path("nothing.exe").c_str()));
}

TEST_F(ProcessKillTest, PerfDataTerminationEndsEveryProcessOfExactlyTheTargetsName) {
  RunningTarget a, b, longer, essential;
  ASSERT_TRUE(a.Start(Copy("perfmatch.exe")));
  ASSERT_TRUE(b.Start(Copy("b\\perfmatch.exe")));
  ASSERT_TRUE(longer.Start(Copy("perfmatchb.exe")));
  ASSERT_TRUE(essential.Start(Copy("lsass.exe")));
  const PerfProcessSlot slots[] = {{a.Id(), "perfmatch"},
                                   {longer.Id(), "perfmatchb"},  // a longer name runs another file
                                   {b.Id(), "PERFMATCH"},
                                   {essential.Id(), "lsass"},  // never terminated, whatever the target
                                   {GetCurrentProcessId(), "perfmatch"},
                                   {PERF_ZERO_ID_STORED, "perfmatch"}};
  EXPECT_EQ(1, TerminatePerfMatches(slots, 5, "PERFMATCH"));
  EXPECT_TRUE(a.EndsWithin(END_WAIT_MS));
  EXPECT_TRUE(b.EndsWithin(END_WAIT_MS));
  EXPECT_TRUE(longer.Running());
  EXPECT_EQ(0, TerminatePerfMatches(slots + 3, 1, "LSASS"));
  EXPECT_TRUE(essential.Running());
  EXPECT_EQ(0, TerminatePerfMatches(slots + 5, 1, "PERFMATCH")) << "the stored id of process 0 opens nothing";
  a.Kill();  // the last handle to the ended process: its id is gone
  EXPECT_EQ(0, TerminatePerfMatches(slots, 2, "PERFMATCH")) << "the only matching process has ended";
}

// Whichever method found them: never the program itself, nor a process
// Windows cannot live without, known by its image name in any folder.
TEST(MayTerminate, NeverTheProgramItselfNorAProcessWindowsCannotLiveWithout) {
  const DWORD other = GetCurrentProcessId() + 4;
  const struct {
    DWORD id;
    const char* image;
    bool may;
  } cases[] = {
      {GetCurrentProcessId(), "C:\\tools\\quellor.exe", false},
      {other, "C:\\Windows\\system32\\lsass.exe", false},
      {other, "C:\\elsewhere\\CSRSS.EXE", false},
      {other, "winlogon", false},
      {other, "C:\\Windows\\system32\\svchost.exe", true},
      {other, "lsass2.exe", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.may, MayTerminate(c.id, c.image)) << c.image;
}

TEST_F(ProcessKillTest, KillProcessByPathUsesThePlatformsMethod) {
  const std::string path = Copy("victim.exe");
  RunningTarget victim, namesake;
  ASSERT_TRUE(victim.Start(path));
  // A program of the same name in another folder: the NT family compares
  // full image paths (Wine's tool-help gives only names).
  if (ComparesFullPaths()) {
    ASSERT_TRUE(namesake.Start(Copy("elsewhere\\victim.exe")));
  }
  MessageBoxWatcher watcher;
  const int result = KillProcessByPath(path.c_str());
  EXPECT_EQ(1, result);
  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_TRUE(victim.EndsWithin(END_WAIT_MS));
  if (ComparesFullPaths()) {
    EXPECT_TRUE(namesake.Running());
  }
}

TEST_F(ProcessKillTest, AFailedAttemptShowsTheBoxUnlessPsapiTookTheList) {
  const std::string path = tree_.Path("nobody.exe");
  MessageBoxWatcher watcher;
  const int result = KillProcessByPath(path.c_str());
  if (AnswersThatItTookTheList()) {
    EXPECT_EQ(1, result) << "nothing matched, but the caller may try again";
    EXPECT_TRUE(watcher.boxes.empty());
    return;
  }
  EXPECT_EQ(0, result);
  ASSERT_EQ(1u, watcher.boxes.size());
  EXPECT_EQ(path, watcher.boxes[0].caption);
  EXPECT_EQ(COULD_NOT_KILL, watcher.boxes[0].text);
}

// The infected file is the image of a running process: its first deletion
// fails, the process is terminated, and the second deletion removes it.
TEST_F(ProcessKillTest, RunningInfectedImageIsDeletedAfterItsProcessIsTerminated) {
  MachineStateGuard machine;
  QuarantineGuard quarantine;
  ReportCollector collector;
  ScanWith(DISPOSE_DELETE, collector);
  const std::string path = tree_.Path("locked.exe");
  ASSERT_TRUE(WriteInfectedProgram(path));
  RunningTarget running;
  ASSERT_TRUE(running.Start(path));
  ASSERT_FALSE(DeleteFileA(path.c_str())) << "a running image cannot be deleted";
  MessageBoxWatcher watcher;

  EXPECT_EQ(1, DetectAndDispose("W32/Veltrix.Trojan", path.c_str()));
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Agu.Trojan removed"}, collector.lines);
  EXPECT_EQ(1, scanState.filesRemoved);
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(running.EndsWithin(END_WAIT_MS));
  EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(ProcessKillTest, ASecondTerminationTellsASurvivorFromAnEndedProcess) {
  RunningTarget killable, guarded;
  ASSERT_TRUE(killable.Start(Copy("killable.exe")));
  ASSERT_TRUE(guarded.Start(Copy("survivor.exe"), Protection::Unkillable));
  const DWORD killableId = killable.Id();
  EXPECT_TRUE(TerminatedOrEnded(killableId));
  EXPECT_TRUE(killable.EndsWithin(END_WAIT_MS));
  killable.Kill();  // the last handle: no process of that id is left
  EXPECT_TRUE(TerminatedOrEnded(killableId));
  EXPECT_FALSE(TerminatedOrEnded(guarded.Id()));
  EXPECT_TRUE(guarded.Running());
}

// The image name a listing gives the process of this id, or "" when it lists none.
std::string ListedImage(ListOutcome (*take)(ProcessList&), DWORD id) {
  ProcessList list;
  if (take(list) != ListOutcome::Listed) return "";
  for (const ProcessNode* node = list.head(); node; node = node->next) {
    if (node->processId == id) return node->imagePath;
  }
  return "";
}

// The generated program of the shipped table's first record runs our library
// and is recognised, while it runs, as that record's variant.
TEST_F(ProcessKillTest, InfectedProgramRunsAndTheShippedTableRecognisesIt) {
  MachineStateGuard machine;
  ReportCollector collector;
  ScanWith(DISPOSE_LEAVE, collector);
  const std::string path = tree_.Path("infected.exe");
  ASSERT_TRUE(WriteInfectedProgram(path));
  RunningTarget running;
  ASSERT_TRUE(running.Start(path)) << "the library raised the ready event";
  EXPECT_EQ(1, DetectAndDispose("W32/Veltrix.Trojan", path.c_str()));
  EXPECT_EQ(std::vector<std::string>{path + "     W32/VelTrix.Agu.Trojan not disinfected as per user's selection"},
            collector.lines);
  EXPECT_TRUE(running.Running());
  EXPECT_EQ(path, ListedImage([](ProcessList& list) { return TakePsapiList(list); }, running.Id()));
  EXPECT_EQ("infected.exe", ListedImage(TakeToolhelpList, running.Id()));
}

// Its exit code is TargetMain's result (the wait mode cannot open an event
// that does not exist), or its own when the library or the function is missing.
TEST_F(ProcessKillTest, InfectedProgramExitsWithTheLibrarysResultOrItsOwnCode) {
  const struct {
    std::string library;
    DWORD exitCode;
  } cases[] = {{TargetLibraryPath(), 4},
               {tree_.Path("absent.dll"), INFECTED_PROGRAM_MISSING_LIBRARY},
               {SystemFolder() + "\\kernel32.dll", INFECTED_PROGRAM_MISSING_LIBRARY}};
  for (const auto& c : cases) {
    std::vector<unsigned char> bytes;
    const std::string path = tree_.Path("exits.exe");
    ASSERT_TRUE(BuildInfectedProgram(c.library, bytes) && WriteBytes(path, bytes)) << c.library;
    ChildProcess child;
    ASSERT_TRUE(child.Start("wait", {"quellor-no-such-event"}, path, kRoot));
    EXPECT_EQ(c.exitCode, child.WaitForExit(END_WAIT_MS)) << c.library;
  }
}

}  // namespace
