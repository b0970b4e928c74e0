#pragma once
#include <windows.h>

#include "framework/Wnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};

// Binds control (a member of the dialog) to the dialog's item id the first time
// data is exchanged: the control object subclasses the item, so its own message
// map runs. An item that does not exist leaves the object unbound.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

// A modal dialog made from a dialog template of the program's resources.
// IDOK, IDCANCEL, the Esc key and the close box reach the virtual OnOK and
// OnCancel; OnInitDialog runs the data exchange that binds the controls.
class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)

 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);

  // Runs the dialog until EndDialog; returns its result, or -1 when the dialog
  // could not be made. The owner is the parent, else the application's main
  // window; it is disabled while the dialog runs.
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

 protected:
  virtual void DoDataExchange(CDataExchange* exchange);
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

  bool RouteCommand(UINT id) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  BOOL HandleInitDialog();

  UINT m_templateId;
  CWnd* m_pParentWnd;

  DECLARE_MESSAGE_MAP()
};
