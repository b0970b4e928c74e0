#include <gtest/gtest.h>
#include <windows.h>
#include <winperf.h>

#include <cstring>
#include <string>
#include <vector>

#include "process/PerfData.h"

namespace {

constexpr DWORD ID_PROCESS_INDEX = 784;
constexpr DWORD PROCESSOR_TIME_INDEX = 6;
// The counter block of every built instance: ByteLength, a 64-bit counter, the id.
constexpr DWORD TIME_COUNTER_OFFSET = 8;
constexpr DWORD ID_COUNTER_OFFSET = 16;
constexpr DWORD COUNTER_BLOCK_LENGTH = 24;

struct Instance {
  std::wstring name;
  DWORD id;
};

// Where the fields of a built block lie, for tests that spoil one.
struct Layout {
  std::size_t object = 0;
  std::size_t idCounterDefinition = 0;
  std::vector<std::size_t> instances;
};

template <typename T>
void Put(std::vector<unsigned char>& bytes, std::size_t at, const T& value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

template <typename T>
std::size_t Append(std::vector<unsigned char>& bytes, const T& value) {
  const std::size_t at = bytes.size();
  bytes.resize(at + sizeof value);
  Put(bytes, at, value);
  return at;
}

std::size_t AlignedTo8(std::size_t n) { return (n + 7) & ~static_cast<std::size_t>(7); }

// A performance data block by the winperf.h layout: one "Process" object with a
// processor-time counter and (unless idCounter is 0) the id counter, and the
// given instances, each name followed by its counter block.
std::vector<unsigned char> BuildBlock(const std::vector<Instance>& instances, DWORD idCounter = ID_PROCESS_INDEX,
                                      Layout* layout = nullptr) {
  Layout where;
  std::vector<unsigned char> bytes;
  PERF_DATA_BLOCK header = {};
  std::memcpy(header.Signature, L"PERF", sizeof header.Signature);
  header.LittleEndian = 1;
  header.Version = PERF_DATA_VERSION;
  header.Revision = PERF_DATA_REVISION;
  header.HeaderLength = sizeof header;
  header.NumObjectTypes = 1;
  Append(bytes, header);

  PERF_OBJECT_TYPE object = {};
  object.HeaderLength = sizeof object;
  object.DefinitionLength = sizeof object + 2 * sizeof(PERF_COUNTER_DEFINITION);
  object.ObjectNameTitleIndex = 230;
  object.NumCounters = 2;
  object.NumInstances = static_cast<LONG>(instances.size());
  where.object = Append(bytes, object);

  PERF_COUNTER_DEFINITION time = {};
  time.ByteLength = sizeof time;
  time.CounterNameTitleIndex = PROCESSOR_TIME_INDEX;
  time.CounterSize = 8;
  time.CounterOffset = TIME_COUNTER_OFFSET;
  Append(bytes, time);
  PERF_COUNTER_DEFINITION id = {};
  id.ByteLength = sizeof id;
  id.CounterNameTitleIndex = idCounter;
  id.CounterSize = sizeof(DWORD);
  id.CounterOffset = ID_COUNTER_OFFSET;
  where.idCounterDefinition = Append(bytes, id);

  for (const Instance& instance : instances) {
    const std::size_t nameBytes = (instance.name.size() + 1) * sizeof(WCHAR);
    PERF_INSTANCE_DEFINITION definition = {};
    definition.ByteLength = static_cast<DWORD>(sizeof definition + AlignedTo8(nameBytes));
    definition.UniqueID = PERF_NO_UNIQUE_ID;
    definition.NameOffset = sizeof definition;
    definition.NameLength = static_cast<DWORD>(nameBytes);
    where.instances.push_back(Append(bytes, definition));
    const std::size_t name = bytes.size();
    bytes.resize(name + AlignedTo8(nameBytes));
    std::memcpy(bytes.data() + name, instance.name.c_str(), nameBytes);
    const std::size_t counters = bytes.size();
    bytes.resize(counters + COUNTER_BLOCK_LENGTH);
    Put(bytes, counters, COUNTER_BLOCK_LENGTH);
    Put(bytes, counters + ID_COUNTER_OFFSET, instance.id);
  }
  Put(bytes, where.object + offsetof(PERF_OBJECT_TYPE, TotalByteLength),
      static_cast<DWORD>(bytes.size() - where.object));
  Put(bytes, offsetof(PERF_DATA_BLOCK, TotalByteLength), static_cast<DWORD>(bytes.size()));
  if (layout) *layout = where;
  return bytes;
}

// Holds bytes so that they end exactly where an inaccessible page begins: a
// read past their end faults, and the test program crashes instead of passing.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<unsigned char>& bytes) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t pages = (bytes.size() + page - 1) / page + 1;
    base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + (pages - 1) * page - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const unsigned char* data() const { return data_; }

 private:
  unsigned char* base_ = nullptr;
  unsigned char* data_ = nullptr;
};

struct Parsed {
  int filled = 0;
  PerfProcessSlot slots[PERF_SLOT_COUNT] = {};
};

Parsed Parse(const std::vector<unsigned char>& bytes, DWORD idCounter = ID_PROCESS_INDEX) {
  GuardedBytes guarded(bytes);
  Parsed parsed;
  parsed.filled = ParsePerfProcessBlock(guarded.data(), bytes.size(), idCounter, parsed.slots);
  return parsed;
}

TEST(PerfProcessBlock, InstancesFillTheSlotsInOrder) {
  const Parsed parsed = Parse(BuildBlock({{L"System", 4}, {L"services", 56}, {L"svchost", 168}}));
  ASSERT_EQ(3, parsed.filled);
  EXPECT_STREQ("System", parsed.slots[0].name);
  EXPECT_EQ(4u, parsed.slots[0].processId);
  EXPECT_STREQ("services", parsed.slots[1].name);
  EXPECT_EQ(56u, parsed.slots[1].processId);
  EXPECT_STREQ("svchost", parsed.slots[2].name);
  EXPECT_EQ(168u, parsed.slots[2].processId);
  EXPECT_EQ(0u, parsed.slots[3].processId);
}

TEST(PerfProcessBlock, NamesOfSixteenCharactersAreKeptLongerOnesStoredEmpty) {
  const Parsed parsed = Parse(BuildBlock({{L"sixteen_chars_ab", 10}, {L"seventeen_chars_a", 11}, {L"", 12}}));
  ASSERT_EQ(3, parsed.filled);
  EXPECT_STREQ("sixteen_chars_ab", parsed.slots[0].name);
  EXPECT_STREQ("", parsed.slots[1].name);
  EXPECT_EQ(11u, parsed.slots[1].processId) << "the slot is filled, only its name is empty";
  EXPECT_STREQ("", parsed.slots[2].name);
}

TEST(PerfProcessBlock, IdZeroIsStoredAsAnIdNoProcessHas) {
  const Parsed parsed = Parse(BuildBlock({{L"Idle", 0}, {L"_Total", 0}}));
  ASSERT_EQ(2, parsed.filled);
  EXPECT_EQ(PERF_ZERO_ID_STORED, parsed.slots[0].processId);
  EXPECT_EQ(0xFFFFFFFEu, parsed.slots[1].processId);
}

TEST(PerfProcessBlock, AtMost254InstancesAreReadAndTheLastSlotStaysEmpty) {
  std::vector<Instance> many;
  for (DWORD i = 1; i <= 300; ++i) many.push_back({L"p" + std::to_wstring(i), i * 4});
  const Parsed parsed = Parse(BuildBlock(many));
  EXPECT_EQ(254, parsed.filled);
  EXPECT_STREQ("p254", parsed.slots[253].name);
  EXPECT_EQ(0u, parsed.slots[254].processId);
  EXPECT_STREQ("", parsed.slots[254].name);
}

TEST(PerfProcessBlock, NoSlotIsFilledWithoutTheIdCounter) {
  const std::vector<Instance> two = {{L"a", 8}, {L"b", 12}};
  EXPECT_EQ(0, Parse(BuildBlock(two, 999)).filled) << "the block has no counter 784";
  EXPECT_EQ(0, Parse(BuildBlock(two), 0).filled) << "no id counter index was found among the names";
  EXPECT_EQ(2, Parse(BuildBlock(two, PROCESSOR_TIME_INDEX), PROCESSOR_TIME_INDEX).filled)
      << "the first counter with the index is taken";
  Layout layout;
  std::vector<unsigned char> endless = BuildBlock(two, 999, &layout);
  Put(endless, layout.object + offsetof(PERF_OBJECT_TYPE, NumCounters), DWORD{0xFFFFFFFF});
  EXPECT_EQ(0, Parse(endless).filled) << "the search for the counter ends with the block";
}

TEST(PerfProcessBlock, BlocksWithoutSignatureOrObjectsAreRefused) {
  std::vector<unsigned char> block = BuildBlock({{L"a", 8}});
  std::vector<unsigned char> wrongSignature = block;
  wrongSignature[2] = 'X';  // "PXRF"
  EXPECT_EQ(0, Parse(wrongSignature).filled);
  std::vector<unsigned char> noObjects = block;
  Put(noObjects, offsetof(PERF_DATA_BLOCK, NumObjectTypes), DWORD{0});
  EXPECT_EQ(0, Parse(noObjects).filled);
  std::vector<unsigned char> narrowSignature = block;
  std::memcpy(narrowSignature.data(), "PERFPERF", 8);  // ANSI letters, not UTF-16
  EXPECT_EQ(0, Parse(narrowSignature).filled);
}

TEST(PerfProcessBlock, NoInstancesMarkerReadsNothingBeyondTheBlock) {
  Layout layout;
  std::vector<unsigned char> block = BuildBlock({{L"a", 8}, {L"b", 12}}, ID_PROCESS_INDEX, &layout);
  Put(block, layout.object + offsetof(PERF_OBJECT_TYPE, NumInstances), LONG{PERF_NO_INSTANCES});
  EXPECT_EQ(2, Parse(block).filled) << "read as unsigned: as many as the block holds";
}

// Every cut of a valid block: nothing is read past the cut, and an instance
// fills a slot only when everything read of it (up to its id) lies before the cut.
TEST(PerfProcessBlock, TruncatedBlocksAreReadOnlyUpToTheirEnd) {
  Layout layout;
  const std::vector<unsigned char> block =
      BuildBlock({{L"first", 8}, {L"second", 12}, {L"third", 16}}, ID_PROCESS_INDEX, &layout);
  for (std::size_t size = 0; size <= block.size(); ++size) {
    const std::vector<unsigned char> cut(block.begin(), block.begin() + size);
    const Parsed parsed = Parse(cut);
    int readable = 0;
    for (std::size_t i = 0; i < layout.instances.size(); ++i) {
      const std::size_t end = i + 1 < layout.instances.size() ? layout.instances[i + 1] : block.size();
      const std::size_t idEnd = end - COUNTER_BLOCK_LENGTH + ID_COUNTER_OFFSET + sizeof(DWORD);
      if (idEnd <= size) ++readable;
    }
    EXPECT_EQ(readable, parsed.filled) << "cut at " << size;
  }
}

struct HostileField {
  const char* why;
  std::size_t (*at)(const Layout&);
  DWORD value;
  int expectedFilled;
};

const HostileField kHostileFields[] = {
    {"block header length far past the end", [](const Layout&) { return offsetof(PERF_DATA_BLOCK, HeaderLength); },
     0xFFFFFFF0u, 0},
    {"object header length far past the end",
     [](const Layout& l) { return l.object + offsetof(PERF_OBJECT_TYPE, HeaderLength); }, 0x7FFFFFFFu, 0},
    {"four billion counter definitions",
     [](const Layout& l) { return l.object + offsetof(PERF_OBJECT_TYPE, NumCounters); }, 0xFFFFFFFFu, 2},
    {"definition length past the end",
     [](const Layout& l) { return l.object + offsetof(PERF_OBJECT_TYPE, DefinitionLength); }, 0xFFFFFF00u, 0},
    {"id counter offset past every counter block",
     [](const Layout& l) { return l.idCounterDefinition + offsetof(PERF_COUNTER_DEFINITION, CounterOffset); },
     0xFFFFFFFCu, 0},
    {"first instance length wraps 32 bits",
     [](const Layout& l) { return l.instances[0] + offsetof(PERF_INSTANCE_DEFINITION, ByteLength); }, 0xFFFFFFF8u, 0},
    {"second instance name offset past the end",
     [](const Layout& l) { return l.instances[1] + offsetof(PERF_INSTANCE_DEFINITION, NameOffset); }, 0x80000000u, 2},
};

TEST(PerfProcessBlock, HostileLengthsAndOffsetsStayInsideTheBlock) {
  Layout layout;
  const std::vector<unsigned char> block = BuildBlock({{L"first", 8}, {L"second", 12}}, ID_PROCESS_INDEX, &layout);
  for (const HostileField& field : kHostileFields) {
    SCOPED_TRACE(field.why);
    std::vector<unsigned char> hostile = block;
    Put(hostile, field.at(layout), field.value);
    EXPECT_EQ(field.expectedFilled, Parse(hostile).filled) << field.why;
  }
}

TEST(PerfProcessBlock, NameWithoutTerminatorIsUnknown) {
  Layout layout;
  std::vector<unsigned char> block = BuildBlock({{L"first", 8}}, ID_PROCESS_INDEX, &layout);
  // The name is made to start in four bytes appended at the end of the block,
  // "ab" in UTF-16 with no terminator before the end.
  block.insert(block.end(), {'a', 0, 'b', 0});
  const DWORD nameOffset = static_cast<DWORD>(block.size() - 4 - layout.instances[0]);
  Put(block, layout.instances[0] + offsetof(PERF_INSTANCE_DEFINITION, NameOffset), nameOffset);
  const Parsed parsed = Parse(block);
  ASSERT_EQ(1, parsed.filled);
  EXPECT_STREQ("unknown", parsed.slots[0].name);
  EXPECT_EQ(8u, parsed.slots[0].processId);
  // A name of MAX_PATH characters and more cannot be converted into the buffer either.
  EXPECT_STREQ("unknown", Parse(BuildBlock({{std::wstring(MAX_PATH, L'x'), 9}})).slots[0].name);
  EXPECT_STREQ("", Parse(BuildBlock({{std::wstring(MAX_PATH - 1, L'x'), 9}})).slots[0].name);
}

// Counter names: index and name strings, each zero-terminated, then an empty one.
std::string Names(const std::vector<std::string>& strings) {
  std::string names;
  for (const std::string& s : strings) names += s + '\0';
  return names + '\0';
}

PerfCounterIndexes ParseNames(const std::string& names) {
  GuardedBytes guarded(std::vector<unsigned char>(names.begin(), names.end()));
  PerfCounterIndexes indexes;
  ParsePerfCounterNames(reinterpret_cast<const char*>(guarded.data()), names.size(), indexes);
  return indexes;
}

TEST(PerfCounterNames, FindTheProcessObjectAndTheIdCounter) {
  const PerfCounterIndexes found =
      ParseNames(Names({"1", "1847", "2", "System", "230", "Process", "6", "% Processor Time", "784", "ID Process"}));
  EXPECT_STREQ("230", found.processObject);
  EXPECT_EQ(784u, found.processIdCounter);
}

TEST(PerfCounterNames, MatchIgnoringCaseAndALaterMatchWins) {
  const PerfCounterIndexes found =
      ParseNames(Names({"230", "PROCESS", "784", "id process", "9230", "process", "9784", "Id Process"}));
  EXPECT_STREQ("9230", found.processObject);
  EXPECT_EQ(9784u, found.processIdCounter);
}

TEST(PerfCounterNames, TheIndexIsTheRunOfDigitsEndingTheStringBefore) {
  EXPECT_STREQ("230", ParseNames(Names({"x230", "Process"})).processObject);
  EXPECT_STREQ("", ParseNames(Names({"Process", "784", "ID Process"})).processObject) << "no string before";
  EXPECT_STREQ("", ParseNames(Names({"230x", "Process"})).processObject);
  EXPECT_EQ(0u, ParseNames(Names({"99999999999", "ID Process"})).processIdCounter) << "too large for 32 bits";
  EXPECT_STREQ("", ParseNames(Names({"12345678901234567890", "Process"})).processObject) << "no index that long";
}

TEST(PerfCounterNames, AnEmptyStringEndsTheWalkAndNothingPastTheSizeIsRead) {
  std::string names = Names({"1", "1847"}) + Names({"230", "Process"});
  EXPECT_STREQ("", ParseNames(names).processObject);
  const std::string unterminated = std::string("230\0Process\0", 12) + "784" + std::string(1, '\0') + "ID Proc";
  const PerfCounterIndexes cut = ParseNames(unterminated);
  EXPECT_STREQ("230", cut.processObject);
  EXPECT_EQ(0u, cut.processIdCounter);
}

TEST(PerfTarget, IsTheFileNameWithoutExtensionUpperCased) {
  char target[MAX_PATH];
  ASSERT_TRUE(PerfTargetName("C:\\Windows\\System32\\abc.exe", target, sizeof target));
  EXPECT_STREQ("ABC", target);
  ASSERT_TRUE(PerfTargetName("abcd.e", target, sizeof target));
  EXPECT_STREQ("AB", target) << "the last four characters go, whatever they are";
  ASSERT_TRUE(PerfTargetName("a.exe", target, sizeof target));
  EXPECT_STREQ("A", target);
  EXPECT_FALSE(PerfTargetName("a.ex", target, sizeof target)) << "four characters or fewer";
  EXPECT_FALSE(PerfTargetName("", target, sizeof target));
  EXPECT_FALSE(PerfTargetName(std::string(MAX_PATH, 'x').c_str(), target, sizeof target));
  ASSERT_TRUE(PerfTargetName("C:\\dir\\.exe", target, sizeof target));
  EXPECT_STREQ("", target);
}

TEST(PerfTarget, SlotsMatchTheWholeNameIgnoringCase) {
  const PerfProcessSlot abcdef = {1, "abcdef"};
  const PerfProcessSlot abc = {2, "ABC"};
  const PerfProcessSlot ab = {3, "ab"};
  const PerfProcessSlot xabc = {4, "xabc"};
  const PerfProcessSlot empty = {5, ""};
  EXPECT_FALSE(PerfSlotMatches(abcdef, "ABC")) << "abcdef runs another file than abc.exe";
  EXPECT_TRUE(PerfSlotMatches(abc, "ABC"));
  EXPECT_FALSE(PerfSlotMatches(ab, "ABC"));
  EXPECT_FALSE(PerfSlotMatches(xabc, "ABC"));
  EXPECT_FALSE(PerfSlotMatches(empty, "ABC")) << "a name too long to store never matches";
  EXPECT_FALSE(PerfSlotMatches(abcdef, "")) << "an empty target matches nothing";
  EXPECT_TRUE(PerfSlotMatches({6, "sixteen_chars_ab"}, "SIXTEEN_CHARS_AB"));
}

// The registry reads run for real: Wine answers a valid block without objects.
TEST(PerfQuery, GrowsTheBufferUntilTheAnswerFits) {
  ByteBuffer data;
  ASSERT_TRUE(QueryPerformanceData("230", 8, data));
  ASSERT_GE(data.used, sizeof(PERF_DATA_BLOCK));
  EXPECT_LE(data.used, data.size());
  EXPECT_GT(data.size(), 8u);
  EXPECT_EQ(0, std::memcmp(data.data(), L"PERF", 8));
  PerfProcessSlot slots[PERF_SLOT_COUNT] = {};
  EXPECT_EQ(0, ParsePerfProcessBlock(data.data(), data.used, ID_PROCESS_INDEX, slots));
  PerfCounterIndexes indexes;
  EXPECT_TRUE(ReadPerfCounterNames(indexes));
}

}  // namespace
