// A folder swapped for a link between the examination of a file and the
// actions on it, or between the scan and the restart: every action reaches the
// examined file or nothing, never the file the link leads to. Wine follows a
// host symbolic link made inside the prefix (tests/support/HostFiles.h).
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/Detection.h"
#include "process/OsProbe.h"
#include "repair/FileSecurity.h"
#include "repair/Quarantine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/HostFiles.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/SystemGuards.h"
#include "tools/uidriver/UiDriver.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\swap";
const std::string kQuarantine = std::string("C:\\") + QUARANTINE_FOLDER;
const std::string kClean = "a clean program of the same name";
constexpr DWORD RESTART_MS = 60 * 1000;

class LinkSwapTest : public EngineTest {
 protected:
  LinkSwapTest() : EngineTest(kRoot) {
    Plant();
    current = this;
  }
  ~LinkSwapTest() override {
    link_.reset();
    current = nullptr;
  }

  // The sample in its folder, and a clean file of the same name in another.
  void Plant() {
    tree_.Folder("box");
    sample_ = Sample(44, "box\\tool.exe");
    clean_ = tree_.File("other\\tool.exe", kClean);
  }

  // What a hostile user does: the sample's folder goes, and a link to the
  // folder with the clean file of the same name takes its place.
  void SwapTheFolderForALink() {
    ASSERT_TRUE(MoveFileA(tree_.Path("box").c_str(), tree_.Path("box-away").c_str()));
    link_ = std::make_unique<FolderLink>(tree_.Path("box"), tree_.Path("other"));
    ASSERT_TRUE(link_->made()) << "no link could be made";
  }
  static void SwapAfterExamination(const char*) { ASSERT_NO_FATAL_FAILURE(current->SwapTheFolderForALink()); }

  void ExpectTheCleanFileUntouched() {
    EXPECT_EQ(kClean, ReadTextFile(clean_));
    EXPECT_EQ(kClean, ReadTextFile(sample_)) << "the link still leads to it";
  }
  void ExpectNothingScheduled() {
    EXPECT_EQ(0, scanState.restartNeeded);
    EXPECT_TRUE(PendingRenames().empty());
  }
  // Detects the sample: one report line, ending in words.
  void ExpectTheSampleReported(const std::string& words) {
    EXPECT_EQ(1, DetectAndDispose(kHandlerName, sample_.c_str()));
    EXPECT_EQ(std::vector<std::string>{sample_ + "     W32/VelTrix.Rz.Trojan " + words}, collector_.lines);
  }
  // The restart: Wine's start-up carries out the pending renames.
  void Restart() {
    HANDLE boot = nullptr;
    DWORD id = 0;
    ASSERT_TRUE(LaunchProcess("C:\\windows\\system32\\wineboot.exe", "wineboot.exe -r", "", boot, id));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(boot, RESTART_MS));
    CloseHandle(boot);
  }

  static LinkSwapTest* current;
  MachineStateGuard machine_;
  MessageBoxWatcher boxes_;  // the termination step's "Could not kill process"
  std::string sample_;
  std::string clean_;
  std::unique_ptr<FolderLink> link_;
};
LinkSwapTest* LinkSwapTest::current = nullptr;

struct SwapCase {
  const char* why;
  int32_t choice;
  const char* holderMode;  // nullptr: no other process holds the sample
  const char* words;       // the outcome words of the report line
};

const SwapCase kSwapCases[] = {
    // The deletion goes through the handle, which still holds the sample.
    {"delete", DISPOSE_DELETE, nullptr, "removed"},
    // The new name is given only while the path names the examined file.
    {"rename", DISPOSE_RENAME, nullptr, "Rename failed"},
    // A mapped image cannot be deleted: no process is terminated for another
    // file, and nothing is moved or scheduled.
    {"kill and retry", DISPOSE_DELETE, "hold-image", "Unable to remove"},
    // Examined through a read-only handle: the file reopened for its deletion
    // is another one, and the identity check refuses it.
    {"reopened read-only-shared file", DISPOSE_DELETE, "hold-file-shared", "Unable to remove"},
};

TEST_F(LinkSwapTest, ASwapBetweenExaminationAndActionReachesOnlyTheExaminedFile) {
  if (GetOsFamily() != OS_FAMILY_NT) GTEST_SKIP() << "the 9x family has no links and acts on paths";
  for (const SwapCase& c : kSwapCases) {
    SCOPED_TRACE(c.why);
    link_.reset();
    RemoveTree(kRoot);
    Plant();
    collector_.lines.clear();
    std::unique_ptr<HeldFile> holder;
    if (c.holderMode) {
      holder = std::make_unique<HeldFile>(sample_, c.holderMode);
      ASSERT_TRUE(holder->started());
    }
    scanState.disposalChoice = c.choice;
    scanState.restartNeeded = 0;
    boxes_.boxes.clear();
    detectionState.afterExamination = SwapAfterExamination;
    ExpectTheSampleReported(c.words);
    detectionState.afterExamination = nullptr;
    ExpectTheCleanFileUntouched();
    ExpectNothingScheduled();
    EXPECT_TRUE(boxes_.boxes.empty()) << "no process terminated for another file";
  }
}

