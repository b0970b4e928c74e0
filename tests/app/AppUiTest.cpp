// The real quellor.exe under Wine, driven from this process like a user:
// buttons pressed by click messages, keys posted to the focused window,
// message dialogs answered by their buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"
#include "tools/uidriver/UiDriver.h"

namespace {

constexpr char PROGRAM_TITLE[] = "Quellor Ver 1.0";
constexpr char SUITE_KEY[] = "Software\\Halvex\\Calvorin 2000";
constexpr char SUITE_PARENT_KEY[] = "Software\\Halvex";
constexpr char SUITE_VALUE[] = "Installed Folder";
constexpr char STOP_QUESTION[] = "Terminate the Scan now?";
constexpr char CLOSE_BOX_TITLE[] = "DialogBoxTitle";
constexpr char TEMPLATE_TEXT[] = "Static";
constexpr char BULK_FOLDER[] = "D:\\quellor-tests\\ui-bulk";
constexpr int BULK_FILES = 1500;  // keeps the walk busy for a while
constexpr DWORD START_MS = 30 * 1000;
constexpr DWORD STEP_MS = 10 * 1000;
constexpr DWORD SCAN_MS = 5 * 60 * 1000;

// Control ids of the main dialog.
constexpr int DONE = 1070, CANCEL = 2, SCAN = 1052, DOWNLOAD = 1053, CLOSE_BOX = 1054;
constexpr int STATUS_FRAME = 1064, STATUS_LINE = 1065, SEARCHING = 1076, SUB_TITLE = 1068;
constexpr int SUITE_LINE = 1075, NOTICE = 1072, HEADLINE = 1074, SUITE_LINK = 1077;
constexpr int UTILITY_LINK = 1080, LOGO = 1085, REPORT_FRAME = 1034, REPORT_LIST = 1055;

constexpr int ANY = -1;
struct Expected {
  int id;
  int shown;    // 1, 0, or ANY
  int enabled;  // 1, 0, or ANY
};

// The state table of the main dialog.
const std::vector<Expected> READY = {
    {SCAN, 1, 1},        {DOWNLOAD, 1, 1},  {CLOSE_BOX, 1, 1}, {CANCEL, 0, ANY},    {DONE, 0, 0},
    {SUITE_LINK, 1, 1},  {UTILITY_LINK, 1, 1}, {LOGO, 1, ANY}, {SUB_TITLE, 1, ANY}, {HEADLINE, 1, ANY},
    {NOTICE, 1, ANY},    {SUITE_LINE, 0, ANY}, {SEARCHING, 0, ANY}, {STATUS_FRAME, 0, ANY},
    {STATUS_LINE, 0, ANY}, {REPORT_FRAME, 0, ANY}, {REPORT_LIST, 0, ANY},
};
const std::vector<Expected> READY_WITH_SUITE = {
    {SCAN, 1, 1}, {DOWNLOAD, 1, 0}, {SUITE_LINK, 0, 0}, {UTILITY_LINK, 1, 1}, {SUITE_LINE, 1, ANY},
    {HEADLINE, 1, ANY}, {NOTICE, 1, ANY}, {CANCEL, 0, ANY}, {DONE, 0, 0},
};
const std::vector<Expected> SCANNING = {
    {SCAN, 1, 0},         {DOWNLOAD, 1, 1},     {CLOSE_BOX, 1, 1},  {CANCEL, 1, 1},     {DONE, 0, 1},
    {SUITE_LINK, 0, 0},   {UTILITY_LINK, 0, 0}, {LOGO, 1, ANY},     {SUB_TITLE, 1, ANY}, {HEADLINE, 0, ANY},
    {NOTICE, 0, ANY},     {SUITE_LINE, 0, ANY}, {SEARCHING, 1, ANY}, {STATUS_FRAME, 1, ANY},
    {STATUS_LINE, 1, ANY}, {REPORT_FRAME, 1, ANY}, {REPORT_LIST, 1, ANY},
};
const std::vector<Expected> DONE_STATE = {
    {SCAN, 1, 0},         {DOWNLOAD, 1, 1},     {CLOSE_BOX, 1, 1},  {CANCEL, 0, ANY},   {DONE, 1, 1},
    {SUITE_LINK, 0, 0},   {UTILITY_LINK, 0, 0}, {LOGO, 1, ANY},     {SUB_TITLE, 1, ANY}, {HEADLINE, 0, ANY},
    {NOTICE, 0, ANY},     {SUITE_LINE, 0, ANY}, {SEARCHING, 0, ANY}, {STATUS_FRAME, 1, ANY},
    {STATUS_LINE, 1, ANY}, {REPORT_FRAME, 1, ANY}, {REPORT_LIST, 1, ANY},
};

std::string BinFolder() {
  const std::string own = OwnExecutablePath();
  return own.substr(0, own.find_last_of('\\'));
}

std::string QuellorPath() { return BinFolder() + "\\quellor.exe"; }

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

class AppUi : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bulk_ = new TempTree(BULK_FOLDER);
    for (int i = 0; i < BULK_FILES; ++i) bulk_->File("f" + std::to_string(i) + ".txt", "");
  }
  static void TearDownTestSuite() {
    delete bulk_;
    bulk_ = nullptr;
  }
  void SetUp() override { SetSuiteInstalled(false); }
  void TearDown() override {
    program_.Kill();
    SetSuiteInstalled(false);
  }

  void Start() {
    ASSERT_TRUE(program_.Start(QuellorPath(), BinFolder())) << QuellorPath();
    main_ = WaitForVisibleWindow(program_, PROGRAM_TITLE, START_MS);
    ASSERT_NE(nullptr, main_) << "the main window did not appear";
  }

  void ExpectState(const std::vector<Expected>& table, const char* state) {
    for (const Expected& e : table) {
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

  std::string Text(int id) { return ReadControl(main_, id).text; }

  // Presses SCAN and waits until the walk reports its first file: from then
  // on the walk's own message pump takes every click and key.
  void StartScan() {
    ASSERT_TRUE(Click(main_, SCAN));
    ASSERT_TRUE(WaitUntil(program_, STEP_MS, [&] { return Text(STATUS_LINE) != TEMPLATE_TEXT; }))
        << "the walk did not start";
  }

  // The stop question after a click on id during the walk.
  MessageDialog AskToStopWith(int id) {
    EXPECT_TRUE(Click(main_, id)) << "control " << id;
    MessageDialog question = WaitForMessageDialog(program_, main_, STEP_MS);
    EXPECT_NE(nullptr, question.window) << "no question after control " << id;
    EXPECT_EQ(STOP_QUESTION, question.text);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), question.buttons);
    return question;
  }

  void WaitForTheEnd() {
    ASSERT_TRUE(WaitUntil(program_, SCAN_MS, [&] { return !ReadControl(main_, SEARCHING).shown; }))
        << "the scan did not end";
  }

  // After a confirmed stop: the run ends at its next test of the stop flag.
  void ExpectTerminated() {
    WaitForTheEnd();
    EXPECT_EQ("Scanning terminated", Text(STATUS_LINE));
  }

  std::vector<std::string> ReportLines() { return ReadListLines(GetDlgItem(main_, REPORT_LIST)); }

  // The closing statistics; returns the number of files scanned.
  long ExpectStatisticsAtTheEnd() {
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

  void ExpectProgramEnds() { EXPECT_EQ(0u, program_.WaitForExit(STEP_MS)) << "the program did not end"; }

  static TempTree* bulk_;
  Program program_;
  HWND main_ = nullptr;
};

