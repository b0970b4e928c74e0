#include "tests/app/TestDialog.h"

#include "framework/MessageCrackers.h"

// clang-format off
BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    MapCtlColor<&TestDialog::OnCtlColor>(),
END_MESSAGE_MAP();
// clang-format on

void TestDialog::DoDataExchange(CDataExchange* exchange) {
  DDX_Control(exchange, IDC_TEST_SKINNED, skinned);
  DDX_Control(exchange, IDC_TEST_SKINNED_TWIN, twin);
  DDX_Control(exchange, IDC_TEST_NO_DISABLED, noDisabled);
  DDX_Control(exchange, IDC_TEST_NO_FOCUS, noFocus);
  DDX_Control(exchange, IDC_TEST_TEXT, text);
  DDX_Control(exchange, IDC_TEST_LIST, list);
  if (bindMissing) DDX_Control(exchange, IDC_TEST_MISSING, missing);
}

BOOL TestDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  if (moveTo.x >= 0) SetWindowPos(nullptr, moveTo.x, moveTo.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return TRUE;
}

void TestDialog::OnOK() {
  ++okCalls;
  CDialog::OnOK();
}

void TestDialog::OnCancel() {
  ++cancelCalls;
  CDialog::OnCancel();
}

HBRUSH TestDialog::OnCtlColor(CDC* dc, CWnd* control, UINT kind) {
  colourKinds.push_back(kind);
  colourControlIds.push_back(control ? control->GetDlgCtrlID() : -1);
  colourControls.push_back(control);
  return CDialog::OnCtlColor(dc, control, kind);
}
