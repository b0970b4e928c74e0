#include "framework/Controls.h"

#include <vector>

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

std::string CListBox::GetText(int index) const {
  const int length = GetTextLen(index);
  if (length <= 0) return std::string();
  // Room for the terminator; the list writes at most length characters.
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (copied <= 0 || copied > length) return std::string();
  return std::string(buffer.data(), static_cast<std::size_t>(copied));
}
