#include "app/ScanDlg.h"

#include <shellapi.h>

#include <cstring>

#include "app/ScanApp.h"
#include "common/LibraryFunction.h"
#include "common/ProgramTexts.h"
#include "common/RegistryRead.h"
#include "common/Text.h"
#include "controls/WindowShape.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/SkinMessageBox.h"
#include "framework/MessageCrackers.h"
#include "framework/WinApp.h"

namespace {

constexpr int BOLD_FONT_HEIGHT = 15;
constexpr int HIGH_DPI = 120;
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF SKIN_KEY_COLOUR = RGB(255, 0, 255);
constexpr std::size_t ADDRESS_SIZE = 512;
// Room for the headline, the sub-title and the searching line.
constexpr std::size_t WELCOME_TEXT_SIZE = 256;

constexpr char SCANNING_CAPTION[] = "Scanning";
constexpr char NOTICE_TEXT[] = "Copyright (C) 2003 Halvex Software. All rights reserved.";
constexpr char SUITE_TEXT[] = "This program is a part of Calvorin antivirus software.";

// The searching line's font: Arial, bold, 15 pixels.
constexpr int SEARCHING_FONT_HEIGHT = 15;
constexpr char SEARCHING_FONT_FACE[] = "Arial";

// A fixed-size text of the engine as a terminated copy, never read past its
// buffer.
template <std::size_t N>
CString BoundedText(const char (&text)[N]) {
  return CString(text, BoundedLength(text, N));
}

// The shell is loaded when a link is pressed and ShellExecuteA looked up by
// name, so shell32.dll is no import of the program and cannot keep it from
// starting. The library stays loaded: the shell may still be at work in it.
void OpenWithShell(const char* address) {
  const auto open = LibraryFunction<decltype(&::ShellExecuteA)>(LoadLibraryA("shell32.dll"), "ShellExecuteA");
  if (open) open(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenAddress(const char* page) {
  char address[ADDRESS_SIZE];
  if (FormatText(address, sizeof address, "%s%s", SITE_ADDRESS, page)) OpenWithShell(address);
}

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CScanDlg, CDialog)
    MapMessage<&CScanDlg::OnStatusText>(WM_SCAN_STATUS),
    MapMessage<&CScanDlg::OnReportLine>(WM_SCAN_LINE),
    MapTimer<&CScanDlg::OnTimer>(),
    MapPaint<&CScanDlg::OnPaint>(),
    MapCommand<&CScanDlg::OnScan>(IDC_SCAN),
    MapCommand<&CScanDlg::OnCloseButton>(IDC_CLOSE_BOX),
    MapCommand<&CScanDlg::OnDownload>(IDC_DOWNLOAD),
    MapCtlColor<&CScanDlg::OnCtlColor>(),
    MapMove<&CScanDlg::OnMove>(),
    MapMouse<&CScanDlg::OnLButtonDown>(WM_LBUTTONDOWN),
    MapMouse<&CScanDlg::OnLButtonUp>(WM_LBUTTONUP),
    MapCommand<&CScanDlg::OnDoneButton>(IDC_DONE),
    MapCommand<&CScanDlg::OnDownload>(IDC_SUITE_LINK),
    MapCommand<&CScanDlg::OnUtilityLink>(IDC_UTILITY_LINK),
END_MESSAGE_MAP();
// clang-format on

int QueryMachineValue(const char* subKey, const char* valueName, char* buffer, DWORD bufferSize) {
  return ReadRegistryText(HKEY_LOCAL_MACHINE, subKey, valueName, buffer, bufferSize) != RegistryRead::Absent;
}

int MakeDialogFont(CFont& font, int height, int weight, BYTE underline, BYTE italic) {
  HFONT source = dialogShared.mainDialog ? dialogShared.mainDialog->GetFont() : nullptr;
  if (!source) source = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
  LOGFONTA record = {};
  ::GetObjectA(source, sizeof record, &record);
  record.lfHeight = height;
  record.lfWeight = weight;
  record.lfUnderline = underline;
  record.lfItalic = italic;
  font.CreateFontIndirect(&record);
  return 1;
}

CScanDlg::CScanDlg(CWnd* parent)
    : CDialog(IDD_SCAN_DIALOG, parent), m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDI_PROGRAM) : nullptr) {}

CScanDlg::~CScanDlg() {
  if (dialogShared.mainDialog == this) dialogShared.mainDialog = nullptr;
  if (m_previousBitmap) m_skinDC.SelectObject(m_previousBitmap);
  m_skinDC.DeleteDC();
  if (m_skinBitmap) ::DeleteObject(m_skinBitmap);
}

