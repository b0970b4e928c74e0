#include "controls/SkinButton.h"

#include "common/Text.h"

namespace {

constexpr char FOCUS_SUFFIX[] = "_FOCUS";
constexpr char NOT_FOCUS_SUFFIX[] = "_NOTFOCUS";
constexpr char DISABLED_SUFFIX[] = "_DISABLE";
// Room for a resource name made of a caption and a suffix.
constexpr std::size_t BITMAP_NAME_SIZE = 128;
constexpr UINT RESIZE_ONLY = SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

}  // namespace

BOOL CSkinButton::LoadSkin(UINT id, CWnd* parent) {
  if (!m_hWnd && !SubclassDlgItem(id, parent)) return FALSE;
  const CString caption = GetWindowText();
  if (caption.IsEmpty()) return FALSE;
  char focusName[BITMAP_NAME_SIZE];
  char notFocusName[BITMAP_NAME_SIZE];
  char disabledName[BITMAP_NAME_SIZE];
  // A caption too long for the names names no bitmap of the program.
  if (!FormatText(focusName, sizeof focusName, "%s%s", caption.GetString(), FOCUS_SUFFIX) ||
      !FormatText(notFocusName, sizeof notFocusName, "%s%s", caption.GetString(), NOT_FOCUS_SUFFIX) ||
      !FormatText(disabledName, sizeof disabledName, "%s%s", caption.GetString(), DISABLED_SUFFIX))
    return FALSE;
  LoadStateBitmaps(focusName, notFocusName, disabledName);
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
