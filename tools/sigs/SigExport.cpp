#include "tools/sigs/SigExport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/PeLocator.h"

namespace {

constexpr int64_t LARGEST_EXAMINED_LENGTH = INT32_MAX;  // files of 2 GiB and more are never examined
constexpr int64_t WRAP = int64_t{1} << 32;              // the size test's 32-bit arithmetic
// The word a marker file begins with, in any letter case (the marker scanner's test).
constexpr char MARKER_WORD[] = "begin";
constexpr std::size_t MARKER_WORD_LENGTH = sizeof MARKER_WORD - 1;
// Functionality levels of the ClamAV features used: logical signatures with
// target attributes (0.96), and regular-expression subsignatures (0.99).
constexpr char CLAMAV_LEVEL_VARIANT[] = "Engine:51-255";
constexpr char CLAMAV_LEVEL_MARKER[] = "Engine:81-255";
constexpr int CLAMAV_TARGET_PE = 1;
constexpr int CLAMAV_TARGET_ANY = 0;

LengthRange Clip(int64_t low, int64_t high) {
  LengthRange range;
  range.low = std::max<int64_t>(low, 0);
  range.high = std::min(high, LARGEST_EXAMINED_LENGTH);
  range.matches = range.low <= range.high;
  return range;
}

// Appends format with one number, however long the result.
void Append(std::string& out, const char* format, long long value) {
  const int needed = std::snprintf(nullptr, 0, format, value);
  if (needed <= 0) return;
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, value);
  text.resize(static_cast<std::size_t>(needed));
  out += text;
}

std::string Hex(const unsigned char* bytes, std::size_t count, const char* byteFormat) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    char pair[8];
    std::snprintf(pair, sizeof pair, byteFormat, bytes[i]);
    text += pair;
  }
  return text;
}

// A ClamAV signature name: the record's name, with the field separators and
// anything not printable replaced.
std::string ClamAvName(const std::string& name) {
  std::string text = name;
  for (char& c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte >= 0x7F || c == ';' || c == ':') c = '_';
  }
  return text;
}

// A YARA rule identifier: the name's letters and digits, the rest as "_", and a
// suffix that tells rows of the same name apart.
std::string YaraIdentifier(const std::string& name, const char* kind, int row) {
  std::string text;
  for (char c : name) text += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  text += '_';
  text += kind;
  Append(text, "%lld", row);
  return text;
}

// A YARA text literal holding name.
std::string YaraText(const std::string& name) {
  std::string text = "\"";
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < ' ' || byte >= 0x7F) {
      text += Hex(&byte, 1, "\\x%02x");
    } else {
      text += c;
    }
  }
  return text + "\"";
}

std::string YaraLengthTest(const LengthRange& range) {
  std::string text = "filesize ";
  if (range.low == range.high) {
    Append(text, "== %lld", range.low);
  } else {
    Append(text, ">= %lld", range.low);
    Append(text, " and filesize <= %lld", range.high);
  }
  return text;
}

std::string ClamAvLengthTest(const LengthRange& range) {
  std::string text;
  Append(text, "FileSize:%lld", range.low);
  Append(text, "-%lld", range.high);
  return text;
}

// "EP+n" or "EP-n" for an entry-point-relative offset.
std::string EntryPointOffset(int32_t offset) {
  std::string text = "EP";
  Append(text, "%+lld", offset);
  return text;
}

// "(pe.entry_point_raw + n) & 0xFFFFFFFF": the window's RVA in the locator's
// 32-bit wrap-around arithmetic.
std::string WindowRva(int32_t offset) {
  std::string text = "(pe.entry_point_raw ";
  Append(text, offset < 0 ? "- %lld" : "+ %lld", offset < 0 ? -static_cast<long long>(offset) : offset);
  return text + ") & 0xFFFFFFFF";
}

// The marker records with their plain patterns, unscrambled once as the
// scanner does on its first call.
const MarkerRecord& PlainMarker(int index) {
  EnsureMarkersUnscrambled();
  return markerTable[index];
}

// A character class of the bytes the marker scanner strips before it searches,
// taken from the scanner's own stripping.
std::string WhitespaceClass() {
  std::string text = "[";
  for (int value = 0; value < 256; ++value) {
    const unsigned char byte = static_cast<unsigned char>(value);
    unsigned char kept;
    if (StripWhitespace(&byte, &kept, 1) == 0) text += Hex(&byte, 1, "\\x%02x");
  }
  return text + "]";
}

// The pattern as a regular expression that allows whitespace between its bytes,
// which is how it occurs in a file whose whitespace-free text holds it.
std::string SpreadPattern(const MarkerRecord& record, const char* gap) {
  const std::string between = WhitespaceClass() + gap;
  std::string text;
  for (std::size_t i = 0; i < record.patternLength; ++i) {
    if (i > 0) text += between;
    text += Hex(&record.pattern[i], 1, "\\x%02x");
  }
  return text;
}

