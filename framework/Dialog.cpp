#include "framework/Dialog.h"

#include "framework/MessageCrackers.h"
#include "framework/WinApp.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

// clang-format off
BEGIN_MESSAGE_MAP(CDialog, CWnd)
    MapCommand<&CDialog::OnOK>(IDOK),
    MapCommand<&CDialog::OnCancel>(IDCANCEL),
END_MESSAGE_MAP();
// clang-format on

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
  if (control.m_hWnd == nullptr) control.SubclassDlgItem(static_cast<UINT>(id), exchange->m_pDlgWnd);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal() {
  HWND owner = nullptr;
  if (m_pParentWnd) {
    owner = m_pParentWnd->m_hWnd;
  } else if (CWnd* main = AfxGetMainWnd(); main && main != this) {
    owner = main->m_hWnd;
  }
  return ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// Commands the dialog does not handle go on to the application object.
bool CDialog::RouteCommand(UINT id) {
  if (OnCmdMsg(id)) return true;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(id);
}

// The dialog procedure binds the object when the dialog is initialised; from
// then on the object's subclass procedure sees every message first and hands
// the rest to the dialog manager, which asks this procedure again: it answers
// FALSE (default processing) to everything but WM_INITDIALOG.
INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  auto* dialog = reinterpret_cast<CDialog*>(lParam);
  if (!dialog || !dialog->SubclassWindow(window)) return TRUE;
  return dialog->HandleInitDialog();
}

// A dialog that OnInitDialog neither showed nor moved is centred, as a dialog
// template placed at 0, 0 without a centring style would not be otherwise.
BOOL CDialog::HandleInitDialog() {
  CRect before;
  GetWindowRect(before);
  const BOOL result = OnInitDialog();
  if (!(GetStyle() & WS_VISIBLE)) {
    CRect after;
    GetWindowRect(after);
    if (after.left == before.left && after.top == before.top) CenterWindow();
  }
  return result;
}
