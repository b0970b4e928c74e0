// The message dialog in its three modes with the program's own pictures, read
// back pixel by pixel from its window. With QUELLOR_SCREENSHOTS naming a
// folder, each mode is saved there.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/MsgDlg.h"
#include "common/ProgramTexts.h"
#include "common/ResourceIds.h"
#include "engine/SkinMessageBox.h"
#include "tests/support/ModalProbe.h"
#include "tests/support/ScreenPixels.h"
#include "tools/uidriver/UiDriver.h"

namespace {

// Where the pointer waits, away from the centred dialog, so that no button is
// lit by the mouse.
constexpr POINT MOUSE_PARKING = {0, 0};
// Client points near the corners, where only the face shows.
constexpr int FACE_MARGIN = 3;

struct PictureAt {
  int id;
  const char* picture;
};

struct ModeLook {
  int flags;
  const char* text;
  const char* screenshot;
  int icon;
  // The mode's buttons; the first holds the keyboard focus and is lit.
  std::vector<PictureAt> buttons;
};

const ModeLook modeLooks[] = {
    {0, "Scanning completed.", "message-ok", IDB_ICON_WARNING, {{IDC_PLAIN_OK, "OK_FOCUS"}}},
    {NOTICE_OK_CANCEL,
     FOUND_IN_MEMORY_NOTICE,
     "message-ok-cancel",
     IDB_ICON_INFORMATION,
     {{IDOK, "OK_FOCUS"}, {IDCANCEL, "CANCEL_NOTFOCUS"}}},
    {QUESTION_YES_NO,
     RESTART_QUESTION,
     "message-yes-no",
     IDB_ICON_QUESTION,
     {{IDYES, "YES_FOCUS"}, {IDNO, "NO_NOTFOCUS"}}},
};

// Where a window's top-left corner lies in a shot of the whole dialog.
POINT InShot(HWND dialog, HWND window) {
  RECT outer = {};
  RECT inner = {};
  GetWindowRect(dialog, &outer);
  GetWindowRect(window, &inner);
  return POINT{inner.left - outer.left, inner.top - outer.top};
}

POINT ClientInShot(HWND dialog, HWND window, POINT client) {
  RECT outer = {};
  GetWindowRect(dialog, &outer);
  ClientToScreen(window, &client);
  return POINT{client.x - outer.left, client.y - outer.top};
}

SIZE ClientSize(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  return SIZE{client.right, client.bottom};
}

// True when the text, broken into lines at the control's width in its font,
// fits the control's height.
bool TextFits(HWND control, const std::string& text) {
  RECT client = {};
  GetClientRect(control, &client);
  RECT needed = client;
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return needed.bottom <= client.bottom && needed.right <= client.right;
}

// What the probe saw: the mismatching pixels of each picture and the face.
void ExpectLook(HWND d, const ModeLook& look, const PixelImage& shot) {
  const std::string mode = look.screenshot;
  const SIZE client = ClientSize(d);
  for (const POINT& corner :
       {POINT{FACE_MARGIN, FACE_MARGIN}, POINT{client.cx - FACE_MARGIN, client.cy - FACE_MARGIN}}) {
    const POINT at = ClientInShot(d, d, corner);
    EXPECT_EQ(ColourText(MESSAGE_FACE_COLOUR), ColourText(shot.At(at.x, at.y))) << mode << " face";
  }
  HWND iconArea = GetDlgItem(d, IDC_ICON_AREA);
  const PixelImage icon = LoadMappedPicture(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(look.icon));
  ASSERT_FALSE(icon.Empty()) << mode;
  EXPECT_EQ(0, CountDifferences(shot, ClientInShot(d, iconArea, POINT{0, 0}), icon, ClientSize(iconArea)))
      << mode << ": the icon area shows picture " << look.icon << ", cut to the area";
  for (const PictureAt& button : look.buttons) {
    HWND window = GetDlgItem(d, button.id);
    EXPECT_TRUE(IsWindowVisible(window)) << mode << " button " << button.id;
    const PixelImage picture = LoadMappedPicture(GetModuleHandleA(nullptr), button.picture);
    ASSERT_FALSE(picture.Empty()) << button.picture;
    EXPECT_EQ(0, CountDifferences(shot, InShot(d, window), picture))
        << mode << " button " << button.id << " shows " << button.picture;
  }
  EXPECT_EQ(GetDlgItem(d, look.buttons.front().id), GetFocus()) << mode;
  EXPECT_TRUE(TextFits(GetDlgItem(d, IDC_MESSAGE_TEXT), look.text)) << mode << ": the text is cut";
}

TEST(MessageDialogLook, EachModeShowsItsIconAndButtonPicturesOnTheFace) {
  for (const ModeLook& look : modeLooks) {
    SCOPED_TRACE(look.screenshot);
    ASSERT_TRUE(MoveMouse(MOUSE_PARKING));
    ModalProbes probes;
    probes.Add([&](HWND d) {
      // Drawn as the active window, as a user sees it: a dialog activated
      // before this test program was in the foreground keeps a grey caption.
      SetForegroundWindow(d);
      SendMessageA(d, WM_NCACTIVATE, TRUE, 0);
      RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      const PixelImage shot = CaptureWindow(d);
      ASSERT_FALSE(shot.Empty());
      ASSERT_NO_FATAL_FAILURE(ExpectLook(d, look, shot));
      EXPECT_TRUE(SaveScreenshot(shot, look.screenshot)) << look.screenshot;
      SendMessageA(GetDlgItem(d, look.buttons.front().id), BM_CLICK, 0, 0);
    });
    const int result = SkinMessageBox(look.text, PROGRAM_TITLE, look.flags);
    EXPECT_EQ(0u, probes.Waiting());
    EXPECT_EQ(look.buttons.front().id == IDYES ? IDYES : IDOK, result) << look.screenshot;
  }
}

}  // namespace
