// The program's one way of asking the user: the skinned message dialog in
// place of the platform's message box, with the same flags and result codes.
#include "engine/SkinMessageBox.h"

#include <windows.h>

#include "app/MsgDlg.h"

namespace {

constexpr int OK_CANCEL_BIT = MB_OKCANCEL;  // 1
constexpr int YES_NO_BIT = 0x4;
constexpr int ICON_BITS = 0x30;             // both: the warning icon
constexpr int INFORMATION_BIT = 0x40;
constexpr int QUESTION_BIT = 0x20;
constexpr int ERROR_BIT = 0x10;

void ChooseMode(CMsgDlg& dialog, int flags) {
  if (flags & OK_CANCEL_BIT) {
    dialog.m_okCancelMode = 1;
  } else if (flags & YES_NO_BIT) {
    dialog.m_yesNoMode = 1;
  } else {
    dialog.m_plainOkMode = 1;
  }
}

int IconBitmapFor(int flags) {
  if ((flags & ICON_BITS) == ICON_BITS) return IDB_ICON_WARNING;
  if (flags & INFORMATION_BIT) return IDB_ICON_INFORMATION;
  if (flags & QUESTION_BIT) return IDB_ICON_QUESTION;
  if (flags & ERROR_BIT) return IDB_ICON_ERROR;
  return IDB_ICON_WARNING;
}

bool IsResultCode(INT_PTR result) {
  return result == IDOK || result == IDCANCEL || result == IDYES || result == IDNO;
}

}  // namespace

int SkinMessageBox(const char* text, const char* title, int flags) {
  CMsgDlg dialog(nullptr);
  dialog.m_text = text ? text : "";
  dialog.m_title = title ? title : "";
  ChooseMode(dialog, flags);
  dialog.m_iconBitmapId = IconBitmapFor(flags);
  const INT_PTR result = dialog.DoModal();
  // A dialog that could not be shown answers as its close box would.
  if (!IsResultCode(result)) return dialog.m_yesNoMode ? IDNO : IDCANCEL;
  return static_cast<int>(result);
}
