#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/AppShared.h"
#include "app/ScanApp.h"
#include "app/ScanDlg.h"
#include "app/StatusLine.h"
#include "app/TitleStatic.h"
#include "common/ProgramTexts.h"
#include "common/ResourceIds.h"
#include "common/Text.h"
#include "engine/ScanState.h"
#include "engine/SkinMessageBox.h"
#include "tests/support/ModalProbe.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr char SANDBOX_KEY[] = "Software\\Quellor-tests\\Suite";
constexpr char SANDBOX_VALUE[] = "Installed Folder";
constexpr DWORD CANARY_SIZE = 16;
constexpr BYTE CANARY = 0xBD;

// Runs the main dialog in this process with probe inside its modal loop; the
// probe ends it.
void RunScanDialog(const ModalProbes::Probe& probe) {
  ResetScanState();
  ModalProbes probes;
  probes.Add(probe);
  CScanDlg dialog;
  theApp.m_pMainWnd = &dialog;  // as the application's start-up does
  dialog.DoModal();
  EXPECT_EQ(0u, probes.Waiting());
  EXPECT_EQ(nullptr, theApp.m_pMainWnd) << "the main window pointer ends with the window";
  theApp.m_pMainWnd = nullptr;
}

void CloseWithTheCloseBox(HWND d) { SendMessageA(GetDlgItem(d, IDC_CLOSE_BOX), BM_CLICK, 0, 0); }

void SendLine(HWND d, const std::string& line) {
  CopyText(scanState.reportLine, sizeof scanState.reportLine, line.c_str());
  SendMessageA(d, WM_SCAN_LINE, 0, 0);
}

int Count(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); }
int Selected(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0)); }
int Extent(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0)); }

std::string LineAt(HWND list, int index) {
  std::string text(static_cast<std::size_t>(SendMessageA(list, LB_GETTEXTLEN, index, 0)) + 1, '\0');
  SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  return text.c_str();
}

// Width of text in the list's plain drawing context (no font selected).
int Measure(HWND list, const std::string& text) {
  HDC dc = GetDC(list);
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  ReleaseDC(list, dc);
  return size.cx;
}

// A line measuring exactly width pixels, made of a wide and a narrow letter;
// empty when no such mix exists.
std::string LineOfWidth(HWND list, int width) {
  for (char wide : {'W', 'M', 'x', 'n'}) {
    for (char narrow : {'i', 'l', '.', '!', 't'}) {
      const int w = Measure(list, std::string(1, wide));
      const int n = Measure(list, std::string(1, narrow));
      for (int wides = 0; w > 0 && n > 0 && wides * w <= width; ++wides) {
        if ((width - wides * w) % n != 0) continue;
        const std::string line = std::string(static_cast<std::size_t>(wides), wide) +
                                 std::string(static_cast<std::size_t>((width - wides * w) / n), narrow);
        if (Measure(list, line) == width) return line;
      }
    }
  }
  return std::string();
}

TEST(ScanDialog, TheWindowIsLaidOutTitledAndSkinnableAsTheMainWindow) {
  RunScanDialog([](HWND d) {
    RECT rect;
    GetWindowRect(d, &rect);
    EXPECT_EQ(600, rect.right - rect.left);
    EXPECT_EQ(462, rect.bottom - rect.top);
    char title[64] = {};
    GetWindowTextA(d, title, sizeof title);
    EXPECT_STREQ(PROGRAM_TITLE, title);
    const LONG style = GetWindowLongA(d, GWL_STYLE);
    EXPECT_EQ(WS_SYSMENU | WS_MINIMIZEBOX, style & (WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(0, style & WS_CAPTION & ~WS_BORDER) << "no caption";
    HDC dc = GetDC(d);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX) >= 120, dialogShared.highDpi);
    ReleaseDC(d, dc);
    EXPECT_EQ(CWnd::FromHandlePermanent(d), static_cast<CWnd*>(dialogShared.mainDialog));
    // The bold font: the dialog's face, 15 pixels, bold.
    LOGFONTA bold = {};
    LOGFONTA dialogFont = {};
    ASSERT_TRUE(GetObjectA(dialogShared.boldFont.m_hObject, sizeof bold, &bold));
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(d, WM_GETFONT, 0, 0)), sizeof dialogFont, &dialogFont);
    EXPECT_EQ(15, bold.lfHeight);
    EXPECT_EQ(FW_BOLD, bold.lfWeight);
    EXPECT_STREQ(dialogFont.lfFaceName, bold.lfFaceName);
    CloseWithTheCloseBox(d);
  });
  EXPECT_EQ(nullptr, dialogShared.mainDialog) << "no pointer to a dialog that has gone";
}

