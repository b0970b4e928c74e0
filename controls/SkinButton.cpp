#include "controls/SkinButton.h"

#include <string>

namespace {

constexpr char FOCUS_SUFFIX[] = "_FOCUS";
constexpr char NOT_FOCUS_SUFFIX[] = "_NOTFOCUS";
constexpr char DISABLED_SUFFIX[] = "_DISABLE";
constexpr UINT RESIZE_ONLY = SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

}  // namespace

BOOL CSkinButton::LoadSkin(UINT id, CWnd* parent) {
  if (!m_hWnd && !SubclassDlgItem(id, parent)) return FALSE;
  const std::string caption = GetWindowText();
  if (caption.empty()) return FALSE;
  LoadStateBitmaps((caption + FOCUS_SUFFIX).c_str(), (caption + NOT_FOCUS_SUFFIX).c_str(),
                   (caption + DISABLED_SUFFIX).c_str());
  return TRUE;
}

BOOL CSkinButton::LoadStateBitmaps(const char* focusName, const char* notFocusName, const char* disabledName) {
  m_focusBitmap.DeleteObject();
  m_notFocusBitmap.DeleteObject();
  m_disabledBitmap.DeleteObject();
  if (!m_focusBitmap.LoadMappedBitmap(focusName)) return FALSE;
  if (!m_notFocusBitmap.LoadMappedBitmap(notFocusName)) return FALSE;
  m_disabledBitmap.LoadMappedBitmap(disabledName);
  return FitToBitmap();
}

BOOL CSkinButton::FitToBitmap() {
  BITMAP picture;
  if (!m_notFocusBitmap.GetBitmap(&picture)) return FALSE;
  if (!SetWindowPos(nullptr, 0, 0, picture.bmWidth, picture.bmHeight, RESIZE_ONLY)) return FALSE;
  m_hoverRect = CRect(0, 0, picture.bmWidth, picture.bmHeight);
  return TRUE;
}

void CSkinButton::DrawItem(LPDRAWITEMSTRUCT item) {
  const CBitmap* picture = &m_notFocusBitmap;
  if (m_highlight == 1) {
    picture = &m_focusBitmap;
  } else if (item->itemState & ODS_DISABLED) {
    picture = &m_disabledBitmap;
  }
  CDC itemDC;
  itemDC.Attach(item->hDC);
  CDC memory;
  if (memory.CreateCompatibleDC(&itemDC)) {
    // A missing picture cannot be selected: nothing is drawn.
    if (HGDIOBJ previous = memory.SelectObject(picture)) {
      const RECT& area = item->rcItem;
      itemDC.BitBlt(area.left, area.top, area.right - area.left, area.bottom - area.top, &memory, 0, 0, SRCCOPY);
      memory.SelectObject(previous);
    }
  }
  itemDC.Detach();
}

void CSkinButton::OnMouseMove(UINT, CPoint point) {
  if (::GetCapture() != m_hWnd) {
    SetFocus();
    m_highlight = 1;
    SetCapture();
    Invalidate(FALSE);
  } else if (!m_hoverRect.PtInRect(point) && ::GetCapture() == m_hWnd) {
    ::ReleaseCapture();
    m_highlight = 0;
    Invalidate(FALSE);
  }
  Default();
}

void CSkinButton::OnKillFocus(CWnd*) {
  Default();
  m_highlight = 0;
  Invalidate(FALSE);
}

void CSkinButton::OnSetFocus(CWnd*) {
  Default();
  m_highlight = 1;
  Invalidate(FALSE);
}
