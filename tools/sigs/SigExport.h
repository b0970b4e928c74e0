#pragma once
#include <cstdint>
#include <string>

#include "engine/MarkerScanner.h"
#include "engine/VariantTable.h"

// Writes the variant table and the marker table in the formats of two engines
// that run across many machines: ClamAV logical signatures (.ldb) and YARA rules.

// File lengths a record accepts, as one closed range. The engine examines only
// files shorter than 2 GiB (its length is a signed 32-bit number), so every range
// lies within 0 .. INT32_MAX; an empty range (matches false) never matches.
struct LengthRange {
  bool matches = false;
  int64_t low = 0;
  int64_t high = 0;
};

// The lengths a variant record's size test passes, by its sizeMode (with the
// 32-bit wrap-around of the near test's difference).
LengthRange VariantLengths(const VariantRecord& record);

// The lengths a marker record's size test passes, at least its pattern long.
LengthRange MarkerLengths(const MarkerRecord& record);

// The record's name, at most its 50 bytes, without the trailing zeros.
std::string RecordName(const char* field, std::size_t size);

// The whole ClamAV database: a header comment, one logical signature per
// variant record and one per marker record that the format can express.
std::string ClamAvDatabase();

// The whole YARA rule file: a header comment, the pe module import, one rule per
// variant record and one per marker record that the format can express.
std::string YaraRules();
