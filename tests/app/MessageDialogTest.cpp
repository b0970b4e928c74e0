#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "app/AppShared.h"
#include "app/MsgDlg.h"
#include "common/ProgramTexts.h"
#include "common/ResourceIds.h"
#include "engine/SkinMessageBox.h"
#include "tests/support/ModalProbe.h"

namespace {

constexpr int BUTTON_IDS[] = {IDOK, IDCANCEL, IDC_PLAIN_OK, IDYES, IDNO};
constexpr COLORREF INFORMATION_CYAN = RGB(0, 255, 255);
constexpr COLORREF QUESTION_ORANGE = RGB(255, 128, 0);
constexpr COLORREF ERROR_PURPLE = RGB(128, 0, 255);
constexpr COLORREF NO_ICON = MESSAGE_FACE_COLOUR;  // the face shows through

INT_PTR CALLBACK InertDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

CRect ScreenRect(HWND window) {
  CRect rect;
  GetWindowRect(window, rect);
  return rect;
}

// Template 142 as the dialog manager makes it, standing at the screen origin:
// the rectangles the layout starts from.
struct TemplateLayout {
  CRect window;
  CRect text;
  CRect icon;
  std::map<int, CRect> buttons;
};

TemplateLayout MeasureTemplate() {
  TemplateLayout layout;
  HWND d =
      CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MESSAGE_DIALOG), nullptr, &InertDialog, 0);
  if (!d) return layout;
  SetWindowPos(d, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  layout.window = ScreenRect(d);
  layout.text = ScreenRect(GetDlgItem(d, IDC_MESSAGE_TEXT));
  layout.icon = ScreenRect(GetDlgItem(d, IDC_ICON_AREA));
  for (int id : BUTTON_IDS) layout.buttons[id] = ScreenRect(GetDlgItem(d, id));
  DestroyWindow(d);
  return layout;
}

// What a probe saw of a message dialog; rectangles relative to the window's corner.
struct Seen {
  CRect window;
  POINT clientOffset = {0, 0};
  CRect text;
  CRect icon;
  std::map<int, CRect> buttons;
  std::vector<int> shown;
  std::string title;
  std::string message;
  COLORREF iconPixel = CLR_INVALID;
};

CRect Relative(HWND window, const CRect& corner) {
  CRect rect = ScreenRect(window);
  OffsetRect(rect, -corner.left, -corner.top);
  return rect;
}

std::string TextOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

Seen Look(HWND d) {
  Seen seen;
  RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  seen.window = ScreenRect(d);
  POINT origin = {0, 0};
  ClientToScreen(d, &origin);
  seen.clientOffset = {origin.x - seen.window.left, origin.y - seen.window.top};
  seen.text = Relative(GetDlgItem(d, IDC_MESSAGE_TEXT), seen.window);
  seen.icon = Relative(GetDlgItem(d, IDC_ICON_AREA), seen.window);
  for (int id : BUTTON_IDS) {
    seen.buttons[id] = Relative(GetDlgItem(d, id), seen.window);
    if (GetWindowLongA(GetDlgItem(d, id), GWL_STYLE) & WS_VISIBLE) seen.shown.push_back(id);
  }
  seen.title = TextOf(d);
  seen.message = TextOf(GetDlgItem(d, IDC_MESSAGE_TEXT));
  HWND icon = GetDlgItem(d, IDC_ICON_AREA);
  HDC dc = GetDC(icon);
  seen.iconPixel = GetPixel(dc, 4, 4);
  ReleaseDC(icon, dc);
  return seen;
}

// Shows the message and answers it with act; returns the result and what was seen.
int Ask(const std::string& text, const char* title, int flags, Seen& seen, void (*act)(HWND)) {
  ModalProbes probes;
  probes.Add([&](HWND d) {
    seen = Look(d);
    act(d);
  });
  const int result = SkinMessageBox(text.c_str(), title, flags);
  EXPECT_EQ(0u, probes.Waiting());
  return result;
}

