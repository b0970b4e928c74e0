#include "tests/app/AppUiFixture.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "tests/support/ChildProcess.h"
#include "tests/support/ScreenPixels.h"

namespace {

constexpr char SUITE_KEY[] = "Software\\Halvex\\Calvorin 2000";
constexpr char SUITE_PARENT_KEY[] = "Software\\Halvex";
constexpr char SUITE_VALUE[] = "Installed Folder";
constexpr char TEMPLATE_TEXT[] = "Static";
constexpr char BULK_FOLDER[] = "D:\\quellor-tests\\ui-bulk";
// How long the program's thread must use no processor time to count as idle.
constexpr DWORD IDLE_QUIET_MS = 200;

}  // namespace

std::string QuellorPath(const char* name) { return OwnExecutableFolder() + "\\" + name; }

void SetSuiteInstalled(bool installed) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, SUITE_KEY);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, SUITE_PARENT_KEY);
  if (!installed) return;
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, SUITE_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  const char folder[] = "C:\\Program Files\\Calvorin";
  RegSetValueExA(key, SUITE_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder);
  RegCloseKey(key);
}

TempTree* AppUi::bulk_ = nullptr;

void AppUi::SetUpTestSuite() {
  bulk_ = new TempTree(BULK_FOLDER);
  for (int i = 0; i < BULK_FILES; ++i) bulk_->File("f" + std::to_string(i) + ".txt", "");
}

void AppUi::TearDownTestSuite() {
  delete bulk_;
  bulk_ = nullptr;
}

void AppUi::SetUp() {
  SetSuiteInstalled(false);
  ASSERT_TRUE(MoveMouse(MOUSE_PARKING)) << "the mouse pointer could not be moved out of the way";
}

void AppUi::TearDown() {
  program_.Kill();
  SetSuiteInstalled(false);
  MoveMouse(MOUSE_PARKING);
}

namespace {

// True once the window is active and its focus has not moved for a while.
bool InputHoldsStill(HWND window) {
  constexpr DWORD STILL_MS = 600;
  constexpr DWORD POLL_MS = 20;
  GUITHREADINFO last = {};
  DWORD stillFor = 0;
  for (DWORD waited = 0; waited < START_MS; waited += POLL_MS) {
    const GUITHREADINFO input = ThreadInput(window);
    const bool active = input.hwndActive == window && input.hwndFocus != nullptr;
    const bool same = input.hwndActive == last.hwndActive && input.hwndFocus == last.hwndFocus;
    stillFor = active && same ? stillFor + POLL_MS : 0;
    if (stillFor >= STILL_MS) return true;
    last = input;
    Sleep(POLL_MS);
  }
  return false;
}

}  // namespace

void AppUi::Start(const char* name) {
  ASSERT_TRUE(program_.Start(QuellorPath(name), OwnExecutableFolder())) << QuellorPath(name);
  main_ = WaitForVisibleWindow(program_, PROGRAM_TITLE, START_MS);
  ASSERT_NE(nullptr, main_) << "the main window did not appear";
  // Shown is not yet settled: under Wine the activation that the X server's
  // focus brings can come after the window appears, and it hands the focus to
  // the dialog's first tab stop, away from a button the mouse has just lit.
  // Tests start once the window is active and its focus has held still.
  ASSERT_TRUE(InputHoldsStill(main_)) << "the main window did not become active and settle";
}

void AppUi::ExpectState(const std::vector<Expected>& table, const char* state) {
  for (const Expected& e : table) {
    SCOPED_TRACE(std::string(state) + ": control " + std::to_string(e.id));
    const ControlState control = ReadControl(main_, e.id);
    ASSERT_TRUE(control.exists) << state << ": control " << e.id;
    if (e.shown != ANY) {
      EXPECT_EQ(e.shown == 1, control.shown) << state << ": control " << e.id << " shown";
    }
    if (e.enabled != ANY) {
      EXPECT_EQ(e.enabled == 1, control.enabled) << state << ": control " << e.id << " enabled";
    }
  }
}

std::string AppUi::Text(int id) { return ReadControl(main_, id).text; }

