#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/MarkerScanner.h"
#include "engine/ScanState.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/ReportCollector.h"
#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const std::string kRoot = "C:\\quellor-tests\\marker";
const std::string kWorm = "W32/Nyxem.Worm";
const std::string kMarker = MARKER_PATTERN_TEXT;

// Text of exactly length bytes: "begin", filler, and tail at the very end.
std::string Padded(std::size_t length, const std::string& tail, char filler = 'x') {
  const std::string head = "begin";
  return head + std::string(length - head.size() - tail.size(), filler) + tail;
}

class MarkerScannerTest : public EngineTest {
 protected:
  MarkerScannerTest() : EngineTest(kRoot) {}

  int Check(const std::string& path) { return CheckMarkerFile(kHandlerName, path.c_str()); }
  // Writes text to a file and examines it, leaving the file in place.
  int Examine(const std::string& text) {
    scanState.disposalChoice = DISPOSE_LEAVE;
    return Check(tree_.File("examined.txt", text));
  }
};

TEST_F(MarkerScannerTest, MarkerFileIsRemovedAndReportedUnderTheWormsName) {
  const std::string path = tree_.Path("hosts.txt");
  ASSERT_TRUE(WriteMarkerFile(path));
  EXPECT_EQ(1, Check(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(std::vector<std::string>{path + "     " + kWorm + " removed"}, collector_.lines);
  EXPECT_EQ(1, scanState.filesInfected);
  EXPECT_EQ(1, scanState.filesRemoved);
  EXPECT_EQ(kWorm, scanState.detectionName);
  EXPECT_EQ(path, scanState.currentFile);
  EXPECT_EQ(-1, markerScan.fd);
  // The pattern is unscrambled once per run: later files still match.
  const std::string again = tree_.Path("again.txt");
  ASSERT_TRUE(WriteMarkerFile(again));
  EXPECT_EQ(1, Check(again));
  EXPECT_EQ(2, scanState.filesRemoved);
}

TEST_F(MarkerScannerTest, OnlyFilesBeginningWithTheWordQualify) {
  const struct {
    const char* why;
    std::string text;
    int expected;
  } cases[] = {
      {"capitals", "BEGIN\r\n" + kMarker, 1},
      {"first letter capitalised", "Begin " + kMarker, 1},
      {"only the first five bytes are compared", "beginning" + kMarker, 1},
      {"a hosts comment first", "# begin\r\n" + kMarker, 0},
      {"a blank before the word", " begin" + kMarker, 0},
      {"a zero byte inside the word", std::string("beg\0n", 5) + kMarker, 0},
      {"marker without the word", kMarker + kMarker, 0},
      {"shorter than five bytes", "begi", 0},
      {"empty", "", 0},
      {"shorter than the pattern", "begin" + kMarker.substr(0, 90), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Examine(c.text)) << c.why;
  EXPECT_EQ(3, scanState.filesInfected);
}

TEST_F(MarkerScannerTest, OnlyTheSixWhitespaceBytesAreIgnoredInsideTheMarker) {
  const std::string whitespace = " \t\n\v\f\r";
  std::string spread = "begin\r\n";
  for (std::size_t i = 0; i < kMarker.size(); ++i) spread += kMarker.substr(i, 1) + whitespace.substr(i % 6, 1);
  EXPECT_EQ(1, Examine(spread)) << "a marker spread over many lines";

  std::string changed = kMarker;
  changed[50] ^= 1;
  EXPECT_EQ(0, Examine("begin\r\n" + changed)) << "one byte changed";
  for (const char other : {'\0', '\xA0', '\x85'}) {
    const std::string split = kMarker.substr(0, 50) + std::string(1, other) + kMarker.substr(50);
    EXPECT_EQ(0, Examine("begin\r\n" + split)) << "byte " << static_cast<int>(static_cast<unsigned char>(other));
  }
}

// The record searches the head window only: the first 4096 bytes, or the whole
// of a shorter file.
TEST_F(MarkerScannerTest, TheMarkerMustLieWhollyInTheHeadWindow) {
  const struct {
    const char* why;
    std::string text;
    int expected;
  } cases[] = {
      {"4095 bytes, marker at the end", Padded(4095, kMarker), 1},
      {"4096 bytes, marker at the end", Padded(4096, kMarker), 1},
      {"4097 bytes, last marker byte outside", Padded(4097, kMarker), 0},
      {"marker in the tail of a large file", Padded(20000, kMarker), 0},
      {"marker crossing the window's end by one byte", Padded(4096 + 50, kMarker + std::string(49, 'y')), 0},
      {"marker ending on the window's last byte", Padded(4096 + 50, kMarker + std::string(50, 'y')), 1},
      {"whitespace before the marker counts toward the window", Padded(4096, kMarker, ' '), 1},
      {"large file, marker after many blanks", "begin" + std::string(3000, '\n') + kMarker + std::string(90000, 'z'),
       1},
      {"exactly the pattern's length after the word", "begin" + kMarker, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Examine(c.text)) << c.why;
}

TEST_F(MarkerScannerTest, DisposalChoicesUseTheScannersOwnWording) {
  const std::string leave = tree_.Path("leave.txt");
  ASSERT_TRUE(WriteMarkerFile(leave));
  scanState.disposalChoice = DISPOSE_LEAVE;
  EXPECT_EQ(1, Check(leave));
  EXPECT_TRUE(FileExists(leave));
  EXPECT_EQ(leave + "     " + kWorm + " Not Disinfected As Per User's Selection", collector_.lines.back());

  scanState.disposalChoice = DISPOSE_RENAME;
  EXPECT_EQ(1, Check(leave));
  EXPECT_TRUE(FileExists(kRoot + "\\leave.Vxt"));
  EXPECT_EQ(leave + "     " + kWorm + " renamed", collector_.lines.back());
  EXPECT_EQ(1, scanState.filesRenamed);

  // A hosts file has no "." to mark: nothing can be renamed, and it says so.
  const std::string hosts = tree_.Path("hosts");
  ASSERT_TRUE(WriteMarkerFile(hosts));
  EXPECT_EQ(1, Check(hosts));
  EXPECT_TRUE(FileExists(hosts));
  EXPECT_EQ(hosts + "     " + kWorm + " Rename failed", collector_.lines.back());
  EXPECT_EQ(1, scanState.filesRenamed);

  scanState.disposalChoice = DISPOSE_REMOVE;
  EXPECT_EQ(1, Check(hosts));
  EXPECT_FALSE(FileExists(hosts));
  EXPECT_EQ(hosts + "     " + kWorm + " removed", collector_.lines.back());

  const std::size_t linesBefore = collector_.lines.size();
  ASSERT_TRUE(WriteMarkerFile(hosts));
  scanState.disposalChoice = 99;
  EXPECT_EQ(1, Check(hosts)) << "an unknown choice still counts the match";
  EXPECT_TRUE(FileExists(hosts));
  EXPECT_EQ(linesBefore, collector_.lines.size());
  EXPECT_EQ(5, scanState.filesInfected);
  EXPECT_EQ(1, scanState.filesRemoved);
}

TEST_F(MarkerScannerTest, ALockedMarkerFileIsOnlyReportedAsRemoveFailed) {
  const std::string path = tree_.Path("locked.txt");
  ASSERT_TRUE(WriteMarkerFile(path));
  // Held open with read sharing: it can be examined but not deleted.
  HeldFile held(path, "hold-file-shared");
  ASSERT_TRUE(held.started());
  scanState.restartNeeded = 7;
  EXPECT_EQ(1, Check(path));
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(std::vector<std::string>{path + "     " + kWorm + " Remove failed"}, collector_.lines);
  EXPECT_EQ(0, scanState.filesRemoved);
  EXPECT_EQ(1, scanState.filesInfected);
  EXPECT_EQ(7, scanState.restartNeeded) << "no deletion at restart for marker files";
}

TEST_F(MarkerScannerTest, WithoutAWindowTheFileIsStillDisposedOf) {
  scanState.notifyWindow = nullptr;
  const std::string path = tree_.Path("quiet.txt");
  ASSERT_TRUE(WriteMarkerFile(path));
  EXPECT_EQ(1, Check(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(collector_.lines.empty());
  EXPECT_EQ(1, scanState.filesRemoved);
}

TEST_F(MarkerScannerTest, FilesThatCannotBeOpenedArePassedOver) {
  EXPECT_EQ(0, Check(tree_.Path("missing.txt")));
  EXPECT_EQ(0, Check(tree_.Folder("folder")));
  EXPECT_TRUE(collector_.lines.empty());
  EXPECT_EQ(-1, markerScan.fd);
}

// Records of other kinds than the built-in one: a test record takes the table's
// place (with a plain pattern) and the built-in one is put back afterwards.
class MarkerRecordTest : public MarkerScannerTest {
 protected:
  // The copy is taken unscrambled, as it is put back while the flag says so.
  MarkerRecordTest() {
    EnsureMarkersUnscrambled();
    saved_ = markerTable[0];
  }
  ~MarkerRecordTest() override { markerTable[0] = saved_; }

  void Use(uint16_t matchKind, int16_t region, int16_t position, const std::string& pattern, uint16_t sizeMode = 0,
           int32_t fileSize = 0) {
    MarkerRecord record = {};
    std::memcpy(record.name, "Test.Marker", 12);
    record.matchKind = matchKind;
    record.region = region;
    record.position = position;
    record.sizeMode = sizeMode;
    record.fileSize = fileSize;
    record.patternLength = static_cast<uint16_t>(pattern.size());
    std::memcpy(record.pattern, pattern.data(), std::min(pattern.size(), sizeof record.pattern));
    markerTable[0] = record;
  }

  MarkerRecord saved_;
};

TEST_F(MarkerRecordTest, SearchInTheTailWindowAndSizeTests) {
  const std::string large = Padded(10000, "TAILMARK");
  Use(MARKER_MATCH_SEARCH, MARKER_REGION_TAIL, 0, "TAILMARK");
  EXPECT_EQ(1, Examine(large));
  EXPECT_EQ(0, Examine("begin TAILMARK" + std::string(9000, 'x'))) << "only at the start";
  EXPECT_EQ(1, Examine("begin TAILMARK")) << "a short file's tail is its head";

  Use(MARKER_MATCH_SEARCH, MARKER_REGION_TAIL, 0, "TAILMARK", MARKER_SIZE_EXACT, 10000);
  EXPECT_EQ(1, Examine(large));
  EXPECT_EQ(0, Examine(Padded(10001, "TAILMARK")));
  Use(MARKER_MATCH_SEARCH, MARKER_REGION_TAIL, 0, "TAILMARK", MARKER_SIZE_NEAR, 10000 + 4096);
  EXPECT_EQ(1, Examine(large)) << "4096 away is near enough";
  Use(MARKER_MATCH_SEARCH, MARKER_REGION_TAIL, 0, "TAILMARK", MARKER_SIZE_NEAR, 10000 - 4097);
  EXPECT_EQ(0, Examine(large));
  Use(MARKER_MATCH_SEARCH, 2, 0, "TAILMARK");
  EXPECT_EQ(0, Examine(large)) << "no such window";
}

TEST_F(MarkerRecordTest, PositionalComparesStayInsideTheTextArea) {
  // Head text "beginxxx...ABCDEF": the pattern sits at offset 4090 of 4096.
  const std::string text = Padded(4096, "ABCDEF");
  Use(0, MARKER_REGION_HEAD, 4090, "ABCDEF");
  EXPECT_EQ(1, Examine(text));
  Use(0, MARKER_REGION_HEAD, 4091, "BCDEF");
  EXPECT_EQ(1, Examine(text));
  Use(0, MARKER_REGION_HEAD, 4092, "CDEFx");
  EXPECT_EQ(0, Examine(text)) << "bytes past the text area are zero, never read";
  Use(0, MARKER_REGION_HEAD, -3, "begin");
  EXPECT_EQ(0, Examine(text));
  // Tail positions count back from the end of the tail text.
  Use(0, MARKER_REGION_TAIL, 6, "ABCDEF");
  EXPECT_EQ(1, Examine(Padded(9000, "ABCDEF")));
  Use(0, MARKER_REGION_TAIL, 9000, "ABCDEF");
  EXPECT_EQ(0, Examine(Padded(9000, "ABCDEF"))) << "before the tail text";
}

TEST_F(MarkerRecordTest, BrokenRecordsNeverMatch) {
  Use(MARKER_MATCH_SEARCH, MARKER_REGION_HEAD, 0, "");
  EXPECT_EQ(0, Examine("begin anything"));
  Use(MARKER_MATCH_SEARCH, MARKER_REGION_HEAD, 0, "begin");
  markerTable[0].patternLength = MARKER_PATTERN_SIZE + 1;
  EXPECT_EQ(0, Examine("begin" + std::string(200, 'x')));
}

// A work buffer inside a larger block of memory, so that reads past its end
// would find bytes that complete a pattern.
struct WorkBuffer {
  std::vector<unsigned char> memory = std::vector<unsigned char>(MARKER_WORK_SIZE + 64, 0);
  unsigned char* data() { return memory.data(); }
  void Put(std::size_t at, const std::string& bytes) { std::memcpy(data() + at, bytes.data(), bytes.size()); }
};

int Find(WorkBuffer& buffer, std::size_t window, const std::string& pattern) {
  return FindPattern(buffer.data(), window, reinterpret_cast<const unsigned char*>(pattern.data()), pattern.size());
}

TEST(MarkerFindPattern, AMatchStartsInsideTheWindowAndEndsInsideTheBuffer) {
  WorkBuffer buffer;
  buffer.Put(10, "aaaabcdef");
  EXPECT_EQ(1, Find(buffer, 14, "abcdef")) << "the search goes on after a partial match";
  EXPECT_EQ(0, Find(buffer, 13, "abcdef")) << "the match starts at 13, outside a window of 13";
  EXPECT_EQ(0, Find(buffer, 0, "abcdef"));

  WorkBuffer end;
  end.Put(MARKER_WORK_SIZE - 6, "abcdef");
  EXPECT_EQ(1, Find(end, MARKER_WORK_SIZE, "abcdef")) << "ending on the buffer's last byte";
  WorkBuffer past;
  past.Put(MARKER_WORK_SIZE - 3, "abcdef");
  EXPECT_EQ(0, Find(past, MARKER_WORK_SIZE, "abcdef")) << "half of it lies past the buffer";
  EXPECT_EQ(0, Find(past, MARKER_WORK_SIZE + 64, "abcdef")) << "a window past the buffer is cut";
  EXPECT_EQ(0, Find(buffer, MARKER_WORK_SIZE, "")) << "an empty pattern";
}

TEST(MarkerStripWhitespace, RemovesTheSixWhitespaceBytesAndKeepsTheRestInOrder) {
  std::vector<unsigned char> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  std::vector<unsigned char> out(all.size() + 8, 0xBD);
  const std::size_t kept = StripWhitespace(all.data(), out.data(), all.size());
  ASSERT_EQ(250u, kept);
  std::vector<unsigned char> expected;
  for (int i = 0; i < 256; ++i)
    if (!(i == ' ' || (i >= '\t' && i <= '\r'))) expected.push_back(static_cast<unsigned char>(i));
  EXPECT_EQ(expected, std::vector<unsigned char>(out.begin(), out.begin() + kept));
  for (std::size_t i = kept; i < out.size(); ++i) EXPECT_EQ(0xBD, out[i]) << "written past the result at " << i;
}

}  // namespace
