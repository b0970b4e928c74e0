#include "app/TitleStatic.h"

#include "app/AppShared.h"
#include "framework/MessageCrackers.h"

// clang-format off
BEGIN_MESSAGE_MAP(CTitleStatic, CStatic)
    MapPaint<&CTitleStatic::OnPaint>(),
END_MESSAGE_MAP();
// clang-format on

CTitleStatic::CTitleStatic() : m_textColour(RGB(255, 255, 255)) {}

void CTitleStatic::OnPaint() {
  CPaintDC dc(this);
  GetClientRect(m_clientRect);
  m_text = GetWindowText();
  dc.SetTextColor(m_textColour);
  HGDIOBJ previousFont = dc.SelectObject(&dialogShared.boldFont);
  dc.SetBkColor(TITLE_BAND_COLOUR);
  dc.DrawText(m_text.GetString(), m_clientRect, DT_CENTER | DT_VCENTER);
  if (previousFont) dc.SelectObject(previousFont);
}
