#pragma once
#include <windows.h>

#include "framework/CmdTarget.h"
#include "framework/Gdi.h"
#include "framework/String.h"

// A window object. Each object is bound to one window handle through the
// handle-to-object map; a bound window's messages run through the object's
// message map (most derived class first) and then through the window's own
// procedure, which the object keeps when it subclasses the window.
class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)

 public:
  CWnd() = default;
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }

  // The object bound to window, or nullptr.
  static CWnd* FromHandlePermanent(HWND window);
  // Binds the object to an existing window and routes its messages through
  // the object. False when the object is bound already, or the window is.
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  // Gives the window its own procedure back and unbinds the object.
  HWND UnsubclassWindow();

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The window's own procedure (the one that was there before subclassing).
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Default processing of the message being handled.
  LRESULT Default();
  // A notification of the parent reflected to the control it concerns.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Thin wrappers over the platform's window functions.
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
  int GetWindowText(char* buffer, int size) const { return ::GetWindowTextA(m_hWnd, buffer, size); }
  CString GetWindowText() const;
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  BOOL SetWindowPos(HWND after, int x, int y, int width, int height, UINT flags);
  void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) { return ::SetTimer(m_hWnd, id, milliseconds, nullptr); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
  }
  HFONT GetFont() const { return reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)); }
  void SetFont(const CFont* font, BOOL redraw = TRUE);
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add);
  HICON SetIcon(HICON icon, BOOL big);
  int SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }
  HWND SetFocus() { return ::SetFocus(m_hWnd); }
  HWND SetCapture() { return ::SetCapture(m_hWnd); }
  // Centres the window over alternateOwner (else its owner); over the work
  // area when that window is absent, hidden or minimised. Stays on the work area.
  void CenterWindow(const CWnd* alternateOwner = nullptr);

  // Handlers of the common messages; each runs default processing.
  void OnPaint() { Default(); }
  void OnTimer(UINT_PTR) { Default(); }
  void OnMove(int, int) { Default(); }
  void OnLButtonDown(UINT, CPoint) { Default(); }
  void OnLButtonUp(UINT, CPoint) { Default(); }
  void OnMouseMove(UINT, CPoint) { Default(); }
  void OnSetFocus(CWnd*) { Default(); }
  void OnKillFocus(CWnd*) { Default(); }
  BOOL OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
  HBRUSH OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }

 protected:
  // A click or a menu command: the own message map. Dialogs go on to the
  // application object.
  virtual bool RouteCommand(UINT id) { return OnCmdMsg(id); }

  WNDPROC m_pfnSuper = nullptr;

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool ReflectDrawItem(WPARAM wParam, LPARAM lParam, LRESULT& result);
  LRESULT HandleNcDestroy();

  DECLARE_MESSAGE_MAP()
};

// A wrapper over a window no object is bound to, valid for one handler call.
class CTempWnd : public CWnd {
 public:
  explicit CTempWnd(HWND window) { m_hWnd = window; }
  ~CTempWnd() override { m_hWnd = nullptr; }
};
