#pragma once
#include "framework/WinApp.h"

// The application: one copy at a time, running the main dialog modally.
class CScanApp : public CWinApp {
 public:
  // Ends at once, silently, when a top-level window titled with the program
  // title exists already; otherwise runs the main dialog until it closes.
  // Always FALSE: the program ends when the dialog closes.
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

extern CScanApp theApp;
