#pragma once
#include <windows.h>

// The program's one way of asking the user: the skinned message dialog.
// flags use the platform's message-box bits (MB_OKCANCEL, MB_YESNO, MB_ICON*);
// the result is a message-box code (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7).
// The application provides it; engine tests link a scripted one.
int SkinMessageBox(const char* text, const char* title, int flags);

// Flags of the program's questions: Yes/No with the question icon, and the
// OK/Cancel notice with the information icon (36 and 0x41).
inline constexpr int QUESTION_YES_NO = MB_YESNO | MB_ICONQUESTION;
inline constexpr int NOTICE_OK_CANCEL = MB_OKCANCEL | MB_ICONINFORMATION;
static_assert(QUESTION_YES_NO == 36 && NOTICE_OK_CANCEL == 0x41);