void CScanDlg::DoDataExchange(CDataExchange* exchange) {
  CDialog::DoDataExchange(exchange);
  DDX_Control(exchange, IDC_REPORT_FRAME, m_reportFrame);
  DDX_Control(exchange, IDC_LOGO, m_logo);
  DDX_Control(exchange, IDC_UTILITY_LINK, m_utilityLink);
  DDX_Control(exchange, IDC_SUITE_LINK, m_suiteLink);
  DDX_Control(exchange, IDC_SEARCHING_LINE, m_searchingLine);
  DDX_Control(exchange, IDC_SUITE_LINE, m_suiteLine);
  DDX_Control(exchange, IDC_HEADLINE, m_headline);
  DDX_Control(exchange, IDC_NOTICE_LINE, m_noticeLine);
  DDX_Control(exchange, IDC_SUB_TITLE, m_subTitle);
  DDX_Control(exchange, IDCANCEL, m_cancelButton);
  DDX_Control(exchange, IDC_STATUS_FRAME, m_statusFrame);
  DDX_Control(exchange, IDC_STATUS_LINE, m_statusLine);
  DDX_Control(exchange, IDC_REPORT_LIST, m_reportList);
  DDX_Control(exchange, IDC_CLOSE_BOX, m_closeBox);
  DDX_Control(exchange, IDC_DOWNLOAD, m_downloadButton);
  DDX_Control(exchange, IDC_SCAN, m_scanButton);
  DDX_Control(exchange, IDC_DONE, m_doneButton);
}

BOOL CScanDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  HideScanControls();
  dialogShared.mainDialog = this;
  MakeDialogFont(dialogShared.boldFont, BOLD_FONT_HEIGHT, FW_BOLD, FALSE, FALSE);
  SetWelcomeTexts();
  {
    CClientDC dc(this);
    dialogShared.highDpi = dc.GetDeviceCaps(LOGPIXELSX) >= HIGH_DPI;
  }
  // The template's client area is laid onto the fixed pixel plan, whatever
  // the screen's resolution and font size.
  ScaleChildWindows(m_hWnd, PLAN_WIDTH, PLAN_HEIGHT, FALSE);
  MoveWindow(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT);
  CheckSuite();
  if (!dialogShared.whiteBrush.m_hObject) dialogShared.whiteBrush.CreateSolidBrush(WHITE);
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  // A window menu with Minimize on the task bar, although there is no caption.
  ModifyStyle(0, WS_SYSMENU | WS_MINIMIZEBOX);
  LoadSkinPicture();
  LoadButtonSkins();
  SetWindowText(PROGRAM_TITLE);
  GiveHandCursors();
  return TRUE;
}

void CScanDlg::HideScanControls() {
  m_statusLine.ShowWindow(SW_HIDE);
  m_statusFrame.ShowWindow(SW_HIDE);
  m_searchingLine.ShowWindow(SW_HIDE);
  m_reportList.ShowWindow(SW_HIDE);
  m_reportFrame.ShowWindow(SW_HIDE);
  m_cancelButton.ShowWindow(SW_HIDE);
  m_doneButton.EnableWindow(FALSE);
  m_doneButton.ShowWindow(SW_HIDE);
}

void CScanDlg::SetWelcomeTexts() {
  char text[WELCOME_TEXT_SIZE];
  FormatText(text, sizeof text, "%s - Tool to detect and remove all the variants of %s Trojan", PROGRAM_TITLE,
             FAMILY_NAME);
  m_headline.SetWindowText(text);
  FormatText(text, sizeof text, "for %s Trojan", FAMILY_NAME);
  m_subTitle.SetWindowText(text);
  m_noticeLine.SetWindowText(NOTICE_TEXT);
  m_suiteLine.SetWindowText(SUITE_TEXT);
}

void CScanDlg::CheckSuite() {
  char installedFolder[SUITE_VALUE_SIZE] = {};
  if (QueryMachineValue(SUITE_KEY, SUITE_VALUE, installedFolder, sizeof installedFolder)) {
    m_suiteLink.EnableWindow(FALSE);
    m_suiteLink.ShowWindow(SW_HIDE);
    m_downloadButton.EnableWindow(FALSE);
  } else {
    m_suiteLine.ShowWindow(SW_HIDE);
  }
}

