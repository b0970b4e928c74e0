#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/PathRules.h"

// Width of the status text: a longer path shows its first and last 29 characters.
inline constexpr int16_t STATUS_WIDTH = 60;

// Runs one scan: memory sweep, walk of scanState.scanTarget, statistics block,
// final status and, when a deletion waits for a restart, the restart question.
// Returns 1. Runs on the user-interface thread and pumps its messages.
int RunScan();

// Walks one search spec ("<folder>\*.*", or in sweep mode the path of one file):
// the files of the folder first, then its sub-folders, depth first. Returns
// filesScanned when done, 0 when stopped, -1 when a spec holds no ".".
int32_t WalkFolder(const char* spec);

// Handles at most one pending message of the thread: Escape asks whether to stop,
// WM_QUIT and WM_DESTROY stop the scan, anything else is dispatched.
void PumpOneMessage();
