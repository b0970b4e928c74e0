// The real quellor.exe under Wine, driven from this process like a user:
// buttons pressed by click messages, keys posted to the focused window,
// message dialogs answered by their buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/app/AppUiFixture.h"
#include "tests/support/ChildProcess.h"

namespace {

// The state table of the main dialog.
const std::vector<Expected> READY = {
    {SCAN, 1, 1},           {DOWNLOAD, 1, 1},      {CLOSE_BOX, 1, 1},   {CANCEL, 0, ANY},       {DONE, 0, 0},
    {SUITE_LINK, 1, 1},     {UTILITY_LINK, 1, 1},  {LOGO, 1, ANY},      {SUB_TITLE, 1, ANY},    {HEADLINE, 1, ANY},
    {NOTICE, 1, ANY},       {SUITE_LINE, 0, ANY},  {SEARCHING, 0, ANY}, {STATUS_FRAME, 0, ANY}, {STATUS_LINE, 0, ANY},
    {REPORT_FRAME, 0, ANY}, {REPORT_LIST, 0, ANY},
};
const std::vector<Expected> READY_WITH_SUITE = {
    {SCAN, 1, 1},       {DOWNLOAD, 1, 0}, {SUITE_LINK, 0, 0}, {UTILITY_LINK, 1, 1}, {SUITE_LINE, 1, ANY},
    {HEADLINE, 1, ANY}, {NOTICE, 1, ANY}, {CANCEL, 0, ANY},   {DONE, 0, 0},
};
const std::vector<Expected> SCANNING = {
    {SCAN, 1, 0},           {DOWNLOAD, 1, 1},      {CLOSE_BOX, 1, 1},   {CANCEL, 1, 1},         {DONE, 0, 1},
    {SUITE_LINK, 0, 0},     {UTILITY_LINK, 0, 0},  {LOGO, 1, ANY},      {SUB_TITLE, 1, ANY},    {HEADLINE, 0, ANY},
    {NOTICE, 0, ANY},       {SUITE_LINE, 0, ANY},  {SEARCHING, 1, ANY}, {STATUS_FRAME, 1, ANY}, {STATUS_LINE, 1, ANY},
    {REPORT_FRAME, 1, ANY}, {REPORT_LIST, 1, ANY},
};
const std::vector<Expected> DONE_STATE = {
    {SCAN, 1, 0},           {DOWNLOAD, 1, 1},      {CLOSE_BOX, 1, 1},   {CANCEL, 0, ANY},       {DONE, 1, 1},
    {SUITE_LINK, 0, 0},     {UTILITY_LINK, 0, 0},  {LOGO, 1, ANY},      {SUB_TITLE, 1, ANY},    {HEADLINE, 0, ANY},
    {NOTICE, 0, ANY},       {SUITE_LINE, 0, ANY},  {SEARCHING, 0, ANY}, {STATUS_FRAME, 1, ANY}, {STATUS_LINE, 1, ANY},
    {REPORT_FRAME, 1, ANY}, {REPORT_LIST, 1, ANY},
};

TEST_F(AppUi, ReadyWithoutTheSuiteThenXClosesWithoutAQuestion) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(ExpectState(READY, "ready"));
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
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(ExpectState(READY_WITH_SUITE, "ready with the suite"));
  EXPECT_EQ("This program is a part of Calvorin antivirus software.", Text(SUITE_LINE));
  EXPECT_FALSE(Click(main_, DOWNLOAD)) << "a disabled button cannot be pressed";
  ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
  ExpectProgramEnds();
}

