#pragma once
#include <windows.h>

#include "framework/Dialog.h"
#include "framework/Gdi.h"

// Program-wide values the program's dialogs share. The main dialog makes and
// sets them. The record is defined with the application object, after it, so
// that its font and brush are constructed after it and deleted at exit.
struct DialogShared {
  CFont boldFont;                 // the sub-title's font
  CBrush whiteBrush;              // background of the dialog and its statics
  CDialog* mainDialog = nullptr;  // font source and owner of the message dialog
  bool highDpi = false;           // 120 or more logical pixels per inch
  bool scanning = false;          // from SCAN until the scan run returns
};
extern DialogShared dialogShared;
// For tests: deletes the font and the brush and clears the rest.
void ResetDialogShared();

// Makes font a variant of the main dialog's font (the system font when the
// dialog reports none) with the given height, weight, underline and italic.
// Returns 1.
int MakeDialogFont(CFont& font, int height, int weight, BYTE underline, BYTE italic);