TempTree* AppUi::bulk_ = nullptr;

TEST_F(AppUi, ReadyWithoutTheSuiteThenXClosesWithoutAQuestion) {
  Start();
  ExpectState(READY, "ready");
  EXPECT_EQ("Quellor Ver 1.0 - Tool to detect and remove all the variants of W32/Veltrix Trojan", Text(HEADLINE));
  EXPECT_EQ("for W32/Veltrix Trojan", Text(SUB_TITLE));
  EXPECT_FALSE(Text(NOTICE).empty());
  RECT rect;
  GetWindowRect(main_, &rect);
  EXPECT_EQ(600, rect.right - rect.left);
  EXPECT_EQ(462, rect.bottom - rect.top);
  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppUi, ReadyWithTheSuiteThenEscCloses) {
  SetSuiteInstalled(true);
  Start();
  ExpectState(READY_WITH_SUITE, "ready with the suite");
  EXPECT_EQ("This program is a part of Calvorin antivirus software.", Text(SUITE_LINE));
  EXPECT_FALSE(Click(main_, DOWNLOAD)) << "a disabled button cannot be pressed";
  ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
  ExpectProgramEnds();
}

TEST_F(AppUi, EnterDoesNothingBeforeOrAfterTheScan) {
  Start();
  ASSERT_TRUE(PressKey(main_, VK_RETURN));
  ASSERT_TRUE(WaitForPostedMessages(program_, GetDlgItem(main_, REPORT_LIST), STEP_MS));
  EXPECT_TRUE(program_.Running());
  StartScan();
  WaitForTheEnd();
  ASSERT_TRUE(PressKey(main_, VK_RETURN));
  ASSERT_TRUE(WaitForPostedMessages(program_, GetDlgItem(main_, REPORT_LIST), STEP_MS));
  EXPECT_TRUE(program_.Running());
  EXPECT_TRUE(IsWindowVisible(main_));
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppUi, CancelAnsweredNoLetsTheScanRunToItsEndThenOkCloses) {
  Start();
  StartScan();
  const MessageDialog question = AskToStopWith(CANCEL);
  EXPECT_EQ(PROGRAM_TITLE, question.title);
  // The walk waits for the answer: the dialog is in its scanning state.
  ExpectState(SCANNING, "scanning");
  EXPECT_EQ("Scanning", Text(STATUS_FRAME));
  EXPECT_EQ("Searching for W32/Veltrix Trojan and its variants", Text(SEARCHING));
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));
  EXPECT_TRUE(ReadControl(main_, CANCEL).shown) << "the scan goes on";
  WaitForTheEnd();
  ExpectState(DONE_STATE, "done");
  EXPECT_EQ("", Text(STATUS_FRAME));
  EXPECT_EQ("Scanning completed", Text(STATUS_LINE));
  EXPECT_GE(ExpectStatisticsAtTheEnd(), BULK_FILES) << "every fixed drive is walked";
  EXPECT_FALSE(Click(main_, SCAN)) << "one scan per program run";
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppUi, XAnsweredYesStopsTheScanAndShowsOkAtOnce) {
  Start();
  StartScan();
  const MessageDialog question = AskToStopWith(CLOSE_BOX);
  EXPECT_EQ(CLOSE_BOX_TITLE, question.title);
  ASSERT_TRUE(Answer(program_, question, IDYES, STEP_MS));
  EXPECT_TRUE(WaitUntil(program_, STEP_MS, [&] {
    return ReadControl(main_, DONE).shown && !ReadControl(main_, CANCEL).shown;
  })) << "OK replaces CANCEL";
  ExpectTerminated();
  ExpectStatisticsAtTheEnd();
  ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
  ExpectProgramEnds();
}