TEST_F(AppUi, EnterDoesNothingBeforeOrAfterTheScan) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(PressKey(main_, VK_RETURN));
  ASSERT_TRUE(WaitForPostedMessages(program_, GetDlgItem(main_, REPORT_LIST), STEP_MS));
  EXPECT_TRUE(program_.Running());
  ASSERT_NO_FATAL_FAILURE(StartScan());
  ASSERT_NO_FATAL_FAILURE(WaitForTheEnd());
  ASSERT_TRUE(PressKey(main_, VK_RETURN));
  ASSERT_TRUE(WaitForPostedMessages(program_, GetDlgItem(main_, REPORT_LIST), STEP_MS));
  EXPECT_TRUE(program_.Running());
  EXPECT_TRUE(IsWindowVisible(main_));
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppUi, CancelAnsweredNoLetsTheScanRunToItsEndThenOkCloses) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(StartScan());
  const MessageDialog question = AskToStopWith(CANCEL);
  EXPECT_EQ(PROGRAM_TITLE, question.title);
  // The walk waits for the answer: the dialog is in its scanning state.
  ASSERT_NO_FATAL_FAILURE(ExpectState(SCANNING, "scanning"));
  EXPECT_EQ("Scanning", Text(STATUS_FRAME));
  EXPECT_EQ("Searching for W32/Veltrix Trojan and its variants", Text(SEARCHING));
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));
  EXPECT_TRUE(ReadControl(main_, CANCEL).shown) << "the scan goes on";
  ASSERT_NO_FATAL_FAILURE(WaitForTheEnd());
  ASSERT_NO_FATAL_FAILURE(ExpectState(DONE_STATE, "done"));
  EXPECT_EQ("", Text(STATUS_FRAME));
  EXPECT_EQ("Scanning completed", Text(STATUS_LINE));
  EXPECT_GE(ExpectStatisticsAtTheEnd(), BULK_FILES) << "every fixed drive is walked";
  EXPECT_FALSE(Click(main_, SCAN)) << "one scan per program run";
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppUi, XAnsweredYesStopsTheScanAndShowsOkAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(StartScan());
  const MessageDialog question = AskToStopWith(CLOSE_BOX);
  EXPECT_EQ(CLOSE_BOX_TITLE, question.title);
  ASSERT_TRUE(Answer(program_, question, IDYES, STEP_MS));
  EXPECT_TRUE(WaitUntil(program_, STEP_MS, [&] {
    return ReadControl(main_, DONE).shown && !ReadControl(main_, CANCEL).shown;
  })) << "OK replaces CANCEL";
  ASSERT_NO_FATAL_FAILURE(ExpectTerminated());
  ExpectStatisticsAtTheEnd();
  ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
  ExpectProgramEnds();
}

TEST_F(AppUi, XAnsweredNoThenCancelAnsweredYes) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(StartScan());
  MessageDialog question = AskToStopWith(CLOSE_BOX);
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));
  EXPECT_TRUE(ReadControl(main_, CANCEL).shown);
  question = AskToStopWith(CANCEL);
  EXPECT_EQ(PROGRAM_TITLE, question.title);
  ASSERT_TRUE(Answer(program_, question, IDYES, STEP_MS));
  ASSERT_NO_FATAL_FAILURE(ExpectTerminated());
  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppUi, ClosingFromTheTaskBarDuringAScanAsksAndEscIsTheWalksOwnQuestion) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(StartScan());
  ASSERT_TRUE(PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0));
  MessageDialog question = WaitForMessageDialog(program_, main_, STEP_MS);
  EXPECT_EQ(STOP_QUESTION, question.text);
  EXPECT_EQ(PROGRAM_TITLE, question.title);
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));
  ASSERT_TRUE(PressKey(main_, VK_ESCAPE));
  question = WaitForMessageDialog(program_, main_, STEP_MS);
  EXPECT_EQ(STOP_QUESTION, question.text);
  ASSERT_TRUE(Answer(program_, question, IDYES, STEP_MS));
  ASSERT_NO_FATAL_FAILURE(ExpectTerminated());
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppUi, ASecondStartEndsSilentlyWhileTheFirstRuns) {
  ASSERT_NO_FATAL_FAILURE(Start());
  Program second;
  ASSERT_TRUE(second.Start(QuellorPath(), OwnExecutableFolder()));
  EXPECT_EQ(0u, second.WaitForExit(STEP_MS));
  EXPECT_EQ(1u, WindowsTitled(PROGRAM_TITLE).size());
  EXPECT_TRUE(program_.Running());
  ASSERT_NO_FATAL_FAILURE(ExpectState(READY, "first copy, undisturbed"));
  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppUi, AnyWindowWithTheProgramTitleStopsTheStart) {
  HWND foreign = CreateWindowExA(0, "STATIC", PROGRAM_TITLE, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, foreign);
  ASSERT_TRUE(program_.Start(QuellorPath(), OwnExecutableFolder()));
  EXPECT_EQ(0u, program_.WaitForExit(STEP_MS));
  EXPECT_EQ(nullptr, FindVisibleWindow(program_.Id(), PROGRAM_TITLE));
  DestroyWindow(foreign);
}

// The program, manifest and all, starts and scans under each Windows version
// Wine imitates (the default one is 7): its own start-up, the sweep's and the
// walk's per-family paths.
class AppUiVersions : public AppUi, public ::testing::WithParamInterface<const char*> {};

TEST_P(AppUiVersions, TheProgramStartsScansAndEnds) {
  ASSERT_NO_FATAL_FAILURE(Start(GetParam()));
  ASSERT_NO_FATAL_FAILURE(StartScan());
  ASSERT_NO_FATAL_FAILURE(WaitForTheEnd());
  EXPECT_EQ("Scanning completed", Text(STATUS_LINE));
  EXPECT_GE(ExpectStatisticsAtTheEnd(), BULK_FILES);
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

INSTANTIATE_TEST_SUITE_P(EveryWindows, AppUiVersions,
                         ::testing::Values("quellor_win98.exe", "quellor_nt40.exe", "quellor_winxp.exe"));

}  // namespace