// Why a marker record cannot be written, or null when it can: only a search of
// the head window is expressed (the table holds no other kind).
const char* MarkerLeftOut(const MarkerRecord& record) {
  if (record.patternLength == 0 || record.patternLength > MARKER_PATTERN_SIZE) return "it never matches";
  if (!MarkerLengths(record).matches) return "no file length passes its size test";
  if (record.matchKind != MARKER_MATCH_SEARCH)
    return "a compare at a position of the whitespace-free text is not expressed";
  if (record.region != MARKER_REGION_HEAD) return "only a search of the head window is expressed";
  // The rules put the pattern after the word; one that could begin inside the
  // word would need more alternatives.
  const char first = static_cast<char>(std::tolower(record.pattern[0]));
  if (first != '\0' && std::strchr(MARKER_WORD, first)) return "its pattern may overlap the word \"begin\"";
  return nullptr;
}

void AppendLeftOut(std::string& out, const char* comment, const std::string& name, const char* why) {
  out += comment;
  out += " Not written: " + name + ", because " + why + ".\n";
}

// Where the head window of a marker file ends: the scanner strips the whitespace
// of the file's first MARKER_WINDOW bytes (or of the whole of a shorter file).
constexpr long long HEAD_WINDOW_END = MARKER_WINDOW;

const char CLAMAV_HEADER[] =
    "# Quellor detection data for ClamAV: logical signatures (load with clamscan -d <file>.ldb).\n"
    "# Each variant signature tests the record's exact file length and its two 20-byte windows at\n"
    "# EP+n. ClamAV counts EP+n from the file offset of the entry point, while the program maps\n"
    "# \"entry point RVA + n\" through the section table: the two agree only when both windows lie in\n"
    "# the entry point's section. Files whose windows lie in other sections are out of this file's\n"
    "# reach; the YARA rules of quellor-sigs yara map them as the program does.\n"
    "# The marker signature finds the worm's text marker in the first 4096 bytes of a file that\n"
    "# begins with \"begin\", with whitespace allowed between its bytes. It matches any such file,\n"
    "# not only a hosts file.\n";

const char YARA_HEADER[] =
    "// Quellor detection data for YARA 4.2 or later (yara <file>.yar <folder>).\n"
    "// Each variant rule tests the record's exact file length and its two 20-byte windows at\n"
    "// pe.rva_to_offset(entry point + n), the section mapping the program uses, so windows in\n"
    "// any section are found. YARA maps only RVAs inside a section's raw data (or the headers),\n"
    "// where the program falls back to other offsets; for well-formed images the two agree.\n"
    "// The marker rule finds the worm's text marker in the first 4096 bytes of a file that begins\n"
    "// with \"begin\", with whitespace allowed between its bytes. It matches any such file, not\n"
    "// only a hosts file. The meta field name holds the detection name.\n";

void AppendClamAvVariant(std::string& out, const VariantRecord& record) {
  const std::string name = RecordName(record.name, sizeof record.name);
  const LengthRange lengths = VariantLengths(record);
  if (!lengths.matches) {
    AppendLeftOut(out, "#", name, "no file length passes its size test");
    return;
  }
  out += ClamAvName(name) + ";" + CLAMAV_LEVEL_VARIANT;
  Append(out, ",Target:%lld,", CLAMAV_TARGET_PE);
  out += ClamAvLengthTest(lengths) + ";0&1;";
  out += EntryPointOffset(record.offset1) + ":" + Hex(record.signature1, SIGNATURE_LENGTH, "%02x") + ";";
  out += EntryPointOffset(record.offset2) + ":" + Hex(record.signature2, SIGNATURE_LENGTH, "%02x") + "\n";
}

void AppendClamAvMarker(std::string& out, const MarkerRecord& record) {
  const std::string name = RecordName(record.name, sizeof record.name);
  if (const char* why = MarkerLeftOut(record)) {
    AppendLeftOut(out, "#", name, why);
    return;
  }
  // Subsignature 0: the word at offset 0 in any letter case. Subsignature 1: the
  // pattern, wholly inside the head window ("e": the match must end within it).
  out += ClamAvName(name) + ";" + CLAMAV_LEVEL_MARKER;
  Append(out, ",Target:%lld,", CLAMAV_TARGET_ANY);
  out += ClamAvLengthTest(MarkerLengths(record)) + ";0&1;0:";
  out += Hex(reinterpret_cast<const unsigned char*>(MARKER_WORD), MARKER_WORD_LENGTH, "%02x") + "::i;";
  Append(out, "0,%lld:0/", HEAD_WINDOW_END);
  out += SpreadPattern(record, "*") + "/e\n";
}

