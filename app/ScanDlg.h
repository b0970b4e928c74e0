#pragma once
#include <windows.h>

#include "app/AppShared.h"
#include "app/StatusLine.h"
#include "app/TitleStatic.h"
#include "common/ResourceIds.h"
#include "controls/ExButton.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"

// The main dialog: a captionless, skinned window. SCAN starts the one scan
// of the program run from a timer; the engine's notifications fill the status
// line and the report list; CANCEL, X and Esc ask before they stop a scan.
class CScanDlg : public CDialog {
 public:
  explicit CScanDlg(CWnd* parent = nullptr);
  ~CScanDlg() override;

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  LRESULT OnStatusText(WPARAM, LPARAM);
  LRESULT OnReportLine(WPARAM, LPARAM);
  void OnTimer(UINT_PTR timerId);
  void OnPaint();
  void OnScan();
  void OnCloseButton();
  void OnDownload();
  HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind);
  void OnMove(int x, int y);
  void OnLButtonDown(UINT keys, CPoint point);
  void OnLButtonUp(UINT keys, CPoint point);
  void OnDoneButton();
  void OnUtilityLink();

  void UpdateListExtent();
  void AskToStop(const char* title);
  void HideScanControls();
  void SetWelcomeTexts();
  void CheckSuite();
  void LoadSkinPicture();
  void LoadButtonSkins();
  void GiveHandCursors();
  void ShowScanControls();

  CButton m_reportFrame;
  CExButton m_logo;
  CExButton m_utilityLink;
  CExButton m_suiteLink;
  CStatic m_searchingLine;
  CStatic m_suiteLine;
  CStatic m_headline;
  CStatic m_noticeLine;
  CTitleStatic m_subTitle;
  CExButton m_cancelButton;
  CButton m_statusFrame;
  CStatusLine m_statusLine;
  CListBox m_reportList;
  CExButton m_closeBox;
  CExButton m_downloadButton;
  CExButton m_scanButton;
  CExButton m_doneButton;
  HICON m_hIcon;
  // The skin: its bitmap, selected into a memory drawing context for painting.
  HBITMAP m_skinBitmap = nullptr;
  CDC m_skinDC;
  HGDIOBJ m_previousBitmap = nullptr;
  HRGN m_region = nullptr;  // owned by the window once set
  BITMAP m_skinInfo = {};
  // The font of the searching line, kept as long as the line shows it.
  CFont m_searchingFont;

  DECLARE_MESSAGE_MAP()
};

// Non-zero when the value exists under HKEY_LOCAL_MACHINE\subKey and can be
// read; the data goes into buffer (bufferSize bytes), never beyond it, and is
// always terminated. A value larger than the buffer still counts as present.
int QueryMachineValue(const char* subKey, const char* valueName, char* buffer, DWORD bufferSize);

// The scan timer and the dialog's fixed pixel plan.
inline constexpr UINT_PTR SCAN_TIMER_ID = 100;
inline constexpr UINT SCAN_TIMER_PERIOD_MS = 100;
inline constexpr int PLAN_WIDTH = 600;
inline constexpr int PLAN_HEIGHT = 337;
inline constexpr int WINDOW_WIDTH = 600;
inline constexpr int WINDOW_HEIGHT = 462;
// The report list holds this many lines between resets (until keepList).
inline constexpr int REPORT_LIST_LIMIT = 150;
// Lines measured wider than this get a horizontal scroll bar.
inline constexpr int EXTENT_THRESHOLD = 560;
// The maker's suite, whose presence changes the download links.
inline constexpr char SUITE_KEY[] = "Software\\Halvex\\Calvorin 2000";
inline constexpr char SUITE_VALUE[] = "Installed Folder";
inline constexpr DWORD SUITE_VALUE_SIZE = 300;
// The maker's web site and its two pages.
inline constexpr char SITE_ADDRESS[] = "https://www.example.com";
inline constexpr char DOWNLOAD_PAGE[] = "/download/downloadnow.htm";
inline constexpr char UTILITY_PAGE[] = "/download/utility.htm";
