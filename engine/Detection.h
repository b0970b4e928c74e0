#pragma once
#include <cstdint>

// The walk's file handler: tests a file against the variant table and, on a
// hit, repairs the startup entries and disposes of the file by the scan's
// disposal choice, reporting the outcome. In sweep mode it only records a hit;
// with pendingChoice set it disposes of a memory find without testing.
// Returns 1 when the file was recognised, else 0.
int32_t DetectAndDispose(const char* detectionName, const char* path);

// Renames an infected file by marking the letter after the last "." of its
// path (C:\x\a.exe becomes C:\x\a.Vxe) and reports "renamed" or "Rename
// failed" with the path and name. A path without any "." cannot be marked, so
// its rename fails.
void RenameInfectedFile(const char* path, const char* name);

// How a detection engine disposes of a file: its own deletion (which reports)
// and the words of the line for a file left by the user's choice.
struct DisposalWays {
  void (*deleteFile)(const char* path, const char* name);
  const char* leftWords;
};

// Disposes of an infected file by scanState.disposalChoice: rename, delete
// (through ways.deleteFile), or leave it with a line naming currentFile and
// detectionName. An unknown choice does nothing and reports nothing.
void DisposeByChoice(const char* path, const char* name, const DisposalWays& ways);