// Without the skin there is no region (the window keeps its rectangle) and
// painting copies nothing.
void CScanDlg::LoadSkinPicture() {
  m_skinBitmap = static_cast<HBITMAP>(
      ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_SKIN), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  m_region = RegionFromBitmap(m_skinBitmap, SKIN_KEY_COLOUR, TRUE);
  if (m_region && !SetWindowRgn(m_region, TRUE)) {
    ::DeleteObject(m_region);
    m_region = nullptr;
  }
  if (!m_skinBitmap) return;
  ::GetObjectA(m_skinBitmap, sizeof m_skinInfo, &m_skinInfo);
  if (m_skinDC.CreateCompatibleDC(nullptr)) m_previousBitmap = m_skinDC.SelectObject(m_skinBitmap);
}

void CScanDlg::LoadButtonSkins() {
  m_doneButton.LoadSkin(IDC_DONE, this);
  m_cancelButton.LoadSkin(IDCANCEL, this);
  m_scanButton.LoadSkin(IDC_SCAN, this);
  m_downloadButton.LoadSkin(IDC_DOWNLOAD, this);
  m_closeBox.LoadSkin(IDC_CLOSE_BOX, this);
  m_utilityLink.LoadSkin(IDC_UTILITY_LINK, this);
  m_suiteLink.LoadSkin(IDC_SUITE_LINK, this);
  m_logo.LoadSkin(IDC_LOGO, this);
}

// Every button but the logo shows the hand.
void CScanDlg::GiveHandCursors() {
  m_scanButton.LoadHandCursor();
  m_closeBox.LoadHandCursor();
  m_downloadButton.LoadHandCursor();
  m_doneButton.LoadHandCursor();
  m_cancelButton.LoadHandCursor();
  m_suiteLink.LoadHandCursor();
  m_utilityLink.LoadHandCursor();
}

// Enter does nothing.
void CScanDlg::OnOK() {}

void CScanDlg::OnCancel() {
  if (!dialogShared.scanning) {
    CDialog::OnCancel();
    return;
  }
  AskToStop(PROGRAM_TITLE);
}

void CScanDlg::OnCloseButton() {
  if (!dialogShared.scanning) {
    CDialog::OnCancel();
    return;
  }
  AskToStop(CLOSE_BOX_TITLE);
}

// The run sees stopRequested at its next test and returns; OK shows at once.
void CScanDlg::AskToStop(const char* title) {
  if (SkinMessageBox(STOP_QUESTION, title, QUESTION_YES_NO) != IDYES) return;
  m_cancelButton.ShowWindow(SW_HIDE);
  m_doneButton.ShowWindow(SW_SHOW);
  scanState.stopRequested = true;
}

void CScanDlg::OnDoneButton() { CDialog::OnOK(); }

void CScanDlg::OnScan() {
  dialogShared.scanning = true;
  m_scanButton.EnableWindow(FALSE);
  m_utilityLink.EnableWindow(FALSE);
  m_utilityLink.ShowWindow(SW_HIDE);
  m_suiteLink.EnableWindow(FALSE);
  m_suiteLink.ShowWindow(SW_HIDE);
  m_cancelButton.EnableWindow(TRUE);
  m_cancelButton.ShowWindow(SW_SHOW);
  m_doneButton.EnableWindow(TRUE);
  m_headline.ShowWindow(SW_HIDE);
  m_suiteLine.ShowWindow(SW_HIDE);
  m_noticeLine.ShowWindow(SW_HIDE);
  ShowScanControls();
  CopyText(scanState.scanTarget, sizeof scanState.scanTarget, ALL_FIXED_DRIVES);
  scanState.notifyWindow = m_hWnd;
  scanState.disposalChoice = DISPOSE_DELETE;
  SetTimer(SCAN_TIMER_ID, SCAN_TIMER_PERIOD_MS);
}

void CScanDlg::ShowScanControls() {
  m_searchingLine.ShowWindow(SW_SHOW);
  m_reportList.ShowWindow(SW_SHOW);
  m_statusLine.ShowWindow(SW_SHOW);
  m_statusFrame.ShowWindow(SW_SHOW);
  m_reportFrame.ShowWindow(SW_SHOW);
  m_statusFrame.SetWindowText(SCANNING_CAPTION);
  m_cancelButton.ShowWindow(SW_SHOW);
  char searching[WELCOME_TEXT_SIZE];
  FormatText(searching, sizeof searching, "Searching for %s Trojan and its variants", FAMILY_NAME);
  m_searchingLine.SetWindowText(searching);
  if (!m_searchingFont.m_hObject) {
    m_searchingFont.CreateFont(SEARCHING_FONT_HEIGHT, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, SEARCHING_FONT_FACE);
  }
  m_searchingLine.SetFont(&m_searchingFont, TRUE);
}

