// The program's one way of asking the user: the skinned message dialog in
// place of the platform's message box, with the same flags and result codes.
#include "engine/SkinMessageBox.h"

#include <windows.h>

#include "app/MsgDlg.h"
#include "process/FileRedirection.h"

namespace {

// The flags are read bit by bit, as the design's dialog reads them: the OK
// bit before the Yes/No bits, and the warning icon (both low icon bits)
// before the information, question and error bits.
MessageMode ModeFor(int flags) {
  if (flags & MB_OKCANCEL) return MessageMode::OkCancel;
  if (flags & MB_YESNO) return MessageMode::YesNo;
  return MessageMode::PlainOk;
}

int IconBitmapFor(int flags) {
  if ((flags & MB_ICONWARNING) == MB_ICONWARNING) return IDB_ICON_WARNING;
  if (flags & MB_ICONINFORMATION) return IDB_ICON_INFORMATION;
  if (flags & MB_ICONQUESTION) return IDB_ICON_QUESTION;
  if (flags & MB_ICONERROR) return IDB_ICON_ERROR;
  return IDB_ICON_WARNING;
}

bool IsResultCode(INT_PTR result) { return result == IDOK || result == IDCANCEL || result == IDYES || result == IDNO; }

}  // namespace

int SkinMessageBox(const char* text, const char* title, int flags) {
  const RedirectedFileView redirected;  // a dialog may load libraries
  CMsgDlg dialog(nullptr);
  dialog.m_text = text ? text : "";
  dialog.m_title = title ? title : "";
  dialog.m_mode = ModeFor(flags);
  dialog.m_iconBitmapId = IconBitmapFor(flags);
  const INT_PTR result = dialog.DoModal();
  // A dialog that could not be shown answers as its close box would.
  if (!IsResultCode(result)) return dialog.m_mode == MessageMode::YesNo ? IDNO : IDCANCEL;
  return static_cast<int>(result);
}
