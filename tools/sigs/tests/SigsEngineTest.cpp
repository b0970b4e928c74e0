// The exported signatures cross-checked with the real engines: one folder of
// samples of every variant record, their decoys, marker files and real PE
// files is scanned once by clamscan, once by yara and file by file by the
// program's own detection step (in the memory sweep's check-only mode), and the
// three are compared file by file.
#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/ProgramTexts.h"
#include "engine/Detection.h"
#include "engine/MarkerScanner.h"
#include "engine/PeLocator.h"
#include "engine/ScanState.h"
#include "tools/samplemaker/SampleMaker.h"
#include "tools/sigs/SigExport.h"

namespace fs = std::filesystem;

namespace {

// The rows whose sample ClamAV's EP+n reaches: the entry point and both windows
// lie in one section, so the entry point's file offset + n is the place the
// program maps "entry point RVA + n" to. The sample maker puts both windows in
// one section, from the page of the lower window to the end of the higher one,
// when that fits in the record's file size (else each window gets a section of
// its own), and the entry point 0x234 bytes into a page above the headers.
// In reach: windows on both sides of the entry point in one section (rows 3, 8,
// 9, 16, 45), or both above it with the lower one in the entry point's page
// (rows 21, 44). Out of reach: both windows below the entry point (the section
// ends before it, as in row 1), both above it beyond its page (the section
// starts after it, row 5), or windows too far apart for one section of the
// file (rows 4, 6, 10 and the other rows with offsets of both signs).
const std::set<int> IN_CLAMAV_REACH = {3, 8, 9, 16, 21, 44, 45};

// Real PE files for the mixed folder: the program's own build when it is there,
// and Wine's PE libraries, which the test machine always has.
const char* const REAL_PE_FOLDERS[] = {
    SOURCE_ROOT "/build/bin",
    SOURCE_ROOT "/build-i686/bin",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows",
    "/usr/lib/x86_64-linux-gnu/wine/i386-windows",
};
constexpr std::size_t REAL_PE_PER_FOLDER = 4;

struct CommandRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs a shell command, collecting its standard output and error.
CommandRun RunCommand(const std::string& command) {
  const fs::path err = fs::path(SIGS_WORK_FOLDER) / "stderr.txt";
  CommandRun run;
  std::FILE* pipe = popen((command + " 2>" + err.string()).c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadText(err);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string RowName(int row) { return RecordName(variantTable[row - 1].name, VARIANT_NAME_SIZE); }

// "row07" and its decoys.
std::string RowStem(int row) {
  char stem[16];
  std::snprintf(stem, sizeof stem, "row%02d", row);
  return stem;
}

// A marker file's text: the word, filler of the given length, then the pattern
// split over two lines (as whitespace may split it), then an ending.
std::string MarkerText(const std::string& word, std::size_t filler, const std::string& pattern) {
  const std::string head = word + "\n";
  const std::size_t half = pattern.size() / 2;
  return head + std::string(filler, 'x') + pattern.substr(0, half) + "\n" + pattern.substr(half) + "\nend\n";
}

// Filler that makes the pattern end exactly at byte end of the file (counted from 1).
std::size_t FillerEndingAt(std::size_t end) { return end - (6 + sizeof MARKER_PATTERN_TEXT - 1 + 1); }

struct MarkerCase {
  const char* file;
  std::string text;
  bool found;  // by the program's marker check, and so by both engines
};

std::vector<MarkerCase> MarkerCases() {
  std::string broken = MARKER_PATTERN_TEXT;
  broken[40] = broken[40] == 'A' ? 'B' : 'A';
  return {
      // The sample maker's hosts file.
      {"hosts-marker.txt", BuildMarkerText(), true},
      // The word in capitals qualifies as well.
      {"hosts-capitals.txt", MarkerText("BEGIN", 10, MARKER_PATTERN_TEXT), true},
      // A hosts file that begins with a comment is passed over.
      {"hosts-comment.txt", MarkerText("# begin", 10, MARKER_PATTERN_TEXT), false},
      // The pattern's last byte is the head window's last byte.
      {"hosts-edge-in.txt", MarkerText("begin", FillerEndingAt(MARKER_WINDOW), MARKER_PATTERN_TEXT), true},
      // One byte further on, the pattern leaves the head window.
      {"hosts-edge-out.txt", MarkerText("begin", FillerEndingAt(MARKER_WINDOW + 1), MARKER_PATTERN_TEXT), false},
      // A pattern with one byte changed.
      {"hosts-broken.txt", MarkerText("begin", 10, broken), false},
  };
}

bool WriteText(const fs::path& path, const std::string& text) {
  return WriteBytes(path.string(), std::vector<unsigned char>(text.begin(), text.end()));
}

// Index of the section whose [VirtualAddress, VirtualAddress + VirtualSize)
// holds rva, or -1. The file's headers must have been read.
int SectionHolding(uint32_t rva) {
  for (int i = 0; i < peHeaders.fileHeader.NumberOfSections; ++i) {
    const IMAGE_SECTION_HEADER& s = peHeaders.sections[i];
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.Misc.VirtualSize) return i;
  }
  return -1;
}

// True when the entry point and both windows of record lie in one section of
// the file: then ClamAV's EP+n is the place the program maps to.
bool InClamAvReach(const std::string& path, const VariantRecord& record) {
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd == -1) return false;
  const bool read = ReadFileHeader(fd) && ReadOptionalHeaderAndSections(fd);
  _close(fd);
  if (!read) return false;
  const uint32_t entryPoint = EntryPointRva();
  const int section = SectionHolding(entryPoint);
  return section != -1 && SectionHolding(entryPoint + static_cast<uint32_t>(record.offset1)) == section &&
         SectionHolding(entryPoint + static_cast<uint32_t>(record.offset2)) == section;
}

// What the program itself finds in a file: the variant check of the memory
// sweep, and for a file that is no variant the marker check of the hosts file.
std::string ProgramFinds(const std::string& path) {
  scanState.sweepMode = true;
  scanState.pendingChoice = 0;
  scanState.disposalChoice = 0;  // no disposal for a marker file
  scanState.detectionName[0] = '\0';
  if (DetectAndDispose(BASE_DETECTION_NAME, path.c_str()) == 1) return scanState.detectionName;
  if (CheckMarkerFile(BASE_DETECTION_NAME, path.c_str()) == 1) return scanState.detectionName;
  return "";
}

using Finds = std::map<std::string, std::vector<std::string>>;  // file name -> names found

// clamscan --infected lines: "<path>: <name>.UNOFFICIAL FOUND".
Finds ParseClamscan(const std::string& out) {
  Finds finds;
  for (const std::string& line : Lines(out)) {
    const std::size_t colon = line.rfind(": ");
    const std::string suffix = ".UNOFFICIAL FOUND";
    if (colon == std::string::npos || line.size() < suffix.size() ||
        line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const std::string name = line.substr(colon + 2, line.size() - suffix.size() - colon - 2);
    finds[fs::path(line.substr(0, colon)).filename().string()].push_back(name);
  }
  return finds;
}

// yara -m lines: "<rule> [name=\"<name>\",...] <path>". Each find is kept as
// "<rule> <name>".
Finds ParseYara(const std::string& out) {
  Finds finds;
  for (const std::string& line : Lines(out)) {
    const std::size_t space = line.find(' ');
    const std::size_t nameAt = line.find("name=\"");
    const std::size_t nameEnd = nameAt == std::string::npos ? nameAt : line.find('"', nameAt + 6);
    const std::size_t pathAt = line.find("] ");
    if (space == std::string::npos || nameEnd == std::string::npos || pathAt == std::string::npos) continue;
    finds[fs::path(line.substr(pathAt + 2)).filename().string()].push_back(
        line.substr(0, space) + " " + line.substr(nameAt + 6, nameEnd - nameAt - 6));
  }
  return finds;
}

std::string OnlyName(const Finds& finds, const std::string& file) {
  const auto it = finds.find(file);
  if (it == finds.end()) return "";
  return it->second.size() == 1 ? it->second.front() : "several: " + std::to_string(it->second.size());
}

// The detection name of a yara find ("<rule> <name>").
std::string YaraName(const std::string& find) {
  const std::size_t space = find.find(' ');
  return space == std::string::npos ? find : find.substr(space + 1);
}

class SigsEngines : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path work = SIGS_WORK_FOLDER;
    fs::remove_all(work);
    fs::create_directories(Folder());
    ASSERT_NO_FATAL_FAILURE(WriteVariantFiles());
    for (const MarkerCase& c : MarkerCases()) ASSERT_TRUE(WriteText(Folder() / c.file, c.text)) << c.file;
    ASSERT_NO_FATAL_FAILURE(CopyRealPeFiles());

    ASSERT_EQ(RunCommand(std::string(SIGS_TOOL) + " clamav > " + (work / "quellor.ldb").string()).exitCode, 0);
    ASSERT_EQ(RunCommand(std::string(SIGS_TOOL) + " yara > " + (work / "quellor.yar").string()).exitCode, 0);
    clamscan_ = new CommandRun(RunCommand(std::string(CLAMSCAN_PROGRAM) + " --no-summary --infected --allmatch -d " +
                                          (work / "quellor.ldb").string() + " -r " + Folder().string()));
    yara_ = new CommandRun(RunCommand(std::string(YARA_PROGRAM) + " --fail-on-warnings -m -r " +
                                      (work / "quellor.yar").string() + " " + Folder().string()));
  }