// The scan runs to its end inside the first tick; the dialog's handlers run
// nested in it while it pumps messages.
void CScanDlg::OnTimer(UINT_PTR timerId) {
  CDialog::OnTimer(timerId);
  KillTimer(SCAN_TIMER_ID);
  scanState.stopRequested = false;
  RunScan();
  m_cancelButton.ShowWindow(SW_HIDE);
  m_doneButton.ShowWindow(SW_SHOW);
  m_searchingLine.ShowWindow(SW_HIDE);
  m_statusFrame.SetWindowText("");
  dialogShared.scanning = false;
}

// Also reached when the platform enables or disables the dialog (the message
// number is WM_ENABLE's): it only shows the status text again. While the walk
// runs, the status line paints at the display's pace; the final status
// (written once keepList is set), a text shown while a question disables the
// dialog, and any text outside a scan are painted at once.
LRESULT CScanDlg::OnStatusText(WPARAM, LPARAM) {
  const bool questionOpen = (GetStyle() & WS_DISABLED) != 0;
  const bool paintNow = scanState.keepList || !dialogShared.scanning || questionOpen;
  m_statusLine.ShowText(BoundedText(scanState.currentFile), paintNow);
  return 0;
}

// A line comes with each detection: what the status line holds is painted
// first, so that the file stands there with its line.
LRESULT CScanDlg::OnReportLine(WPARAM, LPARAM) {
  m_statusLine.PaintPending();
  // The list draws once for the line, with the next message, rather than at
  // each of the changes below (each redraws its scroll bars at once).
  m_reportList.SendMessage(WM_SETREDRAW, FALSE);
  if (m_reportList.GetCount() >= REPORT_LIST_LIMIT && !scanState.keepList) m_reportList.ResetContent();
  m_reportList.AddString(BoundedText(scanState.reportLine));
  const int count = m_reportList.GetCount();
  if (count > 2) m_reportList.SetCurSel(count - 1);
  UpdateListExtent();
  m_reportList.SendMessage(WM_SETREDRAW, TRUE);
  m_reportList.Invalidate();
  return 0;
}

// The widest line, measured in the platform's default font; the horizontal
// scroll bar appears only for lines wider than the threshold and never shrinks.
void CScanDlg::UpdateListExtent() {
  LONG widest = 0;
  {
    CClientDC dc(&m_reportList);
    const int count = m_reportList.GetCount();
    for (int index = 0; index < count; ++index) {
      const CString line = m_reportList.GetText(index);
      const CSize size = dc.GetTextExtent(line, line.GetLength());
      if (size.cx > widest) widest = size.cx;
    }
  }
  if (m_reportList.GetHorizontalExtent() < widest && widest > EXTENT_THRESHOLD)
    m_reportList.SetHorizontalExtent(static_cast<int>(widest * 3 / 4));
}

HBRUSH CScanDlg::OnCtlColor(CDC* dc, CWnd* control, UINT kind) {
  HBRUSH brush = CDialog::OnCtlColor(dc, control, kind);
  dc->SetBkMode(TRANSPARENT);
  if (control && control->GetDlgCtrlID() == IDC_SUB_TITLE) return brush;
  if (kind == CTLCOLOR_DLG || kind == CTLCOLOR_STATIC) return dialogShared.whiteBrush;
  return brush;
}

void CScanDlg::OnPaint() {
  CPaintDC dc(this);
  dc.BitBlt(0, 0, m_skinInfo.bmWidth, m_skinInfo.bmHeight, &m_skinDC, 0, 0, SRCCOPY);
}

void CScanDlg::OnMove(int x, int y) { CDialog::OnMove(x, y); }

// A press on the body drags the captionless window.
void CScanDlg::OnLButtonDown(UINT keys, CPoint point) {
  PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
  CDialog::OnLButtonDown(keys, point);
}

void CScanDlg::OnLButtonUp(UINT keys, CPoint point) { CDialog::OnLButtonUp(keys, point); }

void CScanDlg::OnDownload() { OpenAddress(DOWNLOAD_PAGE); }

void CScanDlg::OnUtilityLink() { OpenAddress(UTILITY_PAGE); }
