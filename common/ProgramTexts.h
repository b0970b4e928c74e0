#pragma once

#include "common/Version.h"

// The program's own texts that more than one place shows, sends or looks for:
// the program, its questions and notices, and the report lines several
// detection paths send.

// The program's title: main window title, key of the single-instance check,
// default title of the message dialog and title of the engine's questions.
// scripts/demo.sh reads it from here to find the window.
inline constexpr char PROGRAM_TITLE[] = "Quellor Ver 1.0";

// The title is a fixed text that other programs look for; it names the version
// of common/Version.h, and a new version must change both.
constexpr bool TitleNamesVersion(const char* title, const char* version) {
  const char prefix[] = "Quellor Ver ";
  for (const char* p = prefix; *p != '\0'; ++p, ++title) {
    if (*title != *p) return false;
  }
  for (; *version != '\0'; ++version, ++title) {
    if (*title != *version) return false;
  }
  return *title == '\0';
}
static_assert(TitleNamesVersion(PROGRAM_TITLE, QUELLOR_VERSION_TEXT),
              "PROGRAM_TITLE must name the version of common/Version.h");

// The trojan family this program removes, as it appears in texts.
inline constexpr char FAMILY_NAME[] = "W32/Veltrix";
// The family's base detection name: the handler's name, and the name used in
// memory-find and registry report lines.
inline constexpr char BASE_DETECTION_NAME[] = "W32/Veltrix.Trojan";

// Asked before a running scan stops (CANCEL, the close box, Esc in the walk).
inline constexpr char STOP_QUESTION[] = "Terminate the Scan now?";
// The title of the stop question the close box asks.
inline constexpr char CLOSE_BOX_TITLE[] = "DialogBoxTitle";
// Asked at the end of a scan that scheduled a deletion for the next restart.
inline constexpr char RESTART_QUESTION[] =
    "The system has to be restarted to remove the virus completely from your system. \n\n Restart now?";
// Shown when the memory sweep found the trojan running on the NT family.
inline constexpr char FOUND_IN_MEMORY_NOTICE[] =
    "W32/Veltrix.Trojan found in memory! registry entries created by the worm are removed. You must restart "
    "the computer and run this program to continue scanning.\n\nRestart the computer now?";

// The first line of the closing statistics.
inline constexpr char STATISTICS_HEADING[] = "Scanning statistics";
// The line for a deleted infected file: its path and detection name.
inline constexpr char REPORT_FILE_REMOVED[] = "%s     %s removed";