void PressFirstShownButton(HWND d) {
  for (int id : {IDC_PLAIN_OK, IDOK, IDYES}) {
    HWND button = GetDlgItem(d, id);
    if (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) {
      SendMessageA(button, BM_CLICK, 0, 0);
      return;
    }
  }
}

struct LayoutCase {
  std::size_t length;
  int b;  // extra width
  int c;  // extra height
  bool iconMoves;
};

// a = 10 (n / 30 + 1), b = 1.25 a truncated, c = a - b / 4.
const LayoutCase layoutCases[] = {
    {0, 12, 7, false},    // the smallest growth
    {29, 12, 7, false},   // last length of the first step
    {30, 25, 14, false},  // first length of the second step
    {89, 37, 21, false},  // a = 30: the icon stays
    {90, 50, 28, true},   // a = 40: the icon moves up
};

TEST(MessageDialog, LayoutGrowsWithTheLengthOfTheText) {
  const TemplateLayout base = MeasureTemplate();
  ASSERT_GT(base.window.Width(), 0);
  for (const LayoutCase& c : layoutCases) {
    SCOPED_TRACE("text of " + std::to_string(c.length));
    Seen seen;
    Ask(std::string(c.length, 'w'), "Layout", 0, seen, &PressFirstShownButton);
    const std::string row = "text of " + std::to_string(c.length);
    EXPECT_EQ(base.window.Width() + c.b, seen.window.Width()) << row;
    EXPECT_EQ(base.window.Height() + c.c, seen.window.Height()) << row;
    const POINT f = seen.clientOffset;
    EXPECT_EQ(f.x + base.text.left, seen.text.left) << row;
    EXPECT_EQ(f.y + base.text.top - 25, seen.text.top) << row;
    EXPECT_EQ(base.text.Width() + c.b, seen.text.Width()) << row;
    EXPECT_EQ(base.text.Height() + c.c, seen.text.Height()) << row;
    for (int id : BUTTON_IDS) {
      EXPECT_EQ(f.x + base.buttons.at(id).left + c.b / 2, seen.buttons[id].left) << row << " button " << id;
      EXPECT_EQ(f.y + base.window.Height() + c.c - 65, seen.buttons[id].top) << row << " button " << id;
      EXPECT_EQ(base.buttons.at(id).Width(), seen.buttons[id].Width()) << row << " button " << id;
    }
    if (c.iconMoves) {
      EXPECT_EQ(f.x + base.icon.left, seen.icon.left) << row;
      EXPECT_EQ(f.y + base.text.top - 30, seen.icon.top) << row;
    } else {
      EXPECT_EQ(base.icon.left, seen.icon.left) << row;
      EXPECT_EQ(base.icon.top, seen.icon.top) << row;
    }
  }
}

TEST(MessageDialog, TheHighDpiFlagMakesTheTextArea25PixelsTaller) {
  Seen normal;
  Seen high;
  Ask("Same text", "Dpi", 0, normal, &PressFirstShownButton);
  dialogShared.highDpi = true;
  Ask("Same text", "Dpi", 0, high, &PressFirstShownButton);
  dialogShared.highDpi = false;
  EXPECT_EQ(normal.text.Height() + 25, high.text.Height());
  EXPECT_EQ(normal.text.Width(), high.text.Width());
}

struct ModeCase {
  int flags;
  std::vector<int> shown;
  COLORREF icon;
};

const ModeCase modeCases[] = {
    {QUESTION_YES_NO, {IDYES, IDNO}, QUESTION_ORANGE},       // 36: the stop and restart questions
    {NOTICE_OK_CANCEL, {IDOK, IDCANCEL}, INFORMATION_CYAN},  // 65: the restart notice
    {0, {IDC_PLAIN_OK}, NO_ICON},                            // plain OK, warning picture (absent here)
    {5, {IDOK, IDCANCEL}, NO_ICON},                          // bit 0 wins over bit 2
    {3, {IDOK, IDCANCEL}, NO_ICON},
    {0x10, {IDC_PLAIN_OK}, ERROR_PURPLE},
    {0x30, {IDC_PLAIN_OK}, NO_ICON},           // bits 4 and 5 together: warning
    {0x70, {IDC_PLAIN_OK}, NO_ICON},           // ... even with the information bit
    {0x50, {IDC_PLAIN_OK}, INFORMATION_CYAN},  // information before error
    {0x60, {IDC_PLAIN_OK}, INFORMATION_CYAN},  // information before question
};

