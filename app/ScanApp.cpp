#include "app/ScanApp.h"

#include <windows.h>

#include "app/ScanDlg.h"
#include "common/ProgramTexts.h"
#include "framework/MessageCrackers.h"

// The program's global objects, in their order of construction: the
// application, then the shared bold font (its handle is made by the main
// dialog and deleted at exit).
CScanApp theApp;
CFont boldFont;

const MessageMapEntry CScanApp::messageEntries[] = {
    MapCommand<&CWinApp::OnHelp>(ID_HELP),
    END_OF_MESSAGE_MAP,
};
const MessageMap CScanApp::messageMap = {&CCmdTarget::messageMap, CScanApp::messageEntries};

const MessageMap* CScanApp::GetMessageMap() const { return &messageMap; }

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
