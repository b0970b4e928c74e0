#include "controls/NCExButton.h"

#include "framework/MessageCrackers.h"

IMPLEMENT_DYNAMIC(NCExButton, CButton)

// clang-format off
BEGIN_MESSAGE_MAP(NCExButton, CButton)
    MapMouse<&NCExButton::OnMouseMove>(WM_MOUSEMOVE),
    MapFocus<&NCExButton::OnKillFocus>(WM_KILLFOCUS),
    MapFocus<&NCExButton::OnSetFocus>(WM_SETFOCUS),
END_MESSAGE_MAP();
// clang-format on
