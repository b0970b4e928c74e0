#pragma once
#include <windows.h>

#include "controls/SkinButton.h"

// The main dialog's bitmap button: it may carry its own mouse cursor, the
// hand of the platform's help viewer.
class CExButton : public CSkinButton {
  DECLARE_DYNAMIC(CExButton)

 public:
  ~CExButton() override;

  // Copies cursor resource 106 of "<Windows folder>\winhlp32.exe" as the
  // button's own cursor, once; leaves the button without one when the file
  // or the cursor is missing.
  void LoadHandCursor();
  HCURSOR Cursor() const { return m_hCursor; }

  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT mouseMessage);

 private:
  HCURSOR m_hCursor = nullptr;

  DECLARE_MESSAGE_MAP()
};