TEST(ScanDialog, TheReportListHolds150LinesUntilTheClosingLinesMayNotBeCut) {
  RunScanDialog([](HWND d) {
    HWND list = GetDlgItem(d, IDC_REPORT_LIST);
    for (int i = 1; i <= 150; ++i) SendLine(d, "line " + std::to_string(i));
    EXPECT_EQ(150, Count(list)) << "the 150th line is added normally";
    SendLine(d, "line 151");
    ASSERT_EQ(1, Count(list)) << "a full list is emptied first";
    EXPECT_EQ("line 151", LineAt(list, 0));
    for (int i = 2; i <= 150; ++i) SendLine(d, "more " + std::to_string(i));
    scanState.keepList = true;
    for (int i = 0; i < 10; ++i) SendLine(d, "closing " + std::to_string(i));
    EXPECT_EQ(160, Count(list)) << "after keepList the list grows past 150";
    EXPECT_EQ("closing 9", LineAt(list, 159));
    CloseWithTheCloseBox(d);
  });
}

TEST(ScanDialog, FromTheThirdLineOnTheNewestLineIsSelected) {
  RunScanDialog([](HWND d) {
    HWND list = GetDlgItem(d, IDC_REPORT_LIST);
    SendLine(d, "one");
    SendLine(d, "two");
    EXPECT_EQ(LB_ERR, Selected(list));
    SendLine(d, "three");
    EXPECT_EQ(2, Selected(list));
    SendLine(d, "four");
    EXPECT_EQ(3, Selected(list));
    CloseWithTheCloseBox(d);
  });
}

TEST(ScanDialog, OnlyLinesWiderThan560PixelsSetTheExtentWhichNeverShrinks) {
  RunScanDialog([](HWND d) {
    HWND list = GetDlgItem(d, IDC_REPORT_LIST);
    const std::string exactly560 = LineOfWidth(list, 560);
    const std::string exactly561 = LineOfWidth(list, 561);
    ASSERT_FALSE(exactly560.empty());
    ASSERT_FALSE(exactly561.empty());
    SendLine(d, "short");
    SendLine(d, exactly560);
    EXPECT_EQ(0, Extent(list)) << "560 pixels never change it";
    SendLine(d, exactly561);
    EXPECT_EQ(420, Extent(list)) << "three quarters of 561";
    const std::string wider = exactly561 + std::string(60, 'x');
    const int widerWidth = Measure(list, wider);
    SendLine(d, wider);
    EXPECT_EQ(widerWidth * 3 / 4, Extent(list));
    SendLine(d, exactly561);
    EXPECT_EQ(widerWidth * 3 / 4, Extent(list)) << "a narrower line never reduces it";
    CloseWithTheCloseBox(d);
  });
}

TEST(ScanDialog, EngineTextsAreShownWithinTheirBuffers) {
  RunScanDialog([](HWND d) {
    HWND list = GetDlgItem(d, IDC_REPORT_LIST);
    HWND status = GetDlgItem(d, IDC_STATUS_LINE);
    CopyText(scanState.currentFile, sizeof scanState.currentFile, "C:\\windows\\notepad.exe");
    SendMessageA(d, WM_SCAN_STATUS, 0, 0);
    char text[1024] = {};
    GetWindowTextA(status, text, sizeof text);
    EXPECT_STREQ("C:\\windows\\notepad.exe", text);
    // Buffers that lost their terminator are read up to their end, no further.
    std::memset(scanState.currentFile, 'f', sizeof scanState.currentFile);
    SendMessageA(d, WM_SCAN_STATUS, 0, 0);
    GetWindowTextA(status, text, sizeof text);
    EXPECT_EQ(sizeof scanState.currentFile, std::strlen(text));
    std::memset(scanState.reportLine, 'r', sizeof scanState.reportLine);
    SendMessageA(d, WM_SCAN_LINE, 0, 0);
    EXPECT_EQ(std::string(sizeof scanState.reportLine, 'r'), LineAt(list, 0));
    ResetScanState();
    CloseWithTheCloseBox(d);
  });
}

