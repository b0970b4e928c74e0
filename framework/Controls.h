#pragma once
#include <windows.h>

#include "framework/Wnd.h"

// Push buttons, group boxes and other button-class controls. An owner-drawn
// button draws itself in DrawItem, which its parent's WM_DRAWITEM reaches.
class CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)

 public:
  virtual void DrawItem(LPDRAWITEMSTRUCT item);
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CStatic : public CWnd {
  DECLARE_DYNAMIC(CStatic)
};

class CListBox : public CWnd {
  DECLARE_DYNAMIC(CListBox)

 public:
  int GetCount() const { return Send(LB_GETCOUNT); }
  int AddString(const char* text) { return Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
  void ResetContent() { Send(LB_RESETCONTENT); }
  int SetCurSel(int index) { return Send(LB_SETCURSEL, static_cast<WPARAM>(index)); }
  int GetCurSel() const { return Send(LB_GETCURSEL); }
  int GetTextLen(int index) const { return Send(LB_GETTEXTLEN, static_cast<WPARAM>(index)); }
  // The text of a line; empty when the index is out of range.
  CString GetText(int index) const;
  int GetHorizontalExtent() const { return Send(LB_GETHORIZONTALEXTENT); }
  void SetHorizontalExtent(int extent) { Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent)); }

 private:
  int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(::SendMessageA(m_hWnd, message, wParam, lParam));
  }
};
