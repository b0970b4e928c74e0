#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/VariantTable.h"
#include "tools/samplemaker/PeWriter.h"

// Harmless PE32 sample files for detection tests and the demo: data laid out so
// that a variant record recognises them, never code that runs.

enum class SampleKind {
  Match,              // the record's size, sections and both signature windows
  WindowByteChanged,  // as Match, with one byte of one window changed
  NotPe,              // the record's size, but no PE signature
  TruncatedHeaders,   // the PE headers cut off inside the optional header
};

struct SampleLayout {
  uint32_t entryPoint = 0;  // AddressOfEntryPoint written to the header
  uint32_t window1 = 0;     // file offsets of the two signature windows
  uint32_t window2 = 0;
  uint16_t sections = 0;
};

// Builds the bytes of a sample for record. Returns false (and leaves bytes
// empty) when no sample of the record's size can hold both windows; window
// selects the window a WindowByteChanged decoy breaks (1 or 2).
bool BuildSample(const VariantRecord& record, SampleKind kind, std::vector<unsigned char>& bytes,
                 SampleLayout* layout = nullptr, int window = 1);

// Builds a sample and writes it to path. False when it cannot be built or written.
bool WriteSample(const VariantRecord& record, SampleKind kind, const std::string& path, int window = 1);

// Writes bytes to path, replacing the file. False on any failure.
bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// Text files for the marker scanner: hosts-like text that begins with "begin"
// and carries the worm's marker, 100 characters without whitespace.
inline constexpr char MARKER_PATTERN_TEXT[] =
    "M475E;&QO<B!T97-T(&UA<FME<CH@:&%R;6QE<W,@=V]R9',@:6X@82!H;W-TM<R!F:6QE+B!.;W1H:6YG(')U;G,@:&5R93L@=&";

// The marker file's text; the marker is split over two lines.
std::string BuildMarkerText();

// Writes BuildMarkerText() to path, replacing the file. False on any failure.
bool WriteMarkerFile(const std::string& path);
