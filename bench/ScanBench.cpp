// scan_bench: how fast the walk examines files, under Wine or on Windows.
//
//   scan_bench.exe [files per kind] [rounds]
//
// Plants a folder of clean files of several kinds (text, small PE images,
// PE images of a variant's exact size whose windows differ, non-PE files of a
// variant's size), walks it with the real detection step a few times, and
// prints the files per second and the time per file. Nothing is deleted: the
// disposal choice leaves files alone, and none of the planted files matches.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

const char kFolder[] = "C:\\quellor-bench";

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) { return WriteBytes(path, bytes); }

int Plant(int perKind) {
  CreateDirectoryA(kFolder, nullptr);
  int planted = 0;
  const std::string text(1500, 'x');
  std::vector<unsigned char> bytes;
  for (int i = 0; i < perKind; ++i) {
    const std::string stem = std::string(kFolder) + "\\f" + std::to_string(i);
    planted += WriteFile(stem + ".txt", std::vector<unsigned char>(text.begin(), text.end()));
    const VariantRecord& record = variantTable[i % VARIANT_COUNT];
    // A variant's size but one window byte changed: the windows are read.
    if (record.fileSize < 300000 && BuildSample(record, SampleKind::WindowByteChanged, bytes))
      planted += WriteFile(stem + "-near.exe", bytes);
    // A variant's size without a PE signature: only the header is read.
    if (record.fileSize < 300000 && BuildSample(record, SampleKind::NotPe, bytes))
      planted += WriteFile(stem + "-notpe.dll", bytes);
    // A small PE image of a size no variant has: headers only, no window.
    VariantRecord odd = record;
    odd.fileSize = 30000 + 512 * static_cast<uint32_t>(i % 7) + 1;
    if (BuildSample(odd, SampleKind::Match, bytes)) planted += WriteFile(stem + "-odd.exe", bytes);
  }
  return planted;
}

void RemovePlanted() {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((std::string(kFolder) + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA((std::string(kFolder) + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(kFolder);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int perKind = argc > 1 ? std::atoi(argv[1]) : 250;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  RemovePlanted();
  const int planted = Plant(perKind);
  scanState.sweepMode = 0;
  scanState.disposalChoice = DISPOSE_LEAVE;
  const std::string spec = std::string(kFolder) + "\\*.*";
  double best = 1e30;
  for (int round = 0; round < rounds; ++round) {
    scanState.filesScanned = 0;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    WalkFolder(spec.c_str());
    QueryPerformanceCounter(&end);
    const double seconds = Seconds(start, end);
    if (seconds < best) best = seconds;
    std::printf("round %d: %d files in %.3f s\n", round + 1, scanState.filesScanned, seconds);
  }
  RemovePlanted();
  const int files = scanState.filesScanned;
  std::printf("planted %d files; best round: %.0f files/s, %.1f us per file; %d infected (expected 0)\n", planted,
              files / best, best * 1e6 / (files > 0 ? files : 1), scanState.filesInfected);
  return scanState.filesInfected == 0 && files == planted ? 0 : 1;
}
