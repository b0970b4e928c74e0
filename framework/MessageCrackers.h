#pragma once
// Builders of message-map entries. Each takes a class's handler as a template
// argument and makes the entry whose call cracks the message parameters into
// the handler's arguments, as in:
//
//   const MessageMapEntry CScanDlg::messageEntries[] = {
//       MapCommand<&CScanDlg::OnScan>(IDC_SCAN),
//       MapTimer<&CScanDlg::OnTimer>(),
//       END_OF_MESSAGE_MAP,
//   };
#include <windows.h>

#include "framework/CmdTarget.h"
#include "framework/Gdi.h"
#include "framework/Wnd.h"

namespace message_map_detail {

template <typename>
struct HandlerTraits;
template <typename T, typename R, typename... A>
struct HandlerTraits<R (T::*)(A...)> {
  using Class = T;
};

template <auto Handler>
auto* Target(CCmdTarget* target) {
  return static_cast<typename HandlerTraits<decltype(Handler)>::Class*>(target);
}

// Runs call with the object bound to window, or with a wrapper valid for the call.
template <typename Call>
LRESULT WithWindow(HWND window, Call call) {
  if (!window) return call(static_cast<CWnd*>(nullptr));
  if (CWnd* bound = CWnd::FromHandlePermanent(window)) return call(bound);
  CTempWnd temporary(window);
  return call(static_cast<CWnd*>(&temporary));
}

// Signed coordinates: a point left of or above the window is negative.
inline int LowSigned(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
inline int HighSigned(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }
inline CPoint MousePoint(LPARAM lParam) { return CPoint(LowSigned(lParam), HighSigned(lParam)); }

}  // namespace message_map_detail

// void Handler(): a click of the button with this id, or a menu command.
template <auto Handler>
constexpr MessageMapEntry MapCommand(UINT id) {
  return {WM_COMMAND, WM_COMMAND, id, [](CCmdTarget* target, UINT, WPARAM, LPARAM) -> LRESULT {
            (message_map_detail::Target<Handler>(target)->*Handler)();
            return 0;
          }};
}

// LRESULT Handler(WPARAM, LPARAM): any message, its result returned as it is.
template <auto Handler>
constexpr MessageMapEntry MapMessage(UINT message) {
  return {message, message, 0, [](CCmdTarget* target, UINT, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return (message_map_detail::Target<Handler>(target)->*Handler)(wParam, lParam);
          }};
}

// void Handler(UINT_PTR timerId)
template <auto Handler>
constexpr MessageMapEntry MapTimer() {
  return {WM_TIMER, WM_TIMER, 0, [](CCmdTarget* target, UINT, WPARAM wParam, LPARAM) -> LRESULT {
            (message_map_detail::Target<Handler>(target)->*Handler)(static_cast<UINT_PTR>(wParam));
            return 0;
          }};
}

// void Handler()
template <auto Handler>
constexpr MessageMapEntry MapPaint() {
  return {WM_PAINT, WM_PAINT, 0, [](CCmdTarget* target, UINT, WPARAM, LPARAM) -> LRESULT {
            (message_map_detail::Target<Handler>(target)->*Handler)();
            return 0;
          }};
}

// HBRUSH Handler(CDC* dc, CWnd* control, UINT kind): every WM_CTLCOLOR* message,
// kind being CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC.
template <auto Handler>
constexpr MessageMapEntry MapCtlColor() {
  return {
      WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, 0,
      [](CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        CDC dc;
        dc.Attach(reinterpret_cast<HDC>(wParam));
        const UINT kind = message - WM_CTLCOLORMSGBOX;
        const LRESULT brush = message_map_detail::WithWindow(reinterpret_cast<HWND>(lParam), [&](CWnd* control) {
          return reinterpret_cast<LRESULT>((message_map_detail::Target<Handler>(target)->*Handler)(&dc, control, kind));
        });
        dc.Detach();
        return brush;
      }};
}

// void Handler(int x, int y): the client area's new position.
template <auto Handler>
constexpr MessageMapEntry MapMove() {
  return {WM_MOVE, WM_MOVE, 0, [](CCmdTarget* target, UINT, WPARAM, LPARAM lParam) -> LRESULT {
            (message_map_detail::Target<Handler>(target)->*Handler)(message_map_detail::LowSigned(lParam),
                                                                    message_map_detail::HighSigned(lParam));
            return 0;
          }};
}

// void Handler(UINT keys, CPoint point) for one mouse message (client coordinates).
template <auto Handler>
constexpr MessageMapEntry MapMouse(UINT message) {
  return {message, message, 0, [](CCmdTarget* target, UINT, WPARAM wParam, LPARAM lParam) -> LRESULT {
            (message_map_detail::Target<Handler>(target)->*Handler)(static_cast<UINT>(wParam),
                                                                    message_map_detail::MousePoint(lParam));
            return 0;
          }};
}

// void Handler(CWnd* other) for WM_SETFOCUS (other: the window losing the
// focus) or WM_KILLFOCUS (other: the window receiving it); either may be null.
template <auto Handler>
constexpr MessageMapEntry MapFocus(UINT message) {
  return {message, message, 0, [](CCmdTarget* target, UINT, WPARAM wParam, LPARAM) -> LRESULT {
            return message_map_detail::WithWindow(reinterpret_cast<HWND>(wParam), [&](CWnd* other) {
              (message_map_detail::Target<Handler>(target)->*Handler)(other);
              return LRESULT{0};
            });
          }};
}

// BOOL Handler(CWnd* window, UINT hitTest, UINT mouseMessage)
template <auto Handler>
constexpr MessageMapEntry MapSetCursor() {
  return {WM_SETCURSOR, WM_SETCURSOR, 0, [](CCmdTarget* target, UINT, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return message_map_detail::WithWindow(reinterpret_cast<HWND>(wParam), [&](CWnd* window) {
              return static_cast<LRESULT>(
                  (message_map_detail::Target<Handler>(target)->*Handler)(window, LOWORD(lParam), HIWORD(lParam)));
            });
          }};
}
