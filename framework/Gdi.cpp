#include "framework/Gdi.h"

#include "framework/WinApp.h"
#include "framework/Wnd.h"

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ object) {
  DeleteObject();
  m_hObject = object;
  return object != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ object = m_hObject;
  m_hObject = nullptr;
  return object;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int size, void* buffer) const {
  return m_hObject ? ::GetObjectA(m_hObject, size, buffer) : 0;
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) { return Attach(::CreateFontIndirectA(logFont)); }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                       BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                       BYTE pitchAndFamily, const char* faceName) {
  return Attach(::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                              outPrecision, clipPrecision, quality, pitchAndFamily, faceName));
}

BOOL CBitmap::LoadMappedBitmap(const char* name) {
  return Attach(::LoadImageA(AfxGetResourceHandle(), name, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

BOOL CBrush::CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }

CDC::~CDC() { DeleteDC(); }

BOOL CDC::Attach(HDC dc) {
  m_hDC = dc;
  return dc != nullptr;
}

HDC CDC::Detach() {
  HDC dc = m_hDC;
  m_hDC = nullptr;
  return dc;
}

BOOL CDC::CreateCompatibleDC(const CDC* other) {
  DeleteDC();
  return Attach(::CreateCompatibleDC(other ? other->m_hDC : nullptr));
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  return ::DeleteDC(Detach());
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) { return m_hDC && object ? ::SelectObject(m_hDC, object) : nullptr; }

BOOL CDC::BitBlt(int x, int y, int width, int height, const CDC* source, int sourceX, int sourceY, DWORD rop) {
  return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sourceX, sourceY, rop);
}

COLORREF CDC::SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }

COLORREF CDC::SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }

int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }

int CDC::DrawText(const char* text, LPRECT rect, UINT format) { return ::DrawTextA(m_hDC, text, -1, rect, format); }

CSize CDC::GetTextExtent(const char* text, int length) const {
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(m_hDC, text, length, &size);
  return CSize(size.cx, size.cy);
}

int CDC::GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }

CPaintDC::~CPaintDC() {
  Detach();
  ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }

CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}
