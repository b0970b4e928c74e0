#include "framework/Controls.h"

#include <cstdlib>

const CRuntimeClass CButton::classCButton = {"CButton", sizeof(CButton), &CWnd::classCWnd};
const CRuntimeClass CStatic::classCStatic = {"CStatic", sizeof(CStatic), &CWnd::classCWnd};
const CRuntimeClass CListBox::classCListBox = {"CListBox", sizeof(CListBox), &CWnd::classCWnd};

const CRuntimeClass* CButton::GetRuntimeClass() const { return &classCButton; }

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  if (result) *result = TRUE;
  return TRUE;
}

const CRuntimeClass* CStatic::GetRuntimeClass() const { return &classCStatic; }

const CRuntimeClass* CListBox::GetRuntimeClass() const { return &classCListBox; }

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
