#pragma once
#include <windows.h>

#include "framework/Controls.h"

// The longest the status line leaves a new text unpainted: about one frame of
// a 60 Hz screen.
inline constexpr DWORD STATUS_FRAME_MS = 16;

// The main dialog's status line. Its window text is always the latest the
// engine gave, but while a scan walks thousands of entries a second it paints
// at most once a frame interval, which is all a screen shows and more than an
// eye reads: a text that comes sooner waits, and is painted when the interval
// ends. The platform's own paints (the window uncovered or restored) show the
// latest text as ever.
class CStatusLine : public CStatic {
 public:
  // Sets the text, and has it painted now (with the next message the thread
  // takes) when paintNow is set or a frame interval has passed since the last
  // paint.
  void ShowText(const char* text, bool paintNow);
  // Paints now a text that waits for its paint.
  void PaintPending();

  // The text is stored without the static control's own immediate paint.
  LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR timerId);

 private:
  void PaintNow();

  DWORD m_lastPaint = 0;
  bool m_paintPending = false;
  bool m_timerSet = false;

  DECLARE_MESSAGE_MAP()
};
