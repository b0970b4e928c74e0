// What the running quellor.exe shows on the screen: buttons lit and darkened
// by real mouse moves, and the main window in each of its states, read back
// from the screen pixel by pixel and compared with the program's own pictures.
// With QUELLOR_SCREENSHOTS naming a folder, the states are saved there.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/app/AppUiFixture.h"
#include "tests/support/HelpViewer.h"
#include "tests/support/ScreenPixels.h"

namespace {

constexpr COLORREF TITLE_BAND = RGB(2, 77, 246);
constexpr COLORREF BODY = RGB(207, 233, 254);
// The skin: the window's visible shape.
constexpr int SKIN_WIDTH = 527;
constexpr int SKIN_HEIGHT = 338;

// Client points where the skin shows, no control in front of it.
constexpr POINT BAND_LEFT = {10, 45};
constexpr POINT BAND_RIGHT = {515, 45};
constexpr POINT BODY_BETWEEN_BUTTONS = {262, 80};
// Points of the window's rectangle beyond the skin's width and height.
constexpr POINT BEYOND_THE_SKIN[] = {{SKIN_WIDTH + 20, 100}, {100, SKIN_HEIGHT + 40}};

// The main dialog's template, in dialog units, and the pixel plan its client
// area is laid onto whatever the dialog font: the skin is drawn for the plan.
constexpr double TEMPLATE_WIDTH = 349;
constexpr double TEMPLATE_HEIGHT = 209;
constexpr double PLAN_WIDTH = 600;
constexpr double PLAN_HEIGHT = 337;
// Dialog units become pixels and pixels are scaled, each step truncating.
constexpr double PLAN_TOLERANCE = 2;

struct TemplateRect {
  int id;
  int x, y, width, height;
  bool sizedByPicture;  // a bitmap button takes its picture's size
};

const TemplateRect MAIN_TEMPLATE[] = {
    {DONE, 128, 177, 50, 14, true},         {CANCEL, 128, 177, 50, 14, true},
    {SCAN, 11, 40, 76, 16, true},           {DOWNLOAD, 189, 40, 97, 16, true},
    {CLOSE_BOX, 290, 3, 10, 10, true},      {STATUS_FRAME, 16, 81, 276, 29, false},
    {STATUS_LINE, 18, 93, 264, 11, false},  {SEARCHING, 16, 70, 268, 11, false},
    {SUB_TITLE, 31, 25, 244, 11, false},    {SUITE_LINE, 6, 136, 292, 10, false},
    {NOTICE, 6, 103, 292, 11, false},       {HEADLINE, 9, 71, 290, 14, false},
    {SUITE_LINK, 61, 133, 85, 7, true},     {UTILITY_LINK, 77, 177, 54, 6, true},
    {LOGO, 277, 174, 38, 10, true},         {REPORT_FRAME, 16, 111, 276, 58, false},
    {REPORT_LIST, 17, 117, 273, 51, false},
};

struct PictureAt {
  int id;
  const char* picture;    // bitmap resource of quellor.exe
  HWND dialog = nullptr;  // the control's dialog; the main window when null
};

struct ColourAt {
  POINT client;
  COLORREF colour;
};

// What the window is expected to show: button pictures and skin colours.
struct Look {
  std::vector<PictureAt> pictures;
  std::vector<ColourAt> colours;
};

const std::vector<ColourAt> SKIN_COLOURS = {
    {BAND_LEFT, TITLE_BAND}, {BAND_RIGHT, TITLE_BAND}, {BODY_BETWEEN_BUTTONS, BODY}};

class AppLook : public AppUi {
 protected:
  static void SetUpTestSuite() {
    AppUi::SetUpTestSuite();
    pictures_ = LoadLibraryExA(QuellorPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (pictures_) FreeLibrary(pictures_);
    pictures_ = nullptr;
    AppUi::TearDownTestSuite();
  }
  void SetUp() override {
    AppUi::SetUp();
    ASSERT_NE(nullptr, pictures_) << "the program's pictures cannot be read from " << QuellorPath();
  }

  // The visible window: the box of its region, from the window's corner.
  PixelImage Shot() {
    RECT window = {};
    GetWindowRect(main_, &window);
    return CaptureScreen(RECT{window.left, window.top, window.left + SKIN_WIDTH, window.top + SKIN_HEIGHT});
  }

  // Where a screen point lies in a shot.
  POINT InShot(POINT screen) {
    RECT window = {};
    GetWindowRect(main_, &window);
    return POINT{screen.x - window.left, screen.y - window.top};
  }

  POINT ClientInShot(POINT client) {
    ClientToScreen(main_, &client);
    return InShot(client);
  }

  POINT ClientToScreenPoint(POINT client) {
    ClientToScreen(main_, &client);
    return client;
  }

  // Pixels of the control's area that differ from its picture.
  int Mismatch(const PixelImage& shot, const PictureAt& expected) {
    const PixelImage picture = LoadMappedPicture(pictures_, expected.picture);
    if (picture.Empty()) return -1;
    RECT control = {};
    GetWindowRect(GetDlgItem(expected.dialog ? expected.dialog : main_, expected.id), &control);
    return CountDifferences(shot, InShot(POINT{control.left, control.top}), picture,
                            SIZE{control.right - control.left, control.bottom - control.top});
  }

  bool Matches(const PixelImage& shot, const Look& look) {
    for (const PictureAt& expected : look.pictures)
      if (Mismatch(shot, expected) != 0) return false;
    for (const ColourAt& expected : look.colours) {
      const POINT at = ClientInShot(expected.client);
      if (shot.At(at.x, at.y) != expected.colour) return false;
    }
    return true;
  }

  // The screen shows what the program painted a little later: waits until
  // the window looks as expected, and says what differs when it never does.
  ::testing::AssertionResult ShowsLook(const Look& look, PixelImage& shot) {
    if (WaitUntil(program_, STEP_MS, [&] { return Matches(shot = Shot(), look); }))
      return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    for (const PictureAt& expected : look.pictures)
      failure << "control " << expected.id << ": " << Mismatch(shot, expected) << " pixels differ from "
              << expected.picture << "; ";
    for (const ColourAt& expected : look.colours) {
      const POINT at = ClientInShot(expected.client);
      failure << "client " << expected.client.x << "," << expected.client.y << ": " << ColourText(shot.At(at.x, at.y))
              << " for " << ColourText(expected.colour) << "; ";
    }
    return failure;
  }

  ::testing::AssertionResult ShowsLook(const Look& look) {
    PixelImage shot;
    return ShowsLook(look, shot);
  }

  // The window is cut to the skin: its region is the skin's rectangle and
  // the rest of the window's rectangle lets the mouse through.
  void ExpectTheSkinsShape() {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(SIMPLEREGION, GetWindowRgn(main_, region));
    RECT box = {};
    GetRgnBox(region, &box);
    DeleteObject(region);
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(0, box.top);
    EXPECT_EQ(SKIN_WIDTH, box.right);
    EXPECT_EQ(SKIN_HEIGHT, box.bottom);
    RECT window = {};
    GetWindowRect(main_, &window);
    for (const POINT& beyond : BEYOND_THE_SKIN) {
      HWND found = WindowFromPoint(POINT{window.left + beyond.x, window.top + beyond.y});
      EXPECT_NE(main_, GetAncestor(found, GA_ROOT)) << "window point " << beyond.x << "," << beyond.y;
    }
    EXPECT_EQ(main_, GetAncestor(WindowFromPoint(ClientToScreenPoint(BODY_BETWEEN_BUTTONS)), GA_ROOT));
  }

  // Waits until the thread of window has the keyboard focus and the mouse
  // capture where expected: the program takes each mouse move a little later.
  ::testing::AssertionResult InputSettles(HWND window, HWND focus, HWND capture) {
    GUITHREADINFO input = {};
    if (WaitUntil(program_, STEP_MS, [&] {
          input = ThreadInput(window);
          return input.hwndFocus == focus && input.hwndCapture == capture;
        }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "focus " << GetDlgCtrlID(input.hwndFocus) << " for " << GetDlgCtrlID(focus)
                                         << ", capture " << GetDlgCtrlID(input.hwndCapture) << " for "
                                         << GetDlgCtrlID(capture);
  }

  // The mouse pointer onto the button: it lights up (which also tells that
  // the program has taken the move), and the cursor it shows then.
  HCURSOR CursorOver(int id, const char* base) {
    EXPECT_TRUE(MoveMouse(ControlCentre(main_, id))) << base;
    EXPECT_TRUE(ShowsLook({{{id, (std::string(base) + "_FOCUS").c_str()}}, {}})) << base;
    return CurrentCursor();
  }

  // The pointer onto the skin between SCAN and DOWNLOAD, after the button
  // that was lit has gone dark: the dialog's own cursor.
  HCURSOR CursorOverTheSkin(int litId, const char* litBase) {
    EXPECT_TRUE(MoveMouse(ClientToScreenPoint(BODY_BETWEEN_BUTTONS)));
    EXPECT_TRUE(ShowsLook({{{litId, (std::string(litBase) + "_NOTFOCUS").c_str()}}, {}})) << litBase;
    return CurrentCursor();
  }

  static HCURSOR CurrentCursor() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? info.hCursor : nullptr;
  }

  void Save(const PixelImage& shot, const char* name) { EXPECT_TRUE(SaveScreenshot(shot, name)) << name; }

  static HMODULE pictures_;
};

HMODULE AppLook::pictures_ = nullptr;

TEST_F(AppLook, TheRealMouseLightsOneButtonAfterAnotherAndTheFocusStaysWhenItLeaves) {
  ASSERT_NO_FATAL_FAILURE(Start());
  HWND scan = GetDlgItem(main_, SCAN);
  HWND download = GetDlgItem(main_, DOWNLOAD);

  ASSERT_TRUE(MoveMouse(ControlCentre(main_, SCAN)));
  EXPECT_TRUE(ShowsLook({{{SCAN, "SCAN_FOCUS"}, {DOWNLOAD, "DOWNLOAD_NOTFOCUS"}}, {}}));
  // The lit button takes the focus, and the mouse capture to notice the
  // mouse leaving.
  EXPECT_TRUE(InputSettles(main_, scan, scan));

  // Straight onto DOWNLOAD: SCAN, holding the capture, sees the mouse leave.
  ASSERT_TRUE(MoveMouse(ControlCentre(main_, DOWNLOAD)));
  EXPECT_TRUE(ShowsLook({{{SCAN, "SCAN_NOTFOCUS"}, {DOWNLOAD, "DOWNLOAD_FOCUS"}}, {}}));
  EXPECT_TRUE(InputSettles(main_, download, download));

  // Off both, onto the skin between them: dark, and the focus stays.
  ASSERT_TRUE(MoveMouse(ClientToScreenPoint(BODY_BETWEEN_BUTTONS)));
  EXPECT_TRUE(ShowsLook({{{SCAN, "SCAN_NOTFOCUS"}, {DOWNLOAD, "DOWNLOAD_NOTFOCUS"}}, {}}));
  EXPECT_TRUE(InputSettles(main_, download, nullptr)) << "the keyboard focus stays while the picture goes dark";

  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppLook, EveryControlStandsWhereThePixelPlanPutsIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (const TemplateRect& t : MAIN_TEMPLATE) {
    SCOPED_TRACE("control " + std::to_string(t.id));
    RECT rect = {};
    GetWindowRect(GetDlgItem(main_, t.id), &rect);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
    const double horizontal = PLAN_WIDTH / TEMPLATE_WIDTH;
    const double vertical = PLAN_HEIGHT / TEMPLATE_HEIGHT;
    EXPECT_NEAR(t.x * horizontal, rect.left, PLAN_TOLERANCE) << "control " << t.id << " left";
    EXPECT_NEAR(t.y * vertical, rect.top, PLAN_TOLERANCE) << "control " << t.id << " top";
    if (t.sizedByPicture) continue;
    EXPECT_NEAR((t.x + t.width) * horizontal, rect.right, PLAN_TOLERANCE) << "control " << t.id << " right";
    EXPECT_NEAR((t.y + t.height) * vertical, rect.bottom, PLAN_TOLERANCE) << "control " << t.id << " bottom";
  }
  ASSERT_TRUE(Click(main_, CLOSE_BOX));
  ExpectProgramEnds();
}

TEST_F(AppLook, WithTheHelpViewersHandEveryButtonButTheLogoShowsItsOwnCopy) {
  PlantedHelpViewer viewer("quellor.exe");
  ASSERT_TRUE(viewer.planted());
  ASSERT_NO_FATAL_FAILURE(Start());
  const HCURSOR overLogo = CursorOver(LOGO, "HALVEXLOGO");
  const HCURSOR arrow = CursorOverTheSkin(LOGO, "HALVEXLOGO");
  ASSERT_NE(nullptr, arrow);
  EXPECT_EQ(arrow, overLogo) << "the logo keeps the arrow";

  struct Hand {
    int id;
    const char* base;
  };
  // CANCEL shows only while a scan runs, which does not wait for the mouse.
  const Hand ready[] = {
      {SCAN, "SCAN"}, {DOWNLOAD, "DOWNLOAD"}, {CLOSE_BOX, "X"}, {SUITE_LINK, "DLINK"}, {UTILITY_LINK, "ULINK"}};
  std::set<HCURSOR> copies;
  for (const Hand& hand : ready) {
    const HCURSOR cursor = CursorOver(hand.id, hand.base);
    EXPECT_NE(nullptr, cursor) << hand.base;
    EXPECT_NE(arrow, cursor) << hand.base << " shows the hand";
    copies.insert(cursor);
    EXPECT_EQ(arrow, CursorOverTheSkin(hand.id, hand.base)) << "off " << hand.base;
  }
  ASSERT_NO_FATAL_FAILURE(StartScan());
  ASSERT_NO_FATAL_FAILURE(WaitForTheEnd());
  const HCURSOR overOk = CursorOver(DONE, "OK");
  EXPECT_NE(arrow, overOk) << "OK shows the hand";
  copies.insert(overOk);
  EXPECT_EQ(6u, copies.size()) << "each button holds its own copy of the hand";
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

TEST_F(AppLook, ReadyScanningAndDoneAsTheUserSeesThem) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(ExpectTheSkinsShape());
  PixelImage shot;
  // Ready: SCAN, the first tab stop, holds the keyboard focus and is lit.
  EXPECT_TRUE(ShowsLook({{{SCAN, "SCAN_FOCUS"},
                          {DOWNLOAD, "DOWNLOAD_NOTFOCUS"},
                          {CLOSE_BOX, "X_NOTFOCUS"},
                          {SUITE_LINK, "DLINK_NOTFOCUS"},
                          {UTILITY_LINK, "ULINK_NOTFOCUS"},
                          {LOGO, "HALVEXLOGO_NOTFOCUS"}},
                         SKIN_COLOURS},
                        shot));
  Save(shot, "ready");

  // Scanning, caught while the stop question is open: the walk waits for it.
  // The question's first button, YES, holds its focus and is lit. (CANCEL,
  // just below the question, is partly covered by it.)
  ASSERT_NO_FATAL_FAILURE(StartScan());
  const MessageDialog question = AskToStopWith(CANCEL);
  ASSERT_NO_FATAL_FAILURE(ExpectTheSkinsShape());
  EXPECT_TRUE(ShowsLook({{{SCAN, "SCAN_DISABLE"},
                          {DOWNLOAD, "DOWNLOAD_NOTFOCUS"},
                          {CLOSE_BOX, "X_NOTFOCUS"},
                          {LOGO, "HALVEXLOGO_NOTFOCUS"},
                          {IDYES, "YES_FOCUS", question.window},
                          {IDNO, "NO_NOTFOCUS", question.window}},
                         SKIN_COLOURS},
                        shot));
  Save(shot, "scanning");
  // The question's buttons light up under the real mouse too.
  ASSERT_TRUE(MoveMouse(ControlCentre(question.window, IDNO)));
  EXPECT_TRUE(ShowsLook({{{IDYES, "YES_NOTFOCUS", question.window}, {IDNO, "NO_FOCUS", question.window}}, {}}));
  EXPECT_TRUE(InputSettles(question.window, GetDlgItem(question.window, IDNO), GetDlgItem(question.window, IDNO)));
  ASSERT_TRUE(MoveMouse(MOUSE_PARKING));
  EXPECT_TRUE(ShowsLook({{{IDNO, "NO_NOTFOCUS", question.window}}, {}}));
  ASSERT_TRUE(Answer(program_, question, IDNO, STEP_MS));

  // Done: OK in CANCEL's place. CANCEL held the focus when it was hidden;
  // the dialog hands it on to its first enabled tab stop left, DOWNLOAD.
  ASSERT_NO_FATAL_FAILURE(WaitForTheEnd());
  EXPECT_TRUE(ShowsLook({{{SCAN, "SCAN_DISABLE"},
                          {DONE, "OK_NOTFOCUS"},
                          {DOWNLOAD, "DOWNLOAD_FOCUS"},
                          {CLOSE_BOX, "X_NOTFOCUS"},
                          {LOGO, "HALVEXLOGO_NOTFOCUS"}},
                         SKIN_COLOURS},
                        shot));
  EXPECT_TRUE(InputSettles(main_, GetDlgItem(main_, DOWNLOAD), nullptr));
  Save(shot, "done");
  ASSERT_TRUE(Click(main_, DONE));
  ExpectProgramEnds();
}

}  // namespace
