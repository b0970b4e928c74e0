#include "TextSeeds.h"

#include <winperf.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/samplemaker/SampleMaker.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

template <typename T>
void Append(Bytes& bytes, const T& value) {
  const std::size_t at = bytes.size();
  bytes.resize(at + sizeof value);
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

// A performance data block by the winperf.h layout, with only the fields the
// parser reads set: a "Process" object with an "ID Process" counter (784) at
// offset 8 of each counter block, and one instance per name, the id counting
// up from firstId.
Bytes PerfBlock(const std::vector<std::u16string>& names, DWORD firstId, LONG instanceCount) {
  Bytes bytes;
  PERF_DATA_BLOCK block = {};
  std::memcpy(block.Signature, u"PERF", sizeof block.Signature);
  block.HeaderLength = sizeof block;
  block.NumObjectTypes = 1;
  Append(bytes, block);
  PERF_OBJECT_TYPE process = {};
  process.HeaderLength = sizeof process;
  process.DefinitionLength = sizeof process + sizeof(PERF_COUNTER_DEFINITION);
  process.NumCounters = 1;
  process.NumInstances = instanceCount;
  Append(bytes, process);
  PERF_COUNTER_DEFINITION idCounter = {};
  idCounter.CounterNameTitleIndex = 784;
  idCounter.CounterOffset = 8;
  Append(bytes, idCounter);
  DWORD processId = firstId;
  for (const std::u16string& name : names) {
    PERF_INSTANCE_DEFINITION instance = {};
    const std::size_t nameBytes = (name.size() + 1) * 2;
    instance.NameOffset = sizeof instance;
    instance.NameLength = static_cast<DWORD>(nameBytes);
    instance.ByteLength = static_cast<DWORD>((sizeof instance + nameBytes + 7) / 8 * 8);
    const std::size_t start = bytes.size();
    Append(bytes, instance);
    for (char16_t c : name) Append(bytes, static_cast<uint16_t>(c));
    bytes.resize(start + instance.ByteLength, 0);
    const DWORD blockLength = 16;
    Append(bytes, blockLength);
    Append(bytes, DWORD{0});
    Append(bytes, processId++);
    Append(bytes, DWORD{0});
  }
  return bytes;
}

std::vector<Bytes> PerfSeeds() {
  const std::vector<std::u16string> names = {u"explorer", u"sixteen_chars_16", u"seventeen_chars17", u"a"};
  Bytes truncated = PerfBlock(names, 8, 4);
  truncated.resize(truncated.size() - 10);
  return {PerfBlock(names, 8, 4), PerfBlock(names, 0, 4), PerfBlock(names, 8, -1), PerfBlock({}, 8, 0), truncated,
          FromText("PERF")};
}

std::vector<Bytes> WininitSeeds() {
  // The first byte: 1 for an existing old file, 0 for none.
  const std::string longLine(647, 'x');
  const std::string texts[] = {
      "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nk=1\r\n",
      "[boot]\r\nk=1\r\n[ReName]\r\nA=B\r\n",
      "[boot]\r\nk=1",
      "[rename]\rA=B\r[x]\r",
      "[rename]\nA=B\n[x]\n[rename]\n",
      "[rename]\r\n" + longLine + "[y]\r\n[z]\r\n",
      "[rename]" + longLine + "x\r\n",
      std::string("[boot]\r\nk=a\0b\r\n", 15),
      "",
  };
  std::vector<Bytes> seeds = {Bytes{0}};
  for (const std::string& text : texts) seeds.push_back(FromText("\x01" + text));
  return seeds;
}

std::vector<Bytes> StartupSeeds() {
  // name, zero, infected path, zero, data.
  const std::string file = "C:\\WINDOWS\\SYSTEM32\\EVIL.EXE";
  const std::string seeds[] = {
      "Evil\0" + file + "\0evil.exe",
      "Evil\0" + file + "\0\"C:\\Windows\\System32\\Evil.exe\" /run",
      "Evil\0" + file + "\0%SystemRoot%\\system32\\evil.exe",
      "Other\0C:\\apps\\evil.exe\0evil.exe",
      "Long\0" + file + "\0C:\\" + std::string(300, 'a'),
      std::string(200, 'n') + "\0" + file + "\0" + file,
      std::string("Number\0", 7) + file + std::string("\0\x04\x03\x02\x01", 5),
      std::string("Multi\0", 6) + file + std::string("\0evil.exe\0other\0\0", 17),
      std::string("NoPath\0evil\0evil", 16),
  };
  std::vector<Bytes> out;
  for (const std::string& seed : seeds) out.push_back(FromText(seed));
  return out;
}

std::vector<Bytes> PathSeeds() {
  // Width (16-bit), destination size less one, then the path.
  auto seed = [](int16_t width, unsigned char sizeLessOne, const std::string& path) {
    Bytes bytes;
    Append(bytes, width);
    bytes.push_back(sizeLessOne);
    bytes.insert(bytes.end(), path.begin(), path.end());
    return bytes;
  };
  const std::string longPath = "C:\\" + std::string(120, 'd') + "\\file.exe";
  return {seed(60, 255, longPath),    seed(60, 255, "C:\\x\\a.exe"),    seed(3, 31, longPath),
          seed(60, 31, longPath),     seed(-8, 255, "C:\\dir.d\\name"), seed(5, 255, "C:\\x\\a."),
          seed(60, 9, "C:\\x\\a.exe")};
}

}  // namespace

bool WriteTextSeeds(const std::string& target, const std::string& folder) {
  std::vector<Bytes> seeds;
  if (target == "perf") seeds = PerfSeeds();
  else if (target == "wininit") seeds = WininitSeeds();
  else if (target == "startup") seeds = StartupSeeds();
  else if (target == "paths") seeds = PathSeeds();
  else return false;
  int written = 0;
  for (std::size_t i = 0; i < seeds.size(); ++i)
    written += WriteBytes(folder + "/" + target + std::to_string(i + 1), seeds[i]);
  return written > 0;
}
