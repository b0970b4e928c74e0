#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "common/Text.h"

// Notifications from the engine to the main dialog, sent synchronously with both
// parameters 0. Their numbers are those of WM_ENABLE and WM_SETREDRAW on
// purpose, and the main dialog handles them as its own messages: the platform's
// own WM_ENABLE, sent whenever a modal dialog disables the main one, then only
// shows the status text again.
inline constexpr UINT WM_SCAN_STATUS = 0x000A;  // currentFile changed
inline constexpr UINT WM_SCAN_LINE = 0x000B;    // reportLine holds a new line
static_assert(WM_SCAN_STATUS == WM_ENABLE && WM_SCAN_LINE == WM_SETREDRAW);

// What to do with an infected file.
inline constexpr int32_t DISPOSE_DELETE = 100;
inline constexpr int32_t DISPOSE_RENAME = 101;
inline constexpr int32_t DISPOSE_REMOVE = 102;  // the same as DISPOSE_DELETE
inline constexpr int32_t DISPOSE_LEAVE = 103;

// scanTarget meaning "every fixed drive from C: to Z:".
inline constexpr char ALL_FIXED_DRIVES[] = "!:";

inline constexpr std::size_t REPORT_LINE_SIZE = 500;
inline constexpr std::size_t REMOVED_VALUE_NAME_SIZE = 128;

// The one record of the scan, shared by the engine, the repairs, the process
// code and the main dialog. One scan runs per program run; nothing resets it.
struct ScanState {
  HWND notifyWindow = nullptr;             // receives WM_SCAN_STATUS / WM_SCAN_LINE
  char scanTarget[MAX_PATH] = {};          // "!:", a folder path, or empty (no walk)
  int32_t disposalChoice = 0;              // DISPOSE_*
  bool stopRequested = false;              // tested by the walk at every entry
  bool keepList = false;                   // set before the closing lines: never cut them
  char currentFile[MAX_PATH] = {};         // status text
  char detectionName[MAX_PATH] = {};       // name of the latest detection
  char reportLine[REPORT_LINE_SIZE] = {};  // the line being sent
  int32_t filesScanned = 0;
  int32_t filesInfected = 0;
  int32_t filesRenamed = 0;
  int32_t filesRemoved = 0;
  int32_t restartNeeded = 0;  // result of the latest delete-at-restart
  // The memory sweep, the walk and the detection step hand a find on through
  // these four, in this order:
  //  1. SweepMemory sets sweepMode and walks each process image: the walk
  //     takes its spec as that one file, counts nothing and clears
  //     foundInSweep first. The detection step puts the path in
  //     infectedPath; on a match it repairs the startup entries, sets
  //     foundInSweep, keeps infectedPath and disposes of nothing.
  //  2. When foundInSweep is set and the choice disposes, the sweep
  //     terminates the process and walks the image once more with
  //     pendingChoice set to the disposal choice: the detection step then
  //     skips the test, reports the memory find, disposes of the file and
  //     empties infectedPath. The sweep clears pendingChoice again.
  //  3. After the sweep sweepMode is 0: the walk's detection step tests and
  //     disposes at once; infectedPath holds the file only while it is
  //     examined and its startup entries are repaired.
  bool sweepMode = true;                 // memory sweep running: check only, count nothing
  bool foundInSweep = false;             // the sweep's latest walk matched its image
  int32_t pendingChoice = 0;             // non-zero: dispose of a memory find without testing
  char infectedPath[MAX_PATH + 1] = {};  // file under examination
  char programFilesSpec[MAX_PATH] = {};  // "<drive>:\Program Files\*.*" of the current drive
  bool programFilesPending = false;      // that folder exists and may need an extra walk
  bool programFilesEntered = false;      // the walk went into a "\Program Files\" folder
};

extern ScanState scanState;

// Name of the last startup value the autorun scan removed (or tried to remove);
// deleted again from both startup keys at every later detection.
extern char removedValueName[REMOVED_VALUE_NAME_SIZE];

// Puts every piece of the engine's, the repairs' and the process code's state
// back as at program start: the scan state, removedValueName, and what the
// detection step, the PE locator, the marker scanner, the memory sweep and
// the quarantine (its folders of the run) keep. The program runs one
// scan and never calls it; the tests call it before each case.
void ResetScanState();

// Formats into scanState.reportLine (cut to fit) and sends WM_SCAN_LINE.
void SendReportLine(const char* format, ...) TEXT_FORMAT_CHECK(1, 2);
// Sends WM_SCAN_LINE / WM_SCAN_STATUS for what the state already holds.
void NotifyReportLine();
void NotifyStatus();
// Paints the status line and the report list of notifyWindow at once, before
// a wait during which the scan takes no message (the memory find's pause, a
// termination's waits, a service stop's polls): the window shows what the
// program is doing, not what it did before the wait.
void PaintBeforeWait();
// Sets currentFile (cut to fit) and sends WM_SCAN_STATUS.
void SetStatusText(const char* text);
