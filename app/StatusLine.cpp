#include "app/StatusLine.h"

#include "framework/MessageCrackers.h"

namespace {

// The status line's own timer: it paints a waiting text.
constexpr UINT_PTR PENDING_PAINT_TIMER = 1;

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CStatusLine, CStatic)
    MapMessage<&CStatusLine::OnSetText>(WM_SETTEXT),
    MapTimer<&CStatusLine::OnTimer>(),
END_MESSAGE_MAP();
// clang-format on

void CStatusLine::ShowText(const char* text, bool paintNow) {
  SetWindowText(text);
  const DWORD sinceLastPaint = ::GetTickCount() - m_lastPaint;  // the counter's wrap is harmless
  if (paintNow || sinceLastPaint >= STATUS_FRAME_MS) {
    PaintNow();
    return;
  }
  m_paintPending = true;
  if (!m_timerSet) m_timerSet = SetTimer(PENDING_PAINT_TIMER, STATUS_FRAME_MS) != 0;
}

void CStatusLine::PaintPending() {
  if (m_paintPending) PaintNow();
}

// The default window procedure keeps the text; the static control's own
// handling would also paint it at once.
LRESULT CStatusLine::OnSetText(WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(m_hWnd, WM_SETTEXT, wParam, lParam);
}

// The timer ticks once a frame interval while texts keep coming, and paints a
// waiting text whose interval has passed; it stops once nothing waits. Set and
// stopped once a walk, not once a paint.
void CStatusLine::OnTimer(UINT_PTR) {
  if (!m_paintPending) {
    KillTimer(PENDING_PAINT_TIMER);
    m_timerSet = false;
    return;
  }
  if (::GetTickCount() - m_lastPaint >= STATUS_FRAME_MS) PaintNow();
}

// The paint itself comes with the next message the thread takes (the walk
// takes one between any two entries), as the platform's own paints do. The
// control paints its whole background itself: nothing to erase first.
void CStatusLine::PaintNow() {
  Invalidate(FALSE);
  m_lastPaint = ::GetTickCount();
  m_paintPending = false;
}
