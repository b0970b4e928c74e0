#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "process/OsProbe.h"
#include "repair/DelayedDelete.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SystemGuards.h"
#include "tests/support/TestFiles.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\delayed";
const std::string kValue = "C:\\QUELLO~1\\A.EXE";
const std::string kEntry = "NUL=" + kValue + "\r\n";

class DelayedDeleteTest : public ::testing::Test {
 protected:
  DelayedDeleteTest() : tree_(kRoot) {
    SetFileAttributesA(WininitPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(WininitPath().c_str());
  }
  // Writes wininit.ini, adds the entry and returns the new content.
  std::string AddTo(const std::string& before) {
    EXPECT_TRUE(WriteTextFile(WininitPath(), before));
    EXPECT_TRUE(AddWininitRename("NUL", kValue.c_str()));
    EXPECT_EQ(before, ReadTextFile(TempFolder() + "wininit.ini")) << "the old file's copy stays";
    return ReadTextFile(WininitPath());
  }
  // A file with a long name in a folder with a long name, so that its short
  // form differs from it.
  std::string LongNamedFile() { return tree_.File("Long Folder Name\\A long file name.extension"); }
  static bool Is9x() { return GetOsFamily() == OS_FAMILY_9X; }
  static bool IsNt() { return GetOsFamily() == OS_FAMILY_NT; }

  MachineStateGuard machine_;
  TempTree tree_;
};

TEST_F(DelayedDeleteTest, ANewWininitHoldsTheSectionAndTheEntry) {
  EXPECT_TRUE(AddWininitRename("NUL", kValue.c_str()));
  EXPECT_EQ("[rename]\r\n" + kEntry, ReadTextFile(WininitPath()));
}

// The entry goes at the end of the [rename] section; every other byte stays
// where it was.
TEST_F(DelayedDeleteTest, TheEntryEndsTheRenameSection) {
  const std::string longLine = std::string(647, 'x');
  const struct {
    const char* why;
    std::string before;
    std::string after;
  } cases[] = {
      {"section before another", "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nk=1\r\n",
       "[rename]\r\nNUL=C:\\OLD.EXE\r\n" + kEntry + "[other]\r\nk=1\r\n"},
      {"last section, mixed case", "[boot]\r\nk=1\r\n[ReName]\r\nA=B\r\n",
       "[boot]\r\nk=1\r\n[ReName]\r\nA=B\r\n" + kEntry},
      {"capitals, nothing in it", "[RENAME]\r\n", "[RENAME]\r\n" + kEntry},
      {"no section", "[boot]\r\nk=1\r\n", "[boot]\r\nk=1\r\n[rename]\r\n" + kEntry},
      {"empty file", "", "[rename]\r\n" + kEntry},
      {"last line without line end", "[rename]\r\nA=B", "[rename]\r\nA=B\r\n" + kEntry},
      {"no section, last line without line end", "[boot]\r\nk=1", "[boot]\r\nk=1\r\n[rename]\r\n" + kEntry},
      {"line feeds only", "[rename]\nA=B\n[x]\n", "[rename]\nA=B\n" + kEntry + "[x]\n"},
      {"a second [rename] section", "[rename]\r\nA=B\r\n[x]\r\n[rename]\r\n",
       "[rename]\r\nA=B\r\n" + kEntry + "[x]\r\n[rename]\r\n"},
      // A line longer than a read piece: its later pieces are no headers.
      {"long line", "[rename]\r\n" + longLine + "[y]\r\n[z]\r\n",
       "[rename]\r\n" + longLine + "[y]\r\n" + kEntry + "[z]\r\n"},
      {"long header line", "[rename]" + longLine + "\r\n", "[rename]" + longLine + "\r\n" + kEntry},
      {"zero bytes kept", std::string("[boot]\r\nk=a\0b\r\n", 15),
       std::string("[boot]\r\nk=a\0b\r\n", 15) + "[rename]\r\n" + kEntry},
  };
  for (const auto& c : cases) EXPECT_EQ(c.after, AddTo(c.before)) << c.why;
}

TEST_F(DelayedDeleteTest, AFailedRewriteLeavesWininitAsItWas) {
  const std::string before = "[rename]\r\nNUL=C:\\OTHER.EXE\r\n[boot]\r\n";
  ASSERT_TRUE(WriteTextFile(WininitPath(), before));
  // Held open with read sharing: the copy and the new content can be made,
  // but the old file cannot be replaced.
  const struct {
    const char* mode;
    const char* why;
  } holders[] = {{"hold-file-shared", "replacement refused"}, {"hold-file", "no copy can be made"}};
  for (const auto& h : holders) {
    {
      HeldFile held(WininitPath(), h.mode);
      ASSERT_TRUE(held.started()) << h.mode;
      EXPECT_FALSE(AddWininitRename("NUL", kValue.c_str())) << h.why;
    }
    EXPECT_EQ(before, ReadTextFile(WininitPath())) << h.why;
    EXPECT_FALSE(FileExists(WindowsFolder() + "\\wininit.new")) << h.why << ": nothing left beside it";
  }
}

// A wininit.ini the user made read-only is not replaced by a writable one:
// the step fails (no restart is offered for the file) and the file keeps its
// content and attributes. One that can be written keeps its attributes.
TEST_F(DelayedDeleteTest, On9xAReadOnlyWininitIsLeftAsItWas) {
  if (!Is9x()) GTEST_SKIP() << "9x family only";
  const std::string path = LongNamedFile();
  const std::string before = "[rename]\r\nNUL=C:\\OTHER.EXE\r\n";
  const struct {
    DWORD attributes;
    int scheduled;
    const char* why;
  } cases[] = {
      {FILE_ATTRIBUTE_READONLY, 0, "read-only"},
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0, "read-only, hidden, system"},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, 1, "writable and hidden: rewritten, still hidden"},
  };
  for (const auto& c : cases) {
    SetFileAttributesA(WininitPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(WriteTextFile(WininitPath(), before)) << c.why;
    ASSERT_TRUE(SetFileAttributesA(WininitPath().c_str(), c.attributes)) << c.why;
    const DWORD attributes = GetFileAttributesA(WininitPath().c_str());
    EXPECT_EQ(c.scheduled, ScheduleDeleteOnRestart(path.c_str())) << c.why;
    const std::string after = c.scheduled ? before + "NUL=" + ShortPath(path) + "\r\n" : before;
    EXPECT_EQ(after, ReadTextFile(WininitPath())) << c.why;
    EXPECT_EQ(attributes, GetFileAttributesA(WininitPath().c_str())) << c.why;
    EXPECT_FALSE(FileExists(WindowsFolder() + "\\wininit.new")) << c.why;
  }
}

