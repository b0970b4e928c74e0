#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "standins/ScriptedMessageBox.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/HostFiles.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/TestFiles.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\walk";

class FolderWalkTest : public EngineTest {
 protected:
  FolderWalkTest() : EngineTest(kRoot) {}

  // root: a.txt b.txt sub\c.txt sub\deep\e.txt sub2\d.txt
  void MakeTree() {
    tree_.File("b.txt");
    tree_.File("a.txt");
    tree_.File("sub\\c.txt");
    tree_.File("sub\\deep\\e.txt");
    tree_.File("sub2\\d.txt");
  }
  // Calls action once, on the status that shows path.
  void OnStatusOf(const std::string& path, std::function<void()> action) {
    collector_.onStatus = [path, action](const std::string& status) {
      if (status == path) action();
    };
  }
  bool Shown(const std::string& path) const {
    for (const std::string& s : collector_.statuses)
      if (s == path) return true;
    return false;
  }
};

TEST_F(FolderWalkTest, ShowsEveryEntryAndHandsOnFilesBeforeSubFolders) {
  MakeTree();
  EXPECT_EQ(5, WalkFolder((kRoot + "\\*.*").c_str()));
  const std::string r = kRoot + "\\";
  const std::vector<std::string> expected = {r + ".",
                                             r + "..",
                                             r + "a.txt",
                                             r + "b.txt",
                                             r + "sub",
                                             r + "sub2",
                                             r + "sub\\.",
                                             r + "sub\\..",
                                             r + "sub\\c.txt",
                                             r + "sub\\deep",
                                             r + "sub\\deep\\.",
                                             r + "sub\\deep\\..",
                                             r + "sub\\deep\\e.txt",
                                             r + "sub2\\.",
                                             r + "sub2\\..",
                                             r + "sub2\\d.txt"};
  EXPECT_EQ(expected, collector_.statuses);
  EXPECT_EQ(5, scanState.filesScanned);
  EXPECT_TRUE(collector_.lines.empty());
}

