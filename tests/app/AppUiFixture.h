#pragma once
// The real quellor.exe under Wine, started and driven from the test program
// like a user: what every test of the running program shares.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/ProgramTexts.h"
#include "common/ResourceIds.h"
#include "tests/support/TestFiles.h"
#include "tools/uidriver/UiDriver.h"

inline constexpr DWORD START_MS = 30 * 1000;
inline constexpr DWORD STEP_MS = 10 * 1000;
inline constexpr DWORD SCAN_MS = 5 * 60 * 1000;
// Empty files on the test drive D:, planted once for all the tests: they keep
// the walk busy for a while.
inline constexpr int BULK_FILES = 1500;

// Short names of the main dialog's controls, for the tests' state tables.
inline constexpr int DONE = IDC_DONE, CANCEL = IDCANCEL, SCAN = IDC_SCAN, DOWNLOAD = IDC_DOWNLOAD;
inline constexpr int CLOSE_BOX = IDC_CLOSE_BOX, STATUS_FRAME = IDC_STATUS_FRAME, STATUS_LINE = IDC_STATUS_LINE;
inline constexpr int SEARCHING = IDC_SEARCHING_LINE, SUB_TITLE = IDC_SUB_TITLE, SUITE_LINE = IDC_SUITE_LINE;
inline constexpr int NOTICE = IDC_NOTICE_LINE, HEADLINE = IDC_HEADLINE, SUITE_LINK = IDC_SUITE_LINK;
inline constexpr int UTILITY_LINK = IDC_UTILITY_LINK, LOGO = IDC_LOGO, REPORT_FRAME = IDC_REPORT_FRAME;
inline constexpr int REPORT_LIST = IDC_REPORT_LIST;

// Where the mouse pointer waits: the screen's top-left corner, away from the
// program's windows, which are centred on the screen.
inline constexpr POINT MOUSE_PARKING = {0, 0};

inline constexpr int ANY = -1;
struct Expected {
  int id;
  int shown;    // 1, 0, or ANY
  int enabled;  // 1, 0, or ANY
};

// The program, or a copy of it under another name (for a per-program Windows
// version), beside the test program.
std::string QuellorPath(const char* name = "quellor.exe");
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

  void Start(const char* name = "quellor.exe");
  void ExpectState(const std::vector<Expected>& table, const char* state);
  std::string Text(int id);
  // Presses SCAN and waits until the walk reports its first file: from then
  // on the walk's own message pump takes every click and key.
  void StartScan();
  // The stop question after a click on id during the walk.
  MessageDialog AskToStopWith(int id);
  // Waits until the scan run has returned; the status line shows its final text.
  void WaitForTheEnd();
  void ExpectTheStatusLinePainted();
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
