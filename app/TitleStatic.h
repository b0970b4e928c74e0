#pragma once
#include <windows.h>

#include "framework/Controls.h"

// The main dialog's sub-title: its window text in the shared bold font, white
// on the blue of the skin's title band, centred both ways.
class CTitleStatic : public CStatic {
 public:
  CTitleStatic();

  void OnPaint();

 private:
  CString m_text;
  CRect m_clientRect;
  COLORREF m_textColour;

  DECLARE_MESSAGE_MAP()
};

// The blue of the skin's title band, behind the sub-title.
inline constexpr COLORREF TITLE_BAND_COLOUR = RGB(2, 77, 246);