TEST_F(DelayedDeleteTest, On9xTheShortPathIsEnteredInWininit) {
  if (!Is9x()) GTEST_SKIP() << "9x family only";
  const std::string first = LongNamedFile();
  const std::string second = tree_.File("Long Folder Name\\Another long name.exe");
  const std::string firstShort = ShortPath(first), secondShort = ShortPath(second);
  ASSERT_NE(first, firstShort);
  ASSERT_NE(std::string::npos, firstShort.find('~'));
  EXPECT_EQ(1, ScheduleDeleteOnRestart(first.c_str()));
  EXPECT_EQ("[rename]\r\nNUL=" + firstShort + "\r\n", ReadTextFile(WininitPath()));
  EXPECT_EQ(1, ScheduleDeleteOnRestart(second.c_str()));
  EXPECT_EQ("[rename]\r\nNUL=" + firstShort + "\r\nNUL=" + secondShort + "\r\n", ReadTextFile(WininitPath()));
  EXPECT_TRUE(FileExists(first)) << "deleted only at the restart";
}

TEST_F(DelayedDeleteTest, On9xAFileWithoutAShortFormIsNotScheduled) {
  if (!Is9x()) GTEST_SKIP() << "9x family only";
  EXPECT_EQ(0, ScheduleDeleteOnRestart((kRoot + "\\missing.exe").c_str()));
  EXPECT_FALSE(FileExists(WininitPath()));
}

TEST_F(DelayedDeleteTest, OnNtThePlatformRecordsTheDeletion) {
  if (!IsNt()) GTEST_SKIP() << "NT family only";
  const std::string path = LongNamedFile();
  EXPECT_EQ(1, ScheduleDeleteOnRestart(path.c_str()));
  EXPECT_TRUE(DeletionPending(path));
  EXPECT_FALSE(FileExists(WininitPath()));
  EXPECT_TRUE(FileExists(path));
}

TEST_F(DelayedDeleteTest, OnNtARefusedRequestSchedulesNothing) {
  if (!IsNt()) GTEST_SKIP() << "NT family only";
  EXPECT_EQ(0, ScheduleDeleteOnRestart(""));
}

TEST_F(DelayedDeleteTest, OtherPlatformsScheduleNothing) {
  if (Is9x() || IsNt()) GTEST_SKIP() << "neither 9x nor NT only";
  const std::string path = LongNamedFile();
  const std::vector<std::string> pending = PendingRenames();
  EXPECT_EQ(0, ScheduleDeleteOnRestart(path.c_str()));
  EXPECT_FALSE(FileExists(WininitPath()));
  EXPECT_EQ(pending, PendingRenames());
}

}  // namespace
