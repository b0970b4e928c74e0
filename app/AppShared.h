#pragma once
#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Gdi.h"

// Program-wide values the program's dialogs share. The main dialog makes them
// and sets them; the bold font is defined with the application object, so
// that it is constructed after it.
extern CFont boldFont;        // the sub-title's font, made by the main dialog
extern CBrush whiteBrush;     // background of the dialog and its statics
extern CDialog* mainDialog;   // font source and owner of the message dialog
extern int highDpiFlag;       // 1 at 120 or more logical pixels per inch
extern int scanningFlag;      // 1 from SCAN until the scan run returns

// Makes font a variant of the main dialog's font (the system font when the
// dialog reports none) with the given height, weight, underline and italic.
// Returns 1.
int MakeDialogFont(CFont& font, int height, int weight, BYTE underline, BYTE italic);
