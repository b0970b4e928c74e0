#pragma once
#include <windows.h>

#include "framework/CmdTarget.h"

class CWnd;

// The framework's help command.
inline constexpr UINT ID_HELP = 0xE146;

// The application object: exactly one, a global constructed before the entry
// runs. The entry calls InitInstance; when it returns FALSE the program ends
// without entering the application's own message loop.
class CWinApp : public CCmdTarget {
 public:
  CWinApp();
  ~CWinApp() override;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // The message loop, when InitInstance returned TRUE; ends with WM_QUIT.
  virtual int Run();

  // Control containment and three-dimensional controls: the platform provides
  // both itself, so there is nothing to load.
  BOOL Enable3dControls() { return TRUE; }

  HICON LoadIcon(UINT id) const;
  // Opens the program's help file (the executable's name with ".hlp").
  void OnHelp();

  HINSTANCE m_hInstance;
  CWnd* m_pMainWnd = nullptr;

 private:
  int m_exitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The module that holds the program's resources: the executable.
HINSTANCE AfxGetResourceHandle();
CWnd* AfxGetMainWnd();
void AfxEnableControlContainer();

// The framework's part of the platform's entry point.
int AfxWinMain(HINSTANCE instance);