TEST_F(FolderWalkTest, HiddenAndSystemEntriesAreWalkedLikeAnyOther) {
  const std::string hiddenFolder = tree_.Folder("hidden");
  const std::string file = tree_.File("hidden\\system.dll");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(hiddenFolder.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(1, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_TRUE(Shown(file));
}

// A link to a folder is shown as an entry but never walked into. Links back up
// the tree would make the walk go round (two of them double it at every
// level, far beyond any time a scan may take); a link across leads to a
// folder the walk reaches where it lies.
TEST_F(FolderWalkTest, FolderLinksAreShownButNotWalkedInto) {
  tree_.File("a.txt");
  tree_.File("loop\\b.txt");
  tree_.File("other\\c.txt");
  const struct {
    const char* link;
    std::string target;
    const char* why;
  } links[] = {
      {"loop\\self", tree_.Path("loop"), "to its own folder"},
      {"loop\\up", kRoot, "to the folder above"},
      {"loop\\up2", kRoot, "a second way up"},
      {"loop\\across", tree_.Path("other"), "to a folder walked where it lies"},
  };
  std::vector<std::unique_ptr<FolderLink>> made;
  for (const auto& l : links) {
    made.push_back(std::make_unique<FolderLink>(tree_.Path(l.link), l.target));
    if (!made.back()->made()) GTEST_SKIP() << "this machine makes no folder links";
  }
  const DWORD start = GetTickCount();
  EXPECT_EQ(3, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_LT(GetTickCount() - start, 10000u);
  for (const auto& l : links) {
    const std::string link = tree_.Path(l.link);
    EXPECT_TRUE(Shown(link)) << l.why;
    for (const std::string& s : collector_.statuses) EXPECT_NE(0u, s.rfind(link + "\\", 0)) << l.why << ": " << s;
  }
}

TEST_F(FolderWalkTest, CountsAddUpOverWalksAndAreNeverReset) {
  MakeTree();
  scanState.filesScanned = 10;
  EXPECT_EQ(15, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_EQ(16, WalkFolder((kRoot + "\\sub2\\*.*").c_str()));
}

TEST_F(FolderWalkTest, SweepModeHandsOnTheSpecItselfWithoutCounting) {
  MakeTree();
  scanState.sweepMode = true;
  const std::string file = kRoot + "\\a.txt";
  EXPECT_EQ(0, WalkFolder(file.c_str()));
  EXPECT_EQ(std::vector<std::string>{file}, collector_.statuses);
  EXPECT_EQ(0, scanState.filesScanned);
}

TEST_F(FolderWalkTest, StopFlagEndsTheWalkAtTheNextPump) {
  MakeTree();
  OnStatusOf(kRoot + "\\a.txt", [] { scanState.stopRequested = true; });
  EXPECT_EQ(0, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_EQ(kRoot + "\\a.txt", collector_.statuses.back());
  EXPECT_EQ(1, scanState.filesScanned) << "the file shown is still handed on";
}

TEST_F(FolderWalkTest, StopInsideASubFolderEndsEveryLevel) {
  MakeTree();
  OnStatusOf(kRoot + "\\sub\\c.txt", [] { scanState.stopRequested = true; });
  EXPECT_EQ(0, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_FALSE(Shown(kRoot + "\\sub2\\d.txt"));
}

TEST_F(FolderWalkTest, EscapeAnsweredYesAsksOnceAndStops) {
  MakeTree();
  Answers().answers = {IDYES};
  const HWND target = collector_.window();
  OnStatusOf(kRoot + "\\a.txt", [target] { PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_EQ(0, WalkFolder((kRoot + "\\*.*").c_str()));
  ASSERT_EQ(1u, Answers().asked.size());
  EXPECT_EQ("Terminate the Scan now?", Answers().asked[0].text);
  EXPECT_EQ("Quellor Ver 1.0", Answers().asked[0].title);
  EXPECT_EQ(36, Answers().asked[0].flags);
  EXPECT_TRUE(scanState.stopRequested);
}

TEST_F(FolderWalkTest, EscapeAnsweredNoDropsTheKeyAndGoesOn) {
  MakeTree();
  Answers().answers = {IDNO};
  const HWND target = collector_.window();
  OnStatusOf(kRoot + "\\a.txt", [target] { PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_EQ(5, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_EQ(1u, Answers().asked.size());
  EXPECT_FALSE(scanState.stopRequested);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
}

TEST_F(FolderWalkTest, QuitOrDestroyTakenByThePumpStopsAndIsLost) {
  for (UINT message : {WM_QUIT, WM_DESTROY}) {
    ResetScanState();
    scanState.sweepMode = false;
    scanState.notifyWindow = collector_.window();
    collector_.statuses.clear();
    MakeTree();
    OnStatusOf(kRoot + "\\b.txt", [message] { PostThreadMessageA(GetCurrentThreadId(), message, 0, 0); });
    EXPECT_EQ(0, WalkFolder((kRoot + "\\*.*").c_str())) << message;
    EXPECT_TRUE(scanState.stopRequested) << message;
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, message, message, PM_NOREMOVE)) << message;
  }
}

TEST_F(FolderWalkTest, OtherMessagesAreDispatchedOneAtATime) {
  MakeTree();
  const HWND target = collector_.window();
  // From one entry's status to the next, two pumps run (after the handlers and
  // before the next entry), each dispatching one message.
  collector_.onStatus = [this, target](const std::string& status) {
    if (status == kRoot + "\\a.txt") {
      for (UINT m = WM_APP + 1; m <= WM_APP + 3; ++m) PostMessageA(target, m, 0, 0);
    }
    if (status == kRoot + "\\b.txt") {
      EXPECT_EQ(2u, collector_.appMessages.size());
    }
  };
  EXPECT_EQ(5, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_EQ((std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3}), collector_.appMessages);
}

TEST_F(FolderWalkTest, FolderThatCannotBeListedIsSkippedAndTheWalkGoesOn) {
  MakeTree();
  tree_.File("sub3\\f.txt");
  // A name ending in "." is listed, but the platform's path rules drop the dot
  // again when the folder itself is listed.
  tree_.File("dotted.\\unseen.txt");
  // sub2 disappears while sub is being walked: it is still in the listing, but
  // its own listing fails.
  OnStatusOf(kRoot + "\\sub\\c.txt", [] { RemoveTree(kRoot + "\\sub2"); });
  EXPECT_EQ(5, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_FALSE(Shown(kRoot + "\\sub2\\d.txt"));
  EXPECT_TRUE(Shown(kRoot + "\\dotted."));
  EXPECT_FALSE(Shown(kRoot + "\\dotted.\\unseen.txt"));
  EXPECT_TRUE(Shown(kRoot + "\\sub3\\f.txt"));
}

TEST_F(FolderWalkTest, SpecWithoutADotEndsTheWalkWithMinusOne) {
  MakeTree();
  EXPECT_EQ(-1, WalkFolder((kRoot + "\\sub").c_str()));
  EXPECT_TRUE(collector_.statuses.empty());
  EXPECT_EQ(0, scanState.filesScanned);
}

// A folder chain deeper than MAX_PATH: entries whose path (or, for a folder,
// whose search spec) would not fit are passed over; nothing is overrun.
TEST_F(FolderWalkTest, PathsTooLongForMaxPathArePassedOver) {
  std::string deep = kRoot;  // 250 characters: its spec "\*.*" makes 254
  while (deep.size() < 250) deep += "\\" + std::string(std::min<std::size_t>(60, 249 - deep.size()), 'x');
  ASSERT_EQ(250u, deep.size());
  const std::string fits = tree_.File(deep.substr(kRoot.size() + 1) + "\\12345678");  // 259
  tree_.File(deep.substr(kRoot.size() + 1) + "\\123456789");                          // 260
  const std::string inner = tree_.File(deep.substr(kRoot.size() + 1) + "\\y\\a");     // spec 256
  tree_.File(deep.substr(kRoot.size() + 1) + "\\zzzzzz\\a");                          // spec 261
  tree_.File(deep.substr(kRoot.size() + 1) + "\\zzzzzz\\" + std::string(200, 'w'));
  EXPECT_EQ(2, WalkFolder((kRoot + "\\*.*").c_str()));
  EXPECT_EQ(2, scanState.filesScanned);
  char shown[MAX_PATH];
  ElideMiddle(fits.c_str(), shown, sizeof shown, STATUS_WIDTH);
  EXPECT_TRUE(Shown(shown));
  ElideMiddle(inner.c_str(), shown, sizeof shown, STATUS_WIDTH);
  EXPECT_TRUE(Shown(shown));
  for (const std::string& s : collector_.statuses) EXPECT_LE(s.size(), 60u) << s;
}

TEST_F(FolderWalkTest, DriveRootNotesItsProgramFilesFolder) {
  {
    TempTree programFiles("D:\\Program Files");
    programFiles.File("app\\x.txt");
    WalkFolder("D:\\*.*");
    EXPECT_STREQ("D:\\Program Files\\*.*", scanState.programFilesSpec);
    EXPECT_TRUE(scanState.programFilesPending);
    EXPECT_TRUE(scanState.programFilesEntered) << "the walk went into it as a sub-folder";
    EXPECT_TRUE(Shown("D:\\Program Files\\app\\x.txt"));
  }
  ResetScanState();
  scanState.sweepMode = false;
  WalkFolder("D:\\*.*");
  EXPECT_STREQ("D:\\Program Files", scanState.programFilesSpec) << "no such folder: the flag stays";
  EXPECT_FALSE(scanState.programFilesPending);
  // Specs longer than a drive root leave the note alone.
  MakeTree();
  WalkFolder((kRoot + "\\*.*").c_str());
  EXPECT_STREQ("D:\\Program Files", scanState.programFilesSpec);
}

TEST(ElideMiddle, KeepsBothEndsOfLongTexts) {
  const std::string hundred = std::string(40, 'a') + std::string(20, 'm') + std::string(40, 'z');
  char out[MAX_PATH];
  ElideMiddle(hundred.c_str(), out, sizeof out, 60);
  EXPECT_EQ(std::string(29, 'a') + ".." + std::string(29, 'z'), out);
  const std::string sixty(60, 'q');
  ElideMiddle(sixty.c_str(), out, sizeof out, 60);
  EXPECT_EQ(sixty, out);
  ElideMiddle((sixty + "r").c_str(), out, sizeof out, 60);
  EXPECT_EQ(std::string(29, 'q') + ".." + std::string(28, 'q') + "r", out);
  ElideMiddle("abcdefgh", out, sizeof out, 5);  // keep 1: one, three dots, one
  EXPECT_STREQ("a...h", out);
  for (int16_t narrow : {3, 2, 0, -8}) {
    ElideMiddle("abcdefgh", out, sizeof out, narrow);
    EXPECT_STREQ("abcdefgh", out) << narrow;
  }
}

TEST(ElideMiddle, NeverWritesPastTheDestination) {
  const std::string longText(300, 'p');
  char out[40];
  std::memset(out, 0xBD, sizeof out);
  ElideMiddle(longText.c_str(), out, 32, 3);  // copied unchanged, so cut to fit
  EXPECT_EQ(std::string(31, 'p'), out);
  EXPECT_EQ(static_cast<char>(0xBD), out[32]);
  ElideMiddle(longText.c_str(), out, 32, 60);  // an elision wider than the buffer
  EXPECT_EQ(31u, std::strlen(out));
  EXPECT_EQ(static_cast<char>(0xBD), out[32]);
}

}  // namespace
