#include "app/TitleStatic.h"

#include "app/AppShared.h"
#include "framework/MessageCrackers.h"

const MessageMapEntry CTitleStatic::messageEntries[] = {
    MapPaint<&CTitleStatic::OnPaint>(),
    END_OF_MESSAGE_MAP,
};
const MessageMap CTitleStatic::messageMap = {&CStatic::messageMap, CTitleStatic::messageEntries};

CTitleStatic::CTitleStatic() : m_textColour(RGB(255, 255, 255)) {}

const MessageMap* CTitleStatic::GetMessageMap() const { return &messageMap; }

void CTitleStatic::OnPaint() {
  CPaintDC dc(this);
  GetClientRect(m_clientRect);
  m_text = GetWindowText();
  dc.SetTextColor(m_textColour);
  HGDIOBJ previousFont = dc.SelectObject(&boldFont);
  dc.SetBkColor(TITLE_BAND_COLOUR);
  dc.DrawText(m_text.GetString(), m_clientRect, DT_CENTER | DT_VCENTER);
  if (previousFont) dc.SelectObject(previousFont);
}