TEST(MessageDialog, FlagsChooseTheButtonsAndTheIconPicture) {
  for (const ModeCase& c : modeCases) {
    SCOPED_TRACE("flags " + std::to_string(c.flags));
    Seen seen;
    Ask("Which buttons?", "Modes", c.flags, seen, &PressFirstShownButton);
    EXPECT_EQ(c.shown, seen.shown) << "flags " << c.flags;
    EXPECT_EQ(c.icon, seen.iconPixel) << "flags " << c.flags;
  }
}

struct AnswerCase {
  int flags;
  const char* action;
  void (*act)(HWND);
  int result;
};

template <int Id>
void Click(HWND d) {
  SendMessageA(GetDlgItem(d, Id), BM_CLICK, 0, 0);
}
void Enter(HWND d) { PostKey(d, VK_RETURN); }
void Escape(HWND d) { PostKey(d, VK_ESCAPE); }
void CloseBox(HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }

const AnswerCase answerCases[] = {
    {0, "OK", &Click<IDC_PLAIN_OK>, IDOK},   {0, "Enter", &Enter, IDOK},
    {0, "Esc", &Escape, IDCANCEL},           {0, "close box", &CloseBox, IDCANCEL},
    {MB_OKCANCEL, "OK", &Click<IDOK>, IDOK}, {MB_OKCANCEL, "Cancel", &Click<IDCANCEL>, IDCANCEL},
    {MB_OKCANCEL, "Enter", &Enter, IDOK},    {MB_OKCANCEL, "Esc", &Escape, IDCANCEL},
    {MB_YESNO, "YES", &Click<IDYES>, IDYES}, {MB_YESNO, "NO", &Click<IDNO>, IDNO},
    {MB_YESNO, "Enter", &Enter, IDOK},  // neither Yes nor No
    {MB_YESNO, "Esc", &Escape, IDNO},        {MB_YESNO, "close box", &CloseBox, IDNO},
};

TEST(MessageDialog, EachModeAnswersItsButtonsEnterAndEsc) {
  for (const AnswerCase& c : answerCases) {
    SCOPED_TRACE("flags " + std::to_string(c.flags) + " " + c.action);
    Seen seen;
    EXPECT_EQ(c.result, Ask("Answer me", "Answers", c.flags, seen, c.act)) << "flags " << c.flags << " " << c.action;
  }
}

TEST(MessageDialog, ShowsTheTextAndTheTitleOrElseTheProgramTitle) {
  Seen seen;
  Ask("Terminate the Scan now?", "DialogBoxTitle", QUESTION_YES_NO, seen, &Escape);
  EXPECT_EQ("Terminate the Scan now?", seen.message);
  EXPECT_EQ("DialogBoxTitle", seen.title);
  Ask("No title", "", 0, seen, &Escape);
  EXPECT_EQ(PROGRAM_TITLE, seen.title);
  Ask("Null title", nullptr, 0, seen, &Escape);
  EXPECT_EQ(PROGRAM_TITLE, seen.title);
  Ask(std::string(), "Empty text", 0, seen, &Escape);
  EXPECT_EQ("", seen.message);
}

TEST(MessageDialog, AConstructedDialogStartsWithTheWarningPictureAndNoMode) {
  CMsgDlg dialog;
  EXPECT_EQ(IDB_ICON_WARNING, dialog.m_iconBitmapId);
  EXPECT_EQ(MessageMode::None, dialog.m_mode);
  EXPECT_EQ("", dialog.m_text);
  EXPECT_EQ("Tessmark Ver 7.5", dialog.m_title);
}

}  // namespace