void AppUi::StartScan() {
  ASSERT_TRUE(Click(main_, SCAN));
  ASSERT_TRUE(WaitUntil(program_, STEP_MS, [&] { return Text(STATUS_LINE) != TEMPLATE_TEXT; }))
      << "the walk did not start";
}

MessageDialog AppUi::AskToStopWith(int id) {
  EXPECT_TRUE(Click(main_, id)) << "control " << id;
  MessageDialog question = WaitForMessageDialog(program_, main_, STEP_MS);
  EXPECT_NE(nullptr, question.window) << "no question after control " << id;
  EXPECT_EQ(STOP_QUESTION, question.text);
  EXPECT_EQ((std::vector<int>{IDYES, IDNO}), question.buttons);
  return question;
}

void AppUi::WaitForTheEnd() {
  ASSERT_TRUE(WaitUntil(program_, SCAN_MS, [&] { return !ReadControl(main_, SEARCHING).shown; }))
      << "the scan did not end";
  ASSERT_NO_FATAL_FAILURE(ExpectTheStatusLinePainted());
}

// The screen shows the status line's final text: what it shows once the
// program has painted all it had to paint is what a fresh paint of the
// control draws. The last paints come with later turns of the program's
// message loop, and a slow machine shows the gap: the look waits until the
// program's thread is idle and the screen holds still. A text that was never
// handed to a paint leaves the old one standing, and is still caught.
void AppUi::ExpectTheStatusLinePainted() {
  HWND status = GetDlgItem(main_, STATUS_LINE);
  RECT area;
  ASSERT_TRUE(GetWindowRect(status, &area));
  ASSERT_TRUE(WaitUntilThreadIdle(program_, main_, IDLE_QUIET_MS, STEP_MS)) << "the program did not come to rest";
  PixelImage shown = CaptureScreen(area);
  ASSERT_FALSE(shown.Empty());
  ASSERT_TRUE(WaitUntil(program_, STEP_MS, [&] {
    Sleep(IDLE_QUIET_MS);  // the pause between two looks at the screen
    PixelImage now = CaptureScreen(area);
    const bool still = CountDifferences(now, POINT{0, 0}, shown) == 0;
    shown = std::move(now);
    return still;
  })) << "the status line kept changing";
  RedrawWindow(status, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  ASSERT_TRUE(WaitForPostedMessages(program_, GetDlgItem(main_, REPORT_LIST), STEP_MS));
  ASSERT_TRUE(WaitUntilThreadIdle(program_, main_, IDLE_QUIET_MS, STEP_MS)) << "the program did not come to rest";
  const PixelImage painted = CaptureScreen(area);
  const int differences = CountDifferences(painted, POINT{0, 0}, shown);
  EXPECT_EQ(0, differences) << "status line: " << Text(STATUS_LINE);
  if (differences != 0) {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '-');  // a parameterised test's name
    EXPECT_TRUE(SaveScreenshot(shown, "status-line-shown-" + test));
    EXPECT_TRUE(SaveScreenshot(painted, "status-line-repainted-" + test));
  }
}

void AppUi::ExpectTerminated() {
  ASSERT_NO_FATAL_FAILURE(WaitForTheEnd());
  EXPECT_EQ("Scanning terminated", Text(STATUS_LINE));
}

std::vector<std::string> AppUi::ReportLines() { return ReadListLines(GetDlgItem(main_, REPORT_LIST)); }

long AppUi::ExpectStatisticsAtTheEnd() {
  const std::vector<std::string> lines = ReportLines();
  EXPECT_GE(lines.size(), 5u);
  if (lines.size() < 5) return 0;
  const std::size_t at = lines.size() - 5;
  const std::string scanned = "Total files scanned\t\t:  ";
  EXPECT_EQ("Scanning statistics", lines[at]);
  EXPECT_EQ("------------------------------", lines[at + 1]);
  EXPECT_EQ(0u, lines[at + 2].find(scanned)) << lines[at + 2];
  EXPECT_EQ("Total files infected\t\t:  0", lines[at + 3]);
  EXPECT_EQ("Total files removed\t\t:  0", lines[at + 4]);
  return std::strtol(lines[at + 2].c_str() + scanned.size(), nullptr, 10);
}

void AppUi::ExpectProgramEnds() { EXPECT_EQ(0u, program_.WaitForExit(STEP_MS)) << "the program did not end"; }
