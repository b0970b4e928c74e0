#pragma once
#include <windows.h>

#include "framework/Controls.h"
#include "framework/Gdi.h"

// What the two bitmap button classes share: an owner-drawn button that shows
// its focus picture while lit (mouse over it, or keyboard focus), its disabled
// picture while disabled and dark, and its not-focus picture otherwise. The
// pictures are the bitmap resources named after the button's caption with
// "_FOCUS", "_NOTFOCUS" and "_DISABLE"; the button takes the size of the
// not-focus picture. The button notices the mouse leaving by holding the
// mouse capture while lit.
class CSkinButton : public CButton {
 public:
  // Binds the button to the parent's item id (unless bound already) and loads
  // the pictures named after its caption. False for a missing item or an empty
  // caption; true otherwise, whether or not the pictures exist.
  BOOL LoadSkin(UINT id, CWnd* parent);
  // Loads the three pictures; the focus and not-focus ones are required, the
  // disabled one is optional. Sizes the button to the not-focus picture.
  BOOL LoadStateBitmaps(const char* focusName, const char* notFocusName, const char* disabledName);
  // Sizes the window to the not-focus picture and sets the hover rectangle.
  BOOL FitToBitmap();
  void DrawItem(LPDRAWITEMSTRUCT item) override;

  bool IsLit() const { return m_highlight == 1; }
  const CRect& HoverRect() const { return m_hoverRect; }

  void OnMouseMove(UINT keys, CPoint point);
  void OnKillFocus(CWnd* next);
  void OnSetFocus(CWnd* previous);

 protected:
  int m_highlight = 0;
  CRect m_hoverRect;
  CBitmap m_disabledBitmap;
  CBitmap m_notFocusBitmap;
  CBitmap m_focusBitmap;
};
