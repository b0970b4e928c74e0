// Writes the seed corpus of the fuzz targets: samples of the smaller variant
// records and their decoys, and a text file carrying the worm marker; or,
// given a target's name first, the hand-made seeds of that target.
#include <string>

#include "TextSeeds.h"
#include "tools/samplemaker/SampleMaker.h"

int main(int argc, char** argv) {
  if (argc == 3) return WriteTextSeeds(argv[1], argv[2]) ? 0 : 1;
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  int written = 0;
  for (int row = 0; row < VARIANT_COUNT; ++row) {
    if (variantTable[row].fileSize > 80000) continue;
    const std::string stem = folder + "/row" + std::to_string(row + 1);
    written += WriteSample(variantTable[row], SampleKind::Match, stem + ".exe");
    written += WriteSample(variantTable[row], SampleKind::WindowByteChanged, stem + "-window.exe", 2);
    written += WriteSample(variantTable[row], SampleKind::TruncatedHeaders, stem + "-cut.exe");
  }
  written += WriteMarkerFile(folder + "/marker.txt");
  return written > 0 ? 0 : 1;
}