  static void TearDownTestSuite() {
    delete clamscan_;
    delete yara_;
    fs::remove_all(SIGS_WORK_FOLDER);
  }

  static fs::path Folder() { return fs::path(SIGS_WORK_FOLDER) / "mixed"; }

  // Per row: the sample, a decoy with one window byte changed (the first
  // window in odd rows, the second in even ones), one of the right size that is
  // no PE file, and the sample with one byte more.
  static void WriteVariantFiles() {
    for (int row = 1; row <= VARIANT_COUNT; ++row) {
      const VariantRecord& record = variantTable[row - 1];
      const std::string stem = (Folder() / RowStem(row)).string();
      ASSERT_TRUE(WriteSample(record, SampleKind::Match, stem + ".exe")) << "row " << row;
      ASSERT_TRUE(WriteSample(record, SampleKind::WindowByteChanged, stem + "-window.exe", row % 2 ? 1 : 2));
      ASSERT_TRUE(WriteSample(record, SampleKind::NotPe, stem + "-notpe.exe"));
      std::vector<unsigned char> bytes;
      ASSERT_TRUE(BuildSample(record, SampleKind::Match, bytes));
      bytes.push_back(0);
      ASSERT_TRUE(WriteBytes(stem + "-plus1.exe", bytes));
    }
  }

