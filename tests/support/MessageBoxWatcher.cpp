#include "tests/support/MessageBoxWatcher.h"

namespace {

constexpr char DIALOG_CLASS[] = "#32770";
constexpr int MESSAGE_TEXT_ID = 0xFFFF;  // the static control holding a message box's text
constexpr int TEXT_SIZE = 1024;

MessageBoxWatcher* activeWatcher = nullptr;

std::string WindowText(HWND window) {
  char text[TEXT_SIZE] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(int answer) : answer_(answer), outer_(activeWatcher) {
  activeWatcher = this;
  hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

MessageBoxWatcher::~MessageBoxWatcher() {
  if (hook_) UnhookWindowsHookEx(hook_);
  activeWatcher = outer_;
}

LRESULT CALLBACK MessageBoxWatcher::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && activeWatcher) activeWatcher->Seen(reinterpret_cast<HWND>(wParam));
  if (code == HCBT_DESTROYWND && activeWatcher) activeWatcher->Closing(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxWatcher::Seen(HWND box) {
  char className[sizeof DIALOG_CLASS + 1] = {};
  GetClassNameA(box, className, sizeof className);
  if (lstrcmpA(className, DIALOG_CLASS) != 0 || !answered_.insert(box).second) return;
  // Answered once the box runs its own message loop.
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer_)));
}

// The caption and text are read as the box goes, when they are surely set: a
// box may be activated before its texts are.
void MessageBoxWatcher::Closing(HWND box) {
  if (answered_.erase(box) == 0) return;
  boxes.push_back({WindowText(box), WindowText(GetDlgItem(box, MESSAGE_TEXT_ID))});
}
