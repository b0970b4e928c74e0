#pragma once
// A dialog of the test template with its controls bound, for tests of the
// framework and of the bitmap buttons run inside its modal loop.
#include <windows.h>

#include <vector>

#include "controls/ExButton.h"
#include "controls/NCExButton.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "tests/app/TestResources.h"

class TestDialog : public CDialog {
 public:
  TestDialog() : CDialog(IDD_TEST_DIALOG) {}

  CExButton skinned;
  NCExButton twin;
  CExButton noDisabled;
  CExButton noFocus;
  CExButton half;
  CStatic text;
  CListBox list;
  CStatic missing;

  bool bindMissing = false;
  POINT moveTo = {-1, -1};  // where OnInitDialog puts the dialog, when set
  int okCalls = 0;
  int cancelCalls = 0;
  std::vector<UINT> colourKinds;
  std::vector<int> colourControlIds;
  std::vector<const CWnd*> colourControls;

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind);

  DECLARE_MESSAGE_MAP()
};