  static void CopyRealPeFiles() {
    std::size_t copied = 0;
    for (const char* folder : REAL_PE_FOLDERS) {
      std::error_code error;
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".exe" || ext == ".dll")) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      if (files.size() > REAL_PE_PER_FOLDER) files.resize(REAL_PE_PER_FOLDER);
      for (const fs::path& file : files) {
        fs::copy_file(file, Folder() / ("real-" + std::to_string(copied++) + "-" + file.filename().string()));
      }
    }
    ASSERT_GT(copied, 0u) << "no real PE files found";
  }

  static CommandRun* clamscan_;
  static CommandRun* yara_;
};

CommandRun* SigsEngines::clamscan_ = nullptr;
CommandRun* SigsEngines::yara_ = nullptr;

TEST_F(SigsEngines, BothEnginesLoadTheFilesWithoutWarnings) {
  // clamscan: 1 means something was found; yara fails on any warning.
  EXPECT_EQ(clamscan_->exitCode, 1);
  EXPECT_EQ(clamscan_->err, "");
  EXPECT_EQ(yara_->exitCode, 0);
  EXPECT_EQ(yara_->err, "");
}

TEST_F(SigsEngines, YaraFindsEverySampleUnderItsOwnRecordAndNoDecoy) {
  const Finds yara = ParseYara(yara_->out);
  const Finds clamav = ParseClamscan(clamscan_->out);
  for (int row = 1; row <= VARIANT_COUNT; ++row) {
    const std::string stem = RowStem(row);
    const std::string rule = "_row" + std::to_string(row) + " ";
    const std::string find = OnlyName(yara, stem + ".exe");
    EXPECT_NE(find.find(rule), std::string::npos) << "row " << row << ": " << find;
    EXPECT_EQ(YaraName(find), RowName(row)) << "row " << row;
    for (const char* decoy : {"-window.exe", "-notpe.exe", "-plus1.exe"}) {
      EXPECT_EQ(OnlyName(yara, stem + decoy), "") << stem + decoy;
      EXPECT_EQ(OnlyName(clamav, stem + decoy), "") << stem + decoy;
    }
  }
}

TEST_F(SigsEngines, ClamAvFindsExactlyTheSamplesWhoseWindowsLieInTheEntryPointsSection) {
  const Finds clamav = ParseClamscan(clamscan_->out);
  std::set<int> inReach, found;
  for (int row = 1; row <= VARIANT_COUNT; ++row) {
    const std::string file = RowStem(row) + ".exe";
    if (InClamAvReach((Folder() / file).string(), variantTable[row - 1])) inReach.insert(row);
    const std::string name = OnlyName(clamav, file);
    if (name.empty()) continue;
    found.insert(row);
    EXPECT_EQ(name, RowName(row)) << "row " << row;
  }
  EXPECT_EQ(inReach, IN_CLAMAV_REACH);
  EXPECT_EQ(found, IN_CLAMAV_REACH);
}

