#pragma once
#include <cstdint>

#include "common/FileByHandle.h"
#include "engine/VariantTable.h"

// The walk's file handler: tests a file against the variant table and, on a
// hit, repairs the startup entries and disposes of the file by the scan's
// disposal choice, reporting the outcome. In sweep mode it only records a hit;
// with pendingChoice set it disposes of a memory find without testing.
// Returns 1 when the file was recognised, else 0.
int32_t DetectAndDispose(const char* detectionName, const char* path);

// What the folder walk's listing said of the file it is handing to the
// handlers: its length, all 64 bits. While it is known, DetectAndDispose opens
// the file only when that length can pass some record's size test; a call
// made outside the walk opens the file whatever its length.
struct ListedFile {
  bool known = false;
  uint64_t length = 0;
};

// What the detection step keeps besides the scan state.
struct DetectionState {
  ListedFile listedFile;          // written by the walk for each file it hands on
  SizeFilter sizeFilter;          // the file lengths worth opening
  bool sizePrefilterOff = false;  // for tests: open every file, as without the prefilter
  uint32_t filesOpened = 0;       // files it has tried to open (for tests and the benchmark)
  FileIdentity sweepFind;         // NT family: the file the sweep's latest check found
  // For tests: called once the file's headers and windows are read, before
  // any action, with the file still held (a test swaps its folder there).
  void (*afterExamination)(const char* path) = nullptr;
};
extern DetectionState detectionState;
void ResetDetectionState();

// Builds the size prefilter from the active variant table; the walk calls it
// as each outermost walk starts.
void PrepareSizeFilter();

// Renames an infected file by its path, marking the letter after the last "."
// (C:\x\a.exe becomes C:\x\a.Vxe), and reports "renamed" or "Rename failed"
// with the path and name. A path without any "." cannot be marked, so its
// rename fails.
void RenameInfectedFile(const char* path, const char* name);
// The report of a rename, counting a renamed file.
void ReportRename(const char* path, const char* name, bool renamed);

// How a detection engine disposes of a file: its own deletion and rename
// (which report), each handed the context, and the words of the line for a
// file left by the user's choice.
struct DisposalWays {
  void (*deleteFile)(void* context, const char* path, const char* name);
  void (*renameFile)(void* context, const char* path, const char* name);
  const char* leftWords;
  void* context;  // what the engine's ways act on (the examined file), or null
};

// Disposes of an infected file by scanState.disposalChoice: rename, delete
// (through ways.deleteFile), or leave it with a line naming currentFile and
// detectionName. An unknown choice does nothing and reports nothing.
void DisposeByChoice(const char* path, const char* name, const DisposalWays& ways);
