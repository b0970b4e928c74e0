#include "controls/ExButton.h"

#include <cstring>

#include "framework/MessageCrackers.h"

namespace {

constexpr char HELP_VIEWER[] = "\\winhlp32.exe";
constexpr WORD HAND_CURSOR_ID = 106;

}  // namespace

IMPLEMENT_DYNAMIC(CExButton, CButton)

// clang-format off
BEGIN_MESSAGE_MAP(CExButton, CButton)
    MapMouse<&CExButton::OnMouseMove>(WM_MOUSEMOVE),
    MapFocus<&CExButton::OnKillFocus>(WM_KILLFOCUS),
    MapFocus<&CExButton::OnSetFocus>(WM_SETFOCUS),
    MapSetCursor<&CExButton::OnSetCursor>(),
END_MESSAGE_MAP();
// clang-format on

CExButton::~CExButton() {
  if (m_hCursor) ::DestroyCursor(m_hCursor);
}

void CExButton::LoadHandCursor() {
  if (m_hCursor) return;
  char path[MAX_PATH];
  const UINT length = ::GetWindowsDirectoryA(path, sizeof path);
  if (length == 0 || length + sizeof HELP_VIEWER > sizeof path) return;
  std::memcpy(path + length, HELP_VIEWER, sizeof HELP_VIEWER);
  HMODULE viewer = ::LoadLibraryA(path);
  if (!viewer) return;
  if (HCURSOR hand = ::LoadCursorA(viewer, MAKEINTRESOURCEA(HAND_CURSOR_ID))) m_hCursor = ::CopyIcon(hand);
  ::FreeLibrary(viewer);
}

BOOL CExButton::OnSetCursor(CWnd* window, UINT hitTest, UINT mouseMessage) {
  if (m_hCursor) {
    ::SetCursor(m_hCursor);
    return TRUE;
  }
  return CSkinButton::OnSetCursor(window, hitTest, mouseMessage);
}