// The scan cannot delete the sample (a mapped image), so it moves it into the
// quarantine folder and leaves that path for the restart. After the scan the
// folder is swapped for a link; the restart deletes the sample, and the clean
// file behind the link stays.
TEST_F(LinkSwapTest, TheRestartDeletesTheQuarantinedSampleAndNotTheFileBehindALink) {
  if (GetOsFamily() != OS_FAMILY_NT) GTEST_SKIP() << "the 9x family has no links and acts on paths";
  {
    HeldFile holder(sample_, "hold-image");
    ASSERT_TRUE(holder.started());
    ExpectTheSampleReported("Unable to remove");
  }
  EXPECT_EQ(1, scanState.restartNeeded);
  EXPECT_FALSE(FileExists(sample_));
  // The paths left for the restart: the quarantined sample, then its folder.
  const std::vector<std::string> quarantine = PendingQuarantineDeletions();
  ASSERT_EQ(1u, quarantine.size());
  const std::string quarantined = quarantine[0];
  std::vector<std::string> named;
  for (const std::string& text : PendingRenames())
    if (!text.empty()) named.push_back(text);
  EXPECT_EQ((std::vector<std::string>{"\\??\\" + quarantined, "\\??\\" + kQuarantine}), named);
  EXPECT_TRUE(FileExists(quarantined));
  EXPECT_TRUE(IsTrustedFolder(kQuarantine.c_str()));

  ASSERT_NO_FATAL_FAILURE(SwapTheFolderForALink());
  ASSERT_NO_FATAL_FAILURE(Restart());
  ExpectTheCleanFileUntouched();
  EXPECT_FALSE(FileExists(quarantined));
  EXPECT_FALSE(FileExists(kQuarantine)) << "the emptied folder goes too";
}

// A quarantine folder of the usual name that someone else made first (here a
// link to another folder) is not used: the sample goes into a fresh folder of
// the run's own, and nothing behind the planted one is touched.
TEST_F(LinkSwapTest, AQuarantineFolderMadeByAnotherDoesNotStopTheRestart) {
  if (GetOsFamily() != OS_FAMILY_NT) GTEST_SKIP() << "the 9x family has no quarantine";
  FolderLink planted(kQuarantine, tree_.Path("other"));
  ASSERT_TRUE(planted.made());
  EXPECT_FALSE(IsTrustedFolder(kQuarantine.c_str()));
  {
    HeldFile holder(sample_, "hold-image");
    ASSERT_TRUE(holder.started());
    ExpectTheSampleReported("Unable to remove");
  }
  EXPECT_EQ(1, scanState.restartNeeded);
  const std::vector<std::string> quarantined = PendingQuarantineDeletions();
  ASSERT_EQ(1u, quarantined.size());
  EXPECT_NE(0u, quarantined[0].rfind(kQuarantine + "\\", 0)) << quarantined[0];
  EXPECT_TRUE(FileExists(quarantined[0]));
  EXPECT_EQ(kClean, ReadTextFile(clean_));
  WIN32_FIND_DATAA moved;
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(tree_.Path("other\\*.del").c_str(), &moved));
}

// Lets every user change the folder and what it holds.
bool OpenToEveryone(const std::string& folder) {
  PSECURITY_DESCRIPTOR open = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr))
    return false;
  const bool set = SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, open) != FALSE;
  LocalFree(open);
  return set;
}

// Another program keeps the sample open without sharing its deletion, so it
// can be neither deleted nor moved. Where only its owner and the
// administrators may change its folders, its path is left for the restart,
// which removes it; where others may, it is only reported, and a swap of its
// folder for a link after the scan changes nothing.
TEST_F(LinkSwapTest, AFileThatCannotBeMovedIsLeftForTheRestartOnlyWhereNoOneElseCanRedirectItsPath) {
  if (GetOsFamily() != OS_FAMILY_NT) GTEST_SKIP() << "the 9x family acts on paths";
  for (const bool othersMayChange : {false, true}) {
    SCOPED_TRACE(othersMayChange ? "a folder every user may change" : "folders of the owner and administrators");
    link_.reset();
    RemoveTree(kRoot);
    Plant();
    collector_.lines.clear();
    scanState.restartNeeded = 0;
    if (othersMayChange) {
      ASSERT_TRUE(OpenToEveryone(tree_.Path("box")));
    }
    {
      HeldFile holder(sample_, "hold-file-shared");
      ASSERT_TRUE(holder.started());
      ExpectTheSampleReported("Unable to remove");
    }
    EXPECT_TRUE(FileExists(sample_));
    if (othersMayChange) {
      ExpectNothingScheduled();
      ASSERT_NO_FATAL_FAILURE(SwapTheFolderForALink());
      ExpectTheCleanFileUntouched();
      continue;
    }
    EXPECT_EQ(1, scanState.restartNeeded);
    EXPECT_TRUE(DeletionPending(sample_));
    ASSERT_NO_FATAL_FAILURE(Restart());
    EXPECT_FALSE(FileExists(sample_));
  }
}

}  // namespace
