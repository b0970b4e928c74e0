#pragma once
#include <cstdint>

// The walk's file handler: tests a file against the variant table and, on a
// hit, repairs the startup entries and disposes of the file by the scan's
// disposal choice, reporting the outcome. In sweep mode it only records a hit;
// with pendingChoice set it disposes of a memory find without testing.
// Returns 1 when the file was recognised, else 0.
int32_t DetectAndDispose(const char* detectionName, const char* path);