// Counts the paints of a static control of this thread. Every paint asks the
// parent for the control's colours first, whether it comes as WM_PAINT or
// straight from the control's own handling of a new text.
class PaintCounter {
 public:
  explicit PaintCounter(HWND control) {
    counted = control;
    paints = 0;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, Sent, nullptr, GetCurrentThreadId());
  }
  ~PaintCounter() { UnhookWindowsHookEx(hook_); }
  int count() const { return paints; }

 private:
  static LRESULT CALLBACK Sent(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_CTLCOLORSTATIC &&
        reinterpret_cast<HWND>(message->lParam) == counted)
      ++paints;
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static HWND counted;
  static int paints;
  HHOOK hook_ = nullptr;
};
HWND PaintCounter::counted = nullptr;
int PaintCounter::paints = 0;

// During a walk the engine sends a status text for every entry, thousands a
// second, with the walk's pumping between them. The status line holds each
// text at once, paints at most once a frame interval, and paints the final
// status, and whatever it holds before a wait, at once.
TEST(ScanDialog, DuringAWalkTheStatusLineHoldsEveryTextAndPaintsAtTheDisplaysPace) {
  RunScanDialog([](HWND d) {
    HWND status = GetDlgItem(d, IDC_STATUS_LINE);
    ShowWindow(status, SW_SHOW);
    dialogShared.scanning = true;
    PaintCounter paints(status);
    constexpr int ENTRIES = 3000;
    int textsBehind = 0;
    const DWORD start = GetTickCount();
    for (int i = 0; i < ENTRIES; ++i) {
      FormatText(scanState.currentFile, sizeof scanState.currentFile, "C:\\walk\\entry %d.txt", i);
      SendMessageA(d, WM_SCAN_STATUS, 0, 0);
      char shown[MAX_PATH] = {};
      GetWindowTextA(status, shown, sizeof shown);
      textsBehind += std::strcmp(shown, scanState.currentFile) != 0;
      MSG message;
      if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(0, textsBehind) << "the window text is always the latest";
    EXPECT_GE(paints.count(), 1);
    EXPECT_LE(paints.count(), static_cast<int>(elapsed / STATUS_FRAME_MS) + 2)
        << ENTRIES << " texts in " << elapsed << " ms";
    // Before a wait that takes no message, the line is painted there and then.
    scanState.notifyWindow = d;
    CopyText(scanState.currentFile, sizeof scanState.currentFile, "C:\\walk\\held.exe");
    SendMessageA(d, WM_SCAN_STATUS, 0, 0);
    const int beforeTheWait = paints.count();
    PaintBeforeWait();
    EXPECT_EQ(beforeTheWait + 1, paints.count()) << "painted before any message is taken";
    const int beforeTheEnd = paints.count();
    scanState.keepList = true;  // as the scan run sets it before its closing lines
    CopyText(scanState.currentFile, sizeof scanState.currentFile, "Scanning completed");
    SendMessageA(d, WM_SCAN_STATUS, 0, 0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_EQ(beforeTheEnd + 1, paints.count()) << "the final status is painted with the next message";
    dialogShared.scanning = false;
    CloseWithTheCloseBox(d);
  });
}

TEST(ScanDialog, TheDialogAndItsStaticsAreWhiteExceptTheSubTitle) {
  RunScanDialog([](HWND d) {
    HDC dc = GetDC(d);
    auto brushFor = [&](UINT message, int id) {
      SetBkMode(dc, OPAQUE);
      HWND control = id ? GetDlgItem(d, id) : d;
      const auto brush = reinterpret_cast<HGDIOBJ>(
          SendMessageA(d, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
      EXPECT_EQ(TRANSPARENT, GetBkMode(dc)) << "message " << message << " control " << id;
      return brush;
    };
    EXPECT_EQ(dialogShared.whiteBrush.m_hObject, brushFor(WM_CTLCOLORDLG, 0));
    EXPECT_EQ(dialogShared.whiteBrush.m_hObject, brushFor(WM_CTLCOLORSTATIC, IDC_HEADLINE));
    EXPECT_EQ(dialogShared.whiteBrush.m_hObject, brushFor(WM_CTLCOLORSTATIC, IDC_STATUS_LINE));
    EXPECT_NE(dialogShared.whiteBrush.m_hObject, brushFor(WM_CTLCOLORSTATIC, IDC_SUB_TITLE));
    EXPECT_NE(dialogShared.whiteBrush.m_hObject, brushFor(WM_CTLCOLORLISTBOX, IDC_REPORT_LIST));
    EXPECT_NE(dialogShared.whiteBrush.m_hObject, brushFor(WM_CTLCOLORBTN, IDC_SCAN));
    ReleaseDC(d, dc);
    LOGBRUSH white = {};
    GetObjectA(dialogShared.whiteBrush.m_hObject, sizeof white, &white);
    EXPECT_EQ(RGB(255, 255, 255), white.lbColor);
    CloseWithTheCloseBox(d);
  });
}

TEST(ScanDialog, TheSubTitleIsWhiteTextOnTheTitleBandBlue) {
  RunScanDialog([](HWND d) {
    HWND title = GetDlgItem(d, IDC_SUB_TITLE);
    RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT client;
    GetClientRect(title, &client);
    HDC dc = GetDC(title);
    int blue = 0;
    int white = 0;
    for (int y = 0; y < client.bottom; ++y) {
      for (int x = 0; x < client.right; ++x) {
        const COLORREF pixel = GetPixel(dc, x, y);
        if (pixel == TITLE_BAND_COLOUR) ++blue;
        if (pixel == RGB(255, 255, 255)) ++white;
      }
    }
    ReleaseDC(title, dc);
    EXPECT_GT(blue, 0);
    EXPECT_GT(white, 0);
    char text[64] = {};
    GetWindowTextA(title, text, sizeof text);
    EXPECT_STREQ("for W32/Veltrix Trojan", text);
    CloseWithTheCloseBox(d);
  });
}

TEST(ScanDialog, TheMessageDialogCentresOverTheMainDialogWhichItDisables) {
  RunScanDialog([](HWND main) {
    ModalProbes nested;
    nested.Add([main](HWND message) {
      RECT outer;
      RECT inner;
      GetWindowRect(main, &outer);
      GetWindowRect(message, &inner);
      EXPECT_NEAR((outer.left + outer.right) / 2, (inner.left + inner.right) / 2, 1);
      EXPECT_NEAR((outer.top + outer.bottom) / 2, (inner.top + inner.bottom) / 2, 1);
      EXPECT_FALSE(IsWindowEnabled(main));
      EXPECT_EQ(main, GetWindow(message, GW_OWNER));
      SendMessageA(GetDlgItem(message, IDC_PLAIN_OK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(IDOK, SkinMessageBox("Centred?", "Owner", 0));
    EXPECT_TRUE(IsWindowEnabled(main));
    CloseWithTheCloseBox(main);
  });
}

class SuiteValue : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, SANDBOX_KEY); }
  void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, SANDBOX_KEY); }
  void Store(const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, SANDBOX_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExA(key, SANDBOX_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(key);
  }
  // Reads into a buffer followed by canary bytes; false when they changed.
  int Query(const char* value, std::string& read, bool& canaryIntact) {
    char buffer[SUITE_VALUE_SIZE + CANARY_SIZE];
    std::memset(buffer, 0, SUITE_VALUE_SIZE);
    std::memset(buffer + SUITE_VALUE_SIZE, CANARY, CANARY_SIZE);
    const int found = QueryMachineValue(SANDBOX_KEY, value, buffer, SUITE_VALUE_SIZE);
    canaryIntact = true;
    for (DWORD i = 0; i < CANARY_SIZE; ++i) canaryIntact &= static_cast<BYTE>(buffer[SUITE_VALUE_SIZE + i]) == CANARY;
    read.assign(buffer, strnlen(buffer, SUITE_VALUE_SIZE));
    return found;
  }
};

TEST_F(SuiteValue, AMissingKeyOrValueCountsAsAbsent) {
  std::string read;
  bool intact = false;
  EXPECT_EQ(0, Query(SANDBOX_VALUE, read, intact));
  ASSERT_NO_FATAL_FAILURE(Store("C:\\Suite"));
  EXPECT_EQ(0, Query("Other Value", read, intact));
}

TEST_F(SuiteValue, AValueThatExistsIsReadIntoTheBuffer) {
  ASSERT_NO_FATAL_FAILURE(Store("C:\\Program Files\\Calvorin"));
  std::string read;
  bool intact = false;
  EXPECT_NE(0, Query(SANDBOX_VALUE, read, intact));
  EXPECT_EQ("C:\\Program Files\\Calvorin", read);
  EXPECT_TRUE(intact);
}

TEST_F(SuiteValue, AValueLargerThanTheBufferCountsAsPresentAndStaysWithinIt) {
  ASSERT_NO_FATAL_FAILURE(Store(std::string(400, 'p')));
  std::string read;
  bool intact = false;
  EXPECT_NE(0, Query(SANDBOX_VALUE, read, intact));
  EXPECT_TRUE(intact) << "nothing written past the 300-byte buffer";
}

}  // namespace