void AppendYaraVariant(std::string& out, const VariantRecord& record, int row) {
  const std::string name = RecordName(record.name, sizeof record.name);
  const LengthRange lengths = VariantLengths(record);
  if (!lengths.matches) {
    AppendLeftOut(out, "//", name, "no file length passes its size test");
    return;
  }
  out += "\nrule " + YaraIdentifier(name, "row", row) + "\n{\n  meta:\n    name = " + YaraText(name) + "\n";
  Append(out, "    row = %lld\n", row);
  out += "  strings:\n";
  out += "    $window1 = { " + Hex(record.signature1, SIGNATURE_LENGTH, "%02X ") + "}\n";
  out += "    $window2 = { " + Hex(record.signature2, SIGNATURE_LENGTH, "%02X ") + "}\n";
  out += "  condition:\n    " + YaraLengthTest(lengths);
  Append(out, " and pe.number_of_sections <= %lld and\n", MAX_SECTIONS);
  out += "    $window1 at pe.rva_to_offset(" + WindowRva(record.offset1) + ") and\n";
  out += "    $window2 at pe.rva_to_offset(" + WindowRva(record.offset2) + ")\n}\n";
}

// Every letter-case spelling of the word, in a fixed order.
std::string WordSpelling(unsigned bits) {
  std::string word = MARKER_WORD;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (bits & (1u << i)) word[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[i])));
  }
  return word;
}

void AppendYaraMarker(std::string& out, const MarkerRecord& record, int index) {
  const std::string name = RecordName(record.name, sizeof record.name);
  if (const char* why = MarkerLeftOut(record)) {
    AppendLeftOut(out, "//", name, why);
    return;
  }
  // One string per spelling of the word, so that each starts with a literal
  // YARA can search for quickly; the shortest match from offset 0 must end
  // inside the head window.
  out += "\nrule " + YaraIdentifier(name, "marker", index + 1) + "\n{\n  meta:\n    name = " + YaraText(name) +
         "\n  strings:\n";
  const std::string pattern = SpreadPattern(record, "*?");
  const long long longestGap = HEAD_WINDOW_END - static_cast<long long>(MARKER_WORD_LENGTH) - record.patternLength;
  for (unsigned bits = 0; bits < (1u << MARKER_WORD_LENGTH); ++bits) {
    Append(out, "    $head%lld = /", bits);
    out += WordSpelling(bits);
    Append(out, "[\\x00-\\xff]{0,%lld}?", longestGap);
    out += pattern + "/\n";
  }
  out += "  condition:\n    " + YaraLengthTest(MarkerLengths(record));
  Append(out, " and\n    for any of ($head*) : ($ at 0 and ![1] <= %lld)\n}\n", HEAD_WINDOW_END);
}

}  // namespace

LengthRange VariantLengths(const VariantRecord& record) {
  const int64_t size = record.fileSize;
  // The near test passes |fileSize - L| < SIZE_WINDOW, the difference taken in 32 bits.
  const int64_t near = SIZE_WINDOW - 1;
  switch (record.sizeMode) {
    case SIZE_EXACT:
      return Clip(size, size);
    case SIZE_NEAR:
      // Within SIZE_WINDOW of 2^32 the difference wraps: short files pass.
      if (size >= WRAP - near) return Clip(0, size + near - WRAP);
      return Clip(size - near, size + near);
    case SIZE_ANY:
      return Clip(0, LARGEST_EXAMINED_LENGTH);
    default:
      return LengthRange{};  // the record never matches
  }
}

LengthRange MarkerLengths(const MarkerRecord& record) {
  const int64_t size = record.fileSize;
  LengthRange range;
  switch (record.sizeMode) {
    case MARKER_SIZE_EXACT:
      range = Clip(size, size);
      break;
    case MARKER_SIZE_NEAR:
      range = Clip(size - MARKER_SIZE_WINDOW, size + MARKER_SIZE_WINDOW);
      break;
    default:
      range = Clip(0, LARGEST_EXAMINED_LENGTH);
      break;
  }
  // A file shorter than the pattern is never tested.
  return Clip(std::max<int64_t>(range.low, record.patternLength), range.matches ? range.high : -1);
}

std::string RecordName(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

std::string ClamAvDatabase() {
  std::string out = CLAMAV_HEADER;
  for (int row = 0; !IsEndRecord(variantTable[row]); ++row) AppendClamAvVariant(out, variantTable[row]);
  for (int i = 0; i < MARKER_COUNT; ++i) AppendClamAvMarker(out, PlainMarker(i));
  return out;
}

std::string YaraRules() {
  std::string out = YARA_HEADER;
  out += "\nimport \"pe\"\n";
  for (int row = 0; !IsEndRecord(variantTable[row]); ++row) AppendYaraVariant(out, variantTable[row], row + 1);
  for (int i = 0; i < MARKER_COUNT; ++i) AppendYaraMarker(out, PlainMarker(i), i);
  return out;
}
