#include "framework/WinApp.h"

#include <cstring>

#include "framework/Wnd.h"

namespace {

CWinApp* theApplication = nullptr;

constexpr char HELP_FILE_EXTENSION[] = ".hlp";

}  // namespace

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleA(nullptr)) { theApplication = this; }

CWinApp::~CWinApp() {
  if (theApplication == this) theApplication = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return m_exitCode; }

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  m_exitCode = msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
  return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id)); }

void CWinApp::OnHelp() {
  char helpFile[MAX_PATH + sizeof HELP_FILE_EXTENSION];
  const DWORD length = ::GetModuleFileNameA(m_hInstance, helpFile, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* dot = std::strrchr(helpFile, '.');
  if (!dot || std::strchr(dot, '\\')) dot = helpFile + length;
  std::memcpy(dot, HELP_FILE_EXTENSION, sizeof HELP_FILE_EXTENSION);
  HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  ::WinHelpA(owner, helpFile, HELP_CONTENTS, 0);
}

CWinApp* AfxGetApp() { return theApplication; }

HINSTANCE AfxGetInstanceHandle() { return theApplication ? theApplication->m_hInstance : ::GetModuleHandleA(nullptr); }

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

CWnd* AfxGetMainWnd() { return theApplication ? theApplication->m_pMainWnd : nullptr; }

void AfxEnableControlContainer() {}

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