TEST_F(SigsEngines, ProgramYaraAndClamAvAgreeFileByFileInTheMixedFolder) {
  const Finds yara = ParseYara(yara_->out);
  const Finds clamav = ParseClamscan(clamscan_->out);
  std::map<std::string, bool> markerExpected;
  for (const MarkerCase& c : MarkerCases()) markerExpected[c.file] = c.found;
  std::size_t files = 0, found = 0;
  for (const auto& entry : fs::directory_iterator(Folder())) {
    const std::string file = entry.path().filename().string();
    const std::string program = ProgramFinds(entry.path().string());
    ++files;
    found += !program.empty();
    EXPECT_EQ(YaraName(OnlyName(yara, file)), program) << file;
    // Outside ClamAV's reach it finds nothing where the others find the sample.
    int row = 0;
    const bool sample = std::sscanf(file.c_str(), "row%d.exe", &row) == 1 && file.size() == 9;
    const bool reached = !sample || IN_CLAMAV_REACH.count(row) > 0;
    EXPECT_EQ(OnlyName(clamav, file), reached ? program : "") << file;
    if (markerExpected.count(file)) EXPECT_EQ(program.empty(), !markerExpected[file]) << file;
  }
  // 60 samples and the marker files that carry the marker.
  EXPECT_EQ(found, VARIANT_COUNT + std::count_if(markerExpected.begin(), markerExpected.end(),
                                                 [](const auto& m) { return m.second; }));
  EXPECT_GT(files, static_cast<std::size_t>(4 * VARIANT_COUNT + markerExpected.size()));
}

TEST(SigsTool, HelpAndArgumentsGiveTheirExitCodes) {
  fs::create_directories(SIGS_WORK_FOLDER);
  struct Case {
    const char* arguments;
    int exitCode;
    const char* inOutput;  // a text the standard output holds, or null for none
  } cases[] = {
      {"--help", 0, "ClamAV's EP+n counts from the entry point's file"},  // the reach is explained
      {"clamav", 0, "W32/VelTrix.Agu.Trojan;"},
      {"yara", 0, "import \"pe\""},
      {"", 2, nullptr},             // nothing to write
      {"snort", 2, nullptr},        // no such format
      {"clamav yara", 2, nullptr},  // one format per run
  };
  for (const Case& c : cases) {
    const CommandRun run = RunCommand(std::string(SIGS_TOOL) + " " + c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
    if (c.inOutput) EXPECT_NE(run.out.find(c.inOutput), std::string::npos) << c.arguments;
    else EXPECT_EQ(run.out, "") << c.arguments;
  }
}

TEST(SigsLengths, SizeTestsBecomeLengthRanges) {
  struct Case {
    int32_t sizeMode;
    uint32_t fileSize;
    bool matches;
    int64_t low, high;
  } cases[] = {
      {SIZE_EXACT, 72192, true, 72192, 72192},
      {SIZE_EXACT, 0x80000000u, false, 0, 0},                // no examined file is 2 GiB long
      {SIZE_NEAR, 10000, true, 10000 - 4095, 10000 + 4095},  // d = +-4096 fails
      {SIZE_NEAR, 100, true, 0, 100 + 4095},                 // no negative lengths
      {SIZE_NEAR, 0xFFFFFFFFu, true, 0, 4094},               // the 32-bit difference wraps
      {SIZE_ANY, 5, true, 0, INT32_MAX},
      {4, 72192, false, 0, 0},  // an unknown mode never matches
  };
  for (const Case& c : cases) {
    VariantRecord record = {};
    record.sizeMode = c.sizeMode;
    record.fileSize = c.fileSize;
    const LengthRange range = VariantLengths(record);
    EXPECT_EQ(range.matches, c.matches) << c.sizeMode << " " << c.fileSize;
    if (c.matches) EXPECT_EQ(range.low, c.low) << c.sizeMode << " " << c.fileSize;
    if (c.matches) EXPECT_EQ(range.high, c.high) << c.sizeMode << " " << c.fileSize;
  }
  // The marker record of the table: no size test, at least its pattern long.
  const LengthRange marker = MarkerLengths(markerTable[0]);
  EXPECT_TRUE(marker.matches);
  EXPECT_EQ(marker.low, MARKER_PATTERN_SIZE);
  EXPECT_EQ(marker.high, INT32_MAX);
}

}  // namespace
