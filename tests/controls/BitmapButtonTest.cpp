#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "controls/ExButton.h"
#include "controls/NCExButton.h"
#include "tests/app/TestDialog.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/HelpViewer.h"
#include "tests/support/ModalProbe.h"

namespace {

constexpr COLORREF FOCUS_RED = RGB(255, 0, 0);
constexpr COLORREF NOT_FOCUS_GREEN = RGB(0, 160, 0);
constexpr COLORREF DISABLED_BLUE = RGB(0, 0, 255);
constexpr COLORREF UNTOUCHED = RGB(255, 255, 255);
constexpr int CANVAS_WIDTH = 40;
constexpr int CANVAS_HEIGHT = 20;

void RunInTestDialog(TestDialog& dialog, const ModalProbes::Probe& probe) {
  ModalProbes probes;
  probes.Add([&](HWND d) {
    probe(d);
    EndDialog(d, IDCANCEL);
  });
  dialog.DoModal();
  EXPECT_EQ(0u, probes.Waiting());
}

SIZE WindowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// What the button draws for itemState, through its parent's WM_DRAWITEM, on a
// white canvas: the colour of a pixel inside the item.
COLORREF DrawnColour(HWND dialog, const CWnd& button, UINT itemState) {
  HDC screen = GetDC(nullptr);
  HDC canvas = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, CANVAS_WIDTH, CANVAS_HEIGHT);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(canvas, bitmap);
  RECT all = {0, 0, CANVAS_WIDTH, CANVAS_HEIGHT};
  FillRect(canvas, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.CtlID = static_cast<UINT>(button.GetDlgCtrlID());
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = itemState;
  item.hwndItem = button.m_hWnd;
  item.hDC = canvas;
  item.rcItem = all;
  SendMessageA(dialog, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  const COLORREF colour = GetPixel(canvas, CANVAS_WIDTH / 2, CANVAS_HEIGHT / 2);
  SelectObject(canvas, previous);
  DeleteObject(bitmap);
  DeleteDC(canvas);
  return colour;
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// Child mode, run where the help viewer with its hand cursor is in place.
// Exit code 0 when each button holds its own copy, taken once, and sets it.
int HandCursorMain(const std::vector<std::string>&) {
  CExButton first;
  CExButton second;
  first.LoadHandCursor();
  const HCURSOR kept = first.Cursor();
  if (!kept) return 10;
  first.LoadHandCursor();
  if (first.Cursor() != kept) return 11;  // a second call keeps the first copy
  second.LoadHandCursor();
  if (!second.Cursor() || second.Cursor() == kept) return 12;  // its own copy
  HWND window = CreateWindowExA(0, "BUTTON", "hand", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!window || !first.SubclassWindow(window)) return 13;
  const LRESULT handled =
      SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  const bool set = GetCursor() == kept;
  first.UnsubclassWindow();
  DestroyWindow(window);
  if (handled != TRUE) return 14;
  return set ? 0 : 15;
}
ChildModeRegistrar handCursorMode("hand-cursor", &HandCursorMain);

std::string ExecutableName() {
  const std::string own = OwnExecutablePath();
  return own.substr(own.find_last_of('\\') + 1);
}

// Moves the keyboard focus away from every button (a dialog given the focus
// hands it to its first control).
void FocusTheList(HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_TEST_LIST)); }

TEST(BitmapButton, RunTimeClassesNameTheButtonClassAsBase) {
  CExButton ex;
  NCExButton nc;
  EXPECT_STREQ("CExButton", ex.GetRuntimeClass()->m_lpszClassName);
  EXPECT_STREQ("NCExButton", nc.GetRuntimeClass()->m_lpszClassName);
  EXPECT_EQ(&CButton::classCButton, ex.GetRuntimeClass()->m_pBaseClass);
  EXPECT_EQ(&CButton::classCButton, nc.GetRuntimeClass()->m_pBaseClass);
  EXPECT_TRUE(ex.IsKindOf(&CWnd::classCWnd));
  EXPECT_FALSE(nc.IsKindOf(&CExButton::classCExButton));
}

TEST(BitmapButton, LoadSkinTakesThePicturesNamedAfterTheCaptionAndTheirSize) {
  TestDialog dialog;
  RunInTestDialog(dialog, [&](HWND d) {
    EXPECT_TRUE(dialog.skinned.LoadSkin(IDC_TEST_SKINNED, &dialog));
    const SIZE size = WindowSize(dialog.skinned);
    EXPECT_EQ(40, size.cx);
    EXPECT_EQ(20, size.cy);
    EXPECT_EQ(40, dialog.skinned.HoverRect().right);
    EXPECT_EQ(20, dialog.skinned.HoverRect().bottom);
    // Dark, lit, disabled and dark, disabled but still lit.
    FocusTheList(d);
    EXPECT_FALSE(dialog.skinned.IsLit());
    EXPECT_EQ(NOT_FOCUS_GREEN, DrawnColour(d, dialog.skinned, 0));
    EXPECT_EQ(DISABLED_BLUE, DrawnColour(d, dialog.skinned, ODS_DISABLED));
    dialog.skinned.SetFocus();
    EXPECT_TRUE(dialog.skinned.IsLit());
    EXPECT_EQ(FOCUS_RED, DrawnColour(d, dialog.skinned, 0));
    EXPECT_EQ(FOCUS_RED, DrawnColour(d, dialog.skinned, ODS_DISABLED | ODS_FOCUS));
  });
}

TEST(BitmapButton, MissingPicturesAreNotReportedAndDrawNothing) {
  TestDialog dialog;
  RunInTestDialog(dialog, [&](HWND d) {
    FocusTheList(d);
    // No disabled picture: a dark disabled button is not painted.
    EXPECT_TRUE(dialog.noDisabled.LoadSkin(IDC_TEST_NO_DISABLED, &dialog));
    EXPECT_EQ(30, WindowSize(dialog.noDisabled).cx);
    EXPECT_EQ(UNTOUCHED, DrawnColour(d, dialog.noDisabled, ODS_DISABLED));
    EXPECT_EQ(NOT_FOCUS_GREEN, DrawnColour(d, dialog.noDisabled, 0));

    // No focus picture: nothing is loaded, the button keeps its template size.
    const SIZE templateSize = WindowSize(dialog.noFocus);
    EXPECT_TRUE(dialog.noFocus.LoadSkin(IDC_TEST_NO_FOCUS, &dialog));
    EXPECT_FALSE(dialog.noFocus.LoadStateBitmaps("NOFOC_FOCUS", "NOFOC_NOTFOCUS", "NOFOC_DISABLE"));
    EXPECT_EQ(templateSize.cx, WindowSize(dialog.noFocus).cx);
    EXPECT_EQ(UNTOUCHED, DrawnColour(d, dialog.noFocus, 0));

    // No not-focus picture: the focus picture stays, the size does not change.
    const SIZE halfSize = WindowSize(GetDlgItem(d, IDC_TEST_HALF));
    EXPECT_TRUE(dialog.half.LoadSkin(IDC_TEST_HALF, &dialog)) << "binds the item itself";
    EXPECT_EQ(&dialog.half, CWnd::FromHandlePermanent(GetDlgItem(d, IDC_TEST_HALF)));
    EXPECT_FALSE(dialog.half.FitToBitmap());
    EXPECT_EQ(halfSize.cx, WindowSize(dialog.half).cx);
    EXPECT_EQ(UNTOUCHED, DrawnColour(d, dialog.half, 0));
    dialog.half.SetFocus();
    EXPECT_EQ(FOCUS_RED, DrawnColour(d, dialog.half, 0));
  });
}

TEST(BitmapButton, AnEmptyCaptionOrAMissingItemMakesLoadSkinFail) {
  TestDialog dialog;
  RunInTestDialog(dialog, [&](HWND) {
    CExButton empty;
    EXPECT_FALSE(empty.LoadSkin(IDC_TEST_EMPTY_CAPTION, &dialog));
    CExButton missing;
    EXPECT_FALSE(missing.LoadSkin(IDC_TEST_MISSING, &dialog));
    EXPECT_EQ(nullptr, missing.m_hWnd);
  });
}

TEST(BitmapButton, TheMouseLightsAButtonWhileOverItAndTheCaptureNoticesItLeaving) {
  TestDialog dialog;
  RunInTestDialog(dialog, [&](HWND d) {
    ASSERT_TRUE(dialog.skinned.LoadSkin(IDC_TEST_SKINNED, &dialog));
    ASSERT_TRUE(dialog.twin.LoadSkin(IDC_TEST_SKINNED_TWIN, &dialog));
    FocusTheList(d);
    SendMessageA(dialog.skinned, WM_MOUSEMOVE, 0, At(5, 5));
    EXPECT_TRUE(dialog.skinned.IsLit());
    EXPECT_EQ(dialog.skinned.m_hWnd, GetCapture());
    EXPECT_EQ(dialog.skinned.m_hWnd, GetFocus());
    SendMessageA(dialog.skinned, WM_MOUSEMOVE, 0, At(10, 6));
    EXPECT_TRUE(dialog.skinned.IsLit()) << "still inside";
    SendMessageA(dialog.skinned, WM_MOUSEMOVE, 0, At(41, 5));
    EXPECT_FALSE(dialog.skinned.IsLit());
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(dialog.skinned.m_hWnd, GetFocus()) << "the keyboard focus stays";
    EXPECT_EQ(NOT_FOCUS_GREEN, DrawnColour(d, dialog.skinned, ODS_FOCUS)) << "drawn dark while it keeps the focus";

    // Straight onto the other button: it lights up and takes the focus.
    SendMessageA(dialog.skinned, WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageA(dialog.twin, WM_MOUSEMOVE, 0, At(5, 5));
    EXPECT_TRUE(dialog.twin.IsLit());
    EXPECT_EQ(dialog.twin.m_hWnd, GetCapture());
    EXPECT_FALSE(dialog.skinned.IsLit()) << "dark once it lost the focus";
    ReleaseCapture();
  });
}

TEST(BitmapButton, KeyboardFocusLightsTheButtonAndLosingItDarkensIt) {
  TestDialog dialog;
  RunInTestDialog(dialog, [&](HWND) {
    ASSERT_TRUE(dialog.skinned.LoadSkin(IDC_TEST_SKINNED, &dialog));
    dialog.skinned.SetFocus();
    EXPECT_TRUE(dialog.skinned.IsLit());
    dialog.twin.SetFocus();
    EXPECT_FALSE(dialog.skinned.IsLit());
    EXPECT_TRUE(dialog.twin.IsLit());
  });
}

TEST(BitmapButton, EachButtonCopiesTheHelpViewersHandOnceAndShowsIt) {
  // The override is read by a process at its start: a child of this program.
  PlantedHelpViewer viewer(ExecutableName());
  ASSERT_TRUE(viewer.planted());
  ChildProcess child;
  ASSERT_TRUE(child.Start("hand-cursor"));
  EXPECT_EQ(0u, child.WaitForExit(30000));
}

TEST(BitmapButton, WithoutTheHelpViewerTheButtonKeepsTheArrow) {
  HelpViewerSetAside noViewer;
  ASSERT_TRUE(noViewer.cleared()) << "the help viewer could not be set aside";
  TestDialog dialog;
  RunInTestDialog(dialog, [&](HWND) {
    dialog.skinned.LoadHandCursor();
    EXPECT_EQ(nullptr, dialog.skinned.Cursor());
    // The window class's cursor is set by the default processing.
    SendMessageA(dialog.skinned, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog.skinned.m_hWnd),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor());
  });
}

}  // namespace