TEST_F(AppUi, XAnsweredNoThenCancelAnsweredYes) {
  Start();
  StartScan();
  MessageDialog question = AskToStopWith(CLOSE_BOX);
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));
  EXPECT_TRUE(ReadControl(main_, CANCEL).shown);
  question = AskToStopWith(CANCEL);
  EXPECT_EQ(PROGRAM_TITLE, question.title);
  ASSERT_TRUE(Answer(program_, question, IDYES, STEP_MS));
  ExpectTerminated();
  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppUi, ClosingFromTheTaskBarDuringAScanAsksAndEscIsTheWalksOwnQuestion) {
  Start();
  StartScan();
  ASSERT_TRUE(PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0));
  MessageDialog question = WaitForMessageDialog(program_, main_, STEP_MS);
  EXPECT_EQ(STOP_QUESTION, question.text);
  EXPECT_EQ(PROGRAM_TITLE, question.title);
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));
  ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
  question = WaitForMessageDialog(program_, main_, STEP_MS);
  EXPECT_EQ(STOP_QUESTION, question.text);
  ASSERT_TRUE(Answer(program_, question, IDYES, STEP_MS));
  ExpectTerminated();
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppUi, ASecondStartEndsSilentlyWhileTheFirstRuns) {
  Start();
  Program second;
  ASSERT_TRUE(second.Start(QuellorPath(), BinFolder()));
  EXPECT_EQ(0u, second.WaitForExit(STEP_MS));
  EXPECT_EQ(1u, WindowsTitled(PROGRAM_TITLE).size());
  EXPECT_TRUE(program_.Running());
  ExpectState(READY, "first copy, undisturbed");
  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppUi, AnyWindowWithTheProgramTitleStopsTheStart) {
  HWND foreign = CreateWindowExA(0, "STATIC", PROGRAM_TITLE, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, foreign);
  ASSERT_TRUE(program_.Start(QuellorPath(), BinFolder()));
  EXPECT_EQ(0u, program_.WaitForExit(STEP_MS));
  EXPECT_EQ(nullptr, FindVisibleWindow(program_.Id(), PROGRAM_TITLE));
  DestroyWindow(foreign);
}

}  // namespace
