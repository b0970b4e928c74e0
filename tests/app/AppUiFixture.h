#pragma once
// The real quellor.exe under Wine, started and driven from the test program
// like a user: what every test of the running program shares.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestFiles.h"
#include "tools/uidriver/UiDriver.h"

inline constexpr char PROGRAM_TITLE[] = "Quellor Ver 1.0";
inline constexpr char STOP_QUESTION[] = "Terminate the Scan now?";
inline constexpr char CLOSE_BOX_TITLE[] = "DialogBoxTitle";
inline constexpr DWORD START_MS = 30 * 1000;
inline constexpr DWORD STEP_MS = 10 * 1000;
inline constexpr DWORD SCAN_MS = 5 * 60 * 1000;
// Empty files on the test drive D:, planted once for all the tests: they keep
// the walk busy for a while.
inline constexpr int BULK_FILES = 1500;

// Control ids of the main dialog.
inline constexpr int DONE = 1070, CANCEL = 2, SCAN = 1052, DOWNLOAD = 1053, CLOSE_BOX = 1054;
inline constexpr int STATUS_FRAME = 1064, STATUS_LINE = 1065, SEARCHING = 1076, SUB_TITLE = 1068;
inline constexpr int SUITE_LINE = 1075, NOTICE = 1072, HEADLINE = 1074, SUITE_LINK = 1077;
inline constexpr int UTILITY_LINK = 1080, LOGO = 1085, REPORT_FRAME = 1034, REPORT_LIST = 1055;

// Where the mouse pointer waits: the screen's top-left corner, away from the
// program's windows, which are centred on the screen.
inline constexpr POINT MOUSE_PARKING = {0, 0};

inline constexpr int ANY = -1;
struct Expected {
  int id;
  int shown;    // 1, 0, or ANY
  int enabled;  // 1, 0, or ANY
};

std::string QuellorPath();
// Makes the maker's suite look installed (its registry value) or absent.
void SetSuiteInstalled(bool installed);

class AppUi : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // Every test starts with the suite absent and the mouse pointer away from
  // where the program's windows appear, so that no button is lit by chance.
  void SetUp() override;
  void TearDown() override;

  void Start();
  void ExpectState(const std::vector<Expected>& table, const char* state);
  std::string Text(int id);
  // Presses SCAN and waits until the walk reports its first file: from then
  // on the walk's own message pump takes every click and key.
  void StartScan();
  // The stop question after a click on id during the walk.
  MessageDialog AskToStopWith(int id);
  void WaitForTheEnd();
  // After a confirmed stop: the run ends at its next test of the stop flag.
  void ExpectTerminated();
  std::vector<std::string> ReportLines();
  // The closing statistics; returns the number of files scanned.
  long ExpectStatisticsAtTheEnd();
  void ExpectProgramEnds();

  static TempTree* bulk_;
  Program program_;
  HWND main_ = nullptr;
};
