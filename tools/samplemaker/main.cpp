// quellor-sample: writes harmless sample files that the variant table
// recognises, for tests and the demo machine.
//
//   quellor-sample <row 1-60> <output file> [match|window1|window2|notpe|truncated]
//   quellor-sample --marker <output file>
//   quellor-sample --list
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/samplemaker/SampleMaker.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: quellor-sample <row 1-%d> <output file> [match|window1|window2|notpe|truncated]\n"
               "       quellor-sample --marker <output file>\n"
               "       quellor-sample --list\n",
               VARIANT_COUNT);
  return 2;
}

int CannotWrite(const char* path) {
  std::fprintf(stderr, "quellor-sample: cannot write %s\n", path);
  return 1;
}

bool ParseKind(const char* text, SampleKind& kind, int& window) {
  window = 1;
  if (std::strcmp(text, "match") == 0) kind = SampleKind::Match;
  else if (std::strcmp(text, "window1") == 0) kind = SampleKind::WindowByteChanged;
  else if (std::strcmp(text, "window2") == 0) {
    kind = SampleKind::WindowByteChanged;
    window = 2;
  } else if (std::strcmp(text, "notpe") == 0) kind = SampleKind::NotPe;
  else if (std::strcmp(text, "truncated") == 0) kind = SampleKind::TruncatedHeaders;
  else return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (int row = 0; row < VARIANT_COUNT; ++row)
      std::printf("%2d  %-26s %9u bytes\n", row + 1, variantTable[row].name, variantTable[row].fileSize);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--marker") == 0) {
    return WriteMarkerFile(argv[2]) ? 0 : CannotWrite(argv[2]);
  }
  if (argc != 3 && argc != 4) return Usage();
  char* end = nullptr;
  const long row = std::strtol(argv[1], &end, 10);
  if (*end != '\0' || row < 1 || row > VARIANT_COUNT) return Usage();
  SampleKind kind = SampleKind::Match;
  int window = 1;
  if (argc == 4 && !ParseKind(argv[3], kind, window)) return Usage();
  return WriteSample(variantTable[row - 1], kind, argv[2], window) ? 0 : CannotWrite(argv[2]);
}
