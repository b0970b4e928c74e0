#include "framework/Controls.h"

#include <cstdlib>

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  if (result) *result = TRUE;
  return TRUE;
}

CString CListBox::GetText(int index) const {
  const int length = GetTextLen(index);
  if (length <= 0) return CString();
  // Room for the terminator; the list writes at most length characters.
  char* buffer = static_cast<char*>(std::calloc(static_cast<std::size_t>(length) + 1, 1));
  if (!buffer) return CString();
  const int copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
  CString text(buffer, copied > 0 && copied <= length ? static_cast<std::size_t>(copied) : 0);
  std::free(buffer);
  return text;
}
