#include "framework/Wnd.h"

#include <cstdlib>

#include "framework/WinApp.h"

namespace {

// The windows bound to objects. They are few (a dialog and its controls, and
// a message dialog's over it), so a plain array, searched in full, serves.
// It lives for the program run.
class HandleMap {
 public:
  CWnd* Find(HWND window) const {
    for (std::size_t i = 0; i < count_; ++i)
      if (entries_[i].window == window) return entries_[i].object;
    return nullptr;
  }

  bool Add(HWND window, CWnd* object) {
    if (count_ == capacity_ && !Grow()) return false;
    entries_[count_++] = {window, object};
    return true;
  }

  void Remove(HWND window) {
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].window != window) continue;
      entries_[i] = entries_[--count_];
      return;
    }
  }

 private:
  struct Entry {
    HWND window;
    CWnd* object;
  };

  bool Grow() {
    const std::size_t capacity = capacity_ ? capacity_ * 2 : 32;
    void* grown = std::realloc(entries_, capacity * sizeof(Entry));
    if (!grown) return false;
    entries_ = static_cast<Entry*>(grown);
    capacity_ = capacity;
    return true;
  }

  Entry* entries_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

HandleMap handles;

// The message being handled, for Default(). Handlers nest (a modal loop inside
// a handler), so each call keeps the outer one and puts it back.
struct CurrentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

CurrentMessage current = {nullptr, 0, 0, 0};

class MessageScope {
 public:
  MessageScope(HWND window, UINT message, WPARAM wParam, LPARAM lParam) : outer_(current) {
    current = {window, message, wParam, lParam};
  }
  ~MessageScope() { current = outer_; }
  MessageScope(const MessageScope&) = delete;
  MessageScope& operator=(const MessageScope&) = delete;

 private:
  CurrentMessage outer_;
};

}  // namespace

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

// No entries of its own: messages no map takes go to the window's procedure.
// clang-format off
BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP();
// clang-format on

CWnd::~CWnd() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window) { return handles.Find(window); }

BOOL CWnd::SubclassWindow(HWND window) {
  if (m_hWnd || !window || !::IsWindow(window) || FromHandlePermanent(window)) return FALSE;
  if (!handles.Add(window, this)) return FALSE;
  m_hWnd = window;
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
  HWND window = m_hWnd;
  if (!window) return nullptr;
  // Only put the old procedure back when nobody has subclassed on top of us.
  const auto procedure = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC));
  if (m_pfnSuper && procedure == &CWnd::SubclassProc)
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  handles.Remove(window);
  m_hWnd = nullptr;
  m_pfnSuper = nullptr;
  return window;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* object = FromHandlePermanent(window);
  if (!object) return ::DefWindowProcA(window, message, wParam, lParam);
  MessageScope scope(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) return object->HandleNcDestroy();
  return object->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnWndMsg(message, wParam, lParam, result)) return result;
  return DefWindowProc(message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_DRAWITEM) return ReflectDrawItem(wParam, lParam, result);
  if (message == WM_COMMAND) {
    // Other notifications of controls get default processing.
    if (HIWORD(wParam) != BN_CLICKED) return false;
    result = 0;
    return RouteCommand(LOWORD(wParam));
  }
  return DispatchFromMap(message, wParam, lParam, result);
}

// Owner-draw goes to the control's own object (its DrawItem); a control
// without an object gets the parent's default processing.
bool CWnd::ReflectDrawItem(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (!item || item->CtlType == ODT_MENU) return false;
  CWnd* control = FromHandlePermanent(item->hwndItem);
  return control && control->OnChildNotify(WM_DRAWITEM, wParam, lParam, &result);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (current.window != m_hWnd) return 0;  // not inside one of this window's messages
  return DefWindowProc(current.message, current.wParam, current.lParam);
}

// The window's own procedure cleans up first; then the object lets go of the
// window, so that nothing refers to a handle that no longer exists.
LRESULT CWnd::HandleNcDestroy() {
  const LRESULT result = Default();
  UnsubclassWindow();
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
  return result;
}

CString CWnd::GetWindowText() const {
  const int length = ::GetWindowTextLengthA(m_hWnd);
  if (length <= 0) return CString();
  char* buffer = static_cast<char*>(std::calloc(static_cast<std::size_t>(length) + 1, 1));
  if (!buffer) return CString();
  const int copied = ::GetWindowTextA(m_hWnd, buffer, length + 1);
  CString text(buffer, copied > 0 && copied <= length ? static_cast<std::size_t>(copied) : 0);
  std::free(buffer);
  return text;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

BOOL CWnd::SetWindowPos(HWND after, int x, int y, int width, int height, UINT flags) {
  return ::SetWindowPos(m_hWnd, after, x, y, width, height, flags);
}

void CWnd::SetFont(const CFont* font, BOOL redraw) {
  ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
  const DWORD style = GetStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
  return TRUE;
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
  return reinterpret_cast<HICON>(
      ::SendMessageA(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

void CWnd::CenterWindow(const CWnd* alternateOwner) {
  HWND centre = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
  if (centre && (!::IsWindowVisible(centre) || ::IsIconic(centre))) centre = nullptr;
  RECT area;
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT over = area;
  if (centre) ::GetWindowRect(centre, &over);
  CRect own;
  GetWindowRect(own);
  LONG left = (over.left + over.right) / 2 - own.Width() / 2;
  LONG top = (over.top + over.bottom) / 2 - own.Height() / 2;
  if (left + own.Width() > area.right) left = area.right - own.Width();
  if (left < area.left) left = area.left;
  if (top + own.Height() > area.bottom) top = area.bottom - own.Height();
  if (top < area.top) top = area.top;
  SetWindowPos(nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
