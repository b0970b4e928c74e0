#include "tests/support/ModalProbe.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT_PTR PROBE_TIMER_ID = 0x7E57;
constexpr INT_PTR FAILED_PROBE_RESULT = -1;
ModalProbes* active = nullptr;

}  // namespace

ModalProbes::ModalProbes() {
  active = this;
  hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &ModalProbes::AfterMessage, nullptr, GetCurrentThreadId());
}

ModalProbes::~ModalProbes() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (active == this) active = nullptr;
}

LRESULT CALLBACK ModalProbes::AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && active && call->message == WM_INITDIALOG && !active->queued_.empty()) {
    active->taken_[call->hwnd] = std::move(active->queued_.front());
    active->queued_.pop_front();
    SetTimer(call->hwnd, PROBE_TIMER_ID, USER_TIMER_MINIMUM, &ModalProbes::RunProbe);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK ModalProbes::RunProbe(HWND dialog, UINT, UINT_PTR timerId, DWORD) {
  // The modal loop shows the dialog when the queue first runs empty; a tick
  // can come before that. Look again at the next one.
  if (!IsWindowVisible(dialog)) return;
  KillTimer(dialog, timerId);
  if (!active) return;
  const auto found = active->taken_.find(dialog);
  if (found == active->taken_.end()) return;
  Probe probe = std::move(found->second);
  active->taken_.erase(found);
  probe(dialog);
  if (::testing::Test::HasFatalFailure() && IsWindow(dialog)) EndDialog(dialog, FAILED_PROBE_RESULT);
}

void PostKey(HWND dialog, UINT virtualKey) {
  HWND target = GetFocus();
  if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}
