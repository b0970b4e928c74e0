#pragma once
#include <windows.h>

class CWnd;

struct CPoint : POINT {
  CPoint() : POINT{0, 0} {}
  CPoint(LONG px, LONG py) : POINT{px, py} {}
};

struct CSize : SIZE {
  CSize() : SIZE{0, 0} {}
  CSize(LONG width, LONG height) : SIZE{width, height} {}
};

struct CRect : RECT {
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  bool PtInRect(POINT point) const { return ::PtInRect(this, point) != FALSE; }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
};

// A GDI object the wrapper owns: deleted when the wrapper dies or gets another.
class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject();
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ m_hObject = nullptr;

  // Takes ownership of object; a handle held before is deleted first.
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int size, void* buffer) const;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTA* logFont);
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, const char* faceName);
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
 public:
  // Loads a bitmap resource of the program with the 3-D colour mapping.
  BOOL LoadMappedBitmap(const char* name);
  int GetBitmap(BITMAP* info) const { return GetObject(sizeof(BITMAP), info); }
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CBrush : public CGdiObject {
 public:
  BOOL CreateSolidBrush(COLORREF colour);
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

// A drawing context. One made by CreateCompatibleDC is deleted with the object;
// one attached to a handle is given back by Detach.
class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC m_hDC = nullptr;

  BOOL Attach(HDC dc);
  HDC Detach();
  HDC GetSafeHdc() const { return m_hDC; }
  // A memory drawing context compatible with other (with the screen when null).
  BOOL CreateCompatibleDC(const CDC* other);
  BOOL DeleteDC();

  HGDIOBJ SelectObject(HGDIOBJ object);
  HGDIOBJ SelectObject(const CGdiObject* object) { return SelectObject(object->m_hObject); }
  BOOL BitBlt(int x, int y, int width, int height, const CDC* source, int sourceX, int sourceY, DWORD rop);
  COLORREF SetTextColor(COLORREF colour);
  COLORREF SetBkColor(COLORREF colour);
  int SetBkMode(int mode);
  int DrawText(const char* text, LPRECT rect, UINT format);
  CSize GetTextExtent(const char* text, int length) const;
  int GetDeviceCaps(int index) const;
};

// The drawing context of a WM_PAINT: BeginPaint to EndPaint.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps = {};

 private:
  HWND m_hWnd;
};

// The client-area drawing context of a window: GetDC to ReleaseDC.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};
