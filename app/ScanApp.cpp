#include "app/ScanApp.h"

#include <windows.h>

#include "app/AppShared.h"
#include "app/ScanDlg.h"
#include "common/ProgramTexts.h"
#include "framework/MessageCrackers.h"

// The program's global objects, in their order of construction: the
// application, then what the dialogs share (the bold font and the white
// brush, whose handles the main dialog makes and which are deleted at exit).
CScanApp theApp;
DialogShared dialogShared;

void ResetDialogShared() {
  dialogShared.boldFont.DeleteObject();
  dialogShared.whiteBrush.DeleteObject();
  dialogShared.mainDialog = nullptr;
  dialogShared.highDpi = false;
  dialogShared.scanning = false;
}

// clang-format off
BEGIN_MESSAGE_MAP(CScanApp, CCmdTarget)
    MapCommand<&CWinApp::OnHelp>(ID_HELP),
END_MESSAGE_MAP();
// clang-format on

BOOL CScanApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControls();
  if (::FindWindowA(nullptr, PROGRAM_TITLE)) return FALSE;
  CScanDlg dialog(nullptr);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;  // the dialog object ends here, whether or not its window was made
  return FALSE;
}
