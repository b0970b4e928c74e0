#include "tools/uidriver/UiDriver.h"

#include <algorithm>

#include "common/ResourceIds.h"

namespace {

constexpr char DIALOG_CLASS[] = "#32770";
constexpr int SKINNED_MESSAGE_TEXT_ID = IDC_MESSAGE_TEXT;
constexpr int PLAIN_MESSAGE_TEXT_ID = 0xFFFF;
constexpr int ANSWER_IDS[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDC_PLAIN_OK};
constexpr LPARAM KEY_DOWN_BITS = 1;
constexpr LPARAM KEY_UP_BITS = static_cast<LPARAM>(0xC0000001u);
// Absolute mouse positions are given in 65536ths of the screen's width and height.
constexpr LONGLONG ABSOLUTE_MOUSE_RANGE = 65536;

// The normalised absolute coordinate of pixel position within a screen of
// extent pixels: the start of that pixel, rounded up.
LONG NormalisedCoordinate(LONG position, int extent) {
  if (extent <= 0) return 0;
  return static_cast<LONG>((position * ABSOLUTE_MOUSE_RANGE + extent - 1) / extent);
}

bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &result) != 0;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
  return text;
}

// An injected absolute mouse move, as the hardware makes one.
bool SendAbsoluteMove(POINT screen) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = NormalisedCoordinate(screen.x, GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = NormalisedCoordinate(screen.y, GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return SendInput(1, &input, sizeof input) == 1;
}

struct WindowSearch {
  DWORD processId;
  std::string title;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId && owner != search->processId) return TRUE;
  if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (WindowText(window) == search->title) search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& title, bool visibleOnly) {
  WindowSearch search{processId, title, visibleOnly, {}};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct DialogSearch {
  DWORD processId;
  HWND mainWindow;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || window == search->mainWindow || !IsWindowVisible(window)) return TRUE;
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::string(className) != DIALOG_CLASS) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

Program::~Program() {
  if (process_) CloseHandle(process_);
}

bool LaunchProcess(const std::string& path, std::string commandLine, const std::string& workingFolder, HANDLE& process,
                   DWORD& id) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
    return false;
  CloseHandle(info.hThread);
  process = info.hProcess;
  id = info.dwProcessId;
  return true;
}

bool Program::Start(const std::string& path, const std::string& workingFolder) {
  if (process_) return false;
  return LaunchProcess(path, "\"" + path + "\"", workingFolder, process_, id_);
}

bool Program::Attach(HWND window) {
  if (process_ || !window) return false;
  GetWindowThreadProcessId(window, &id_);
  process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, id_);
  return process_ != nullptr;
}

bool Program::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD Program::WaitForExit(DWORD milliseconds) const {
  if (!process_ || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

void Program::Kill() {
  if (!Running()) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, MESSAGE_TIMEOUT_MS);
}

bool WaitUntil(const Program& program, DWORD milliseconds, const std::function<bool()>& condition) {
  // Elapsed time by unsigned difference, so the tick counter's wrap is harmless.
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= milliseconds) return false;
    if (!program.Handle()) {
      Sleep(POLL_PAUSE_MS);  // no program to wait on yet: a short pause between looks
    } else if (WaitForSingleObject(program.Handle(), POLL_PAUSE_MS) == WAIT_OBJECT_0) {
      return condition();  // the program has ended: nothing will change any more
    }
  }
}

HWND FindVisibleWindow(DWORD processId, const std::string& title) {
  const std::vector<HWND> found = TopLevelWindows(processId, title, true);
  return found.empty() ? nullptr : found.front();
}

HWND WaitForVisibleWindow(const Program& program, const std::string& title, DWORD milliseconds) {
  HWND window = nullptr;
  WaitUntil(program, milliseconds, [&] { return (window = FindVisibleWindow(program.Id(), title)) != nullptr; });
  return window;
}

std::vector<HWND> WindowsTitled(const std::string& title) { return TopLevelWindows(0, title, false); }

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendBounded(window, WM_GETTEXTLENGTH, 0, 0, length) || length == 0) return std::string();
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), copied)) return std::string();
  text.resize(std::min<std::size_t>(copied, length));
  return Narrow(text);
}

ControlState ReadControl(HWND dialog, int id) {
  ControlState state;
  HWND control = GetDlgItem(dialog, id);
  if (!control) return state;
  state.exists = true;
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  state.shown = (style & WS_VISIBLE) != 0;
  state.enabled = (style & WS_DISABLED) == 0;
  state.text = WindowText(control);
  return state;
}

bool Click(HWND dialog, int id) {
  const ControlState state = ReadControl(dialog, id);
  if (!state.exists || !state.shown || !state.enabled) return false;
  return PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0) != FALSE;
}

bool PressKey(HWND dialog, UINT virtualKey) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  HWND target = dialog;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
      (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
    target = info.hwndFocus;
  if (!PostMessageA(target, WM_KEYDOWN, virtualKey, KEY_DOWN_BITS)) return false;
  // A key that closes the window can take effect before the release is
  // posted: the press reached it all the same.
  return PostMessageA(target, WM_KEYUP, virtualKey, KEY_UP_BITS) || !IsWindow(target);
}

bool MoveMouse(POINT screen) {
  POINT now = {};
  if (GetCursorPos(&now) && now.x == screen.x && now.y == screen.y) {
    // A move to where Wine believes the pointer already is does not reach
    // the display, whose own pointer may be elsewhere (at its centre, when the
    // display is new); Wine reads that one back later and moves there. Step
    // off the spot first, so that the move below reaches the display too.
    const POINT aside = {screen.x > 0 ? screen.x - 1 : screen.x + 1, screen.y};
    if (!SendAbsoluteMove(aside)) return false;
  }
  if (!SendAbsoluteMove(screen)) return false;
  // The display also reports each move to the program under the pointer, a
  // little later; such a report of an earlier move can take the pointer back
  // for a moment. It settles where the display's pointer is.
  const Program none;
  return WaitUntil(none, MESSAGE_TIMEOUT_MS, [&] {
    POINT settled = {};
    return GetCursorPos(&settled) && settled.x == screen.x && settled.y == screen.y;
  });
}

POINT ControlCentre(HWND dialog, int id) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

GUITHREADINFO ThreadInput(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
    info = GUITHREADINFO{};
    info.cbSize = sizeof info;
  }
  return info;
}

bool WaitForPostedMessages(const Program& program, HWND list, DWORD milliseconds) {
  DWORD_PTR extent = 0;
  if (!SendBounded(list, LB_GETHORIZONTALEXTENT, 0, 0, extent)) return false;
  const DWORD_PTR marker = extent + 1;
  if (!PostMessageA(list, LB_SETHORIZONTALEXTENT, marker, 0)) return false;
  return WaitUntil(program, milliseconds, [&] {
    DWORD_PTR now = 0;
    return SendBounded(list, LB_GETHORIZONTALEXTENT, 0, 0, now) && now == marker;
  });
}

namespace {

// The processor time a thread has used, in 100 ns units.
bool ThreadTime(HANDLE thread, ULONGLONG& time) {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(thread, &created, &ended, &kernel, &user)) return false;
  const auto value = [](const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  time = value(kernel) + value(user);
  return true;
}

}  // namespace

bool WaitUntilThreadIdle(const Program& program, HWND window, DWORD quietMs, DWORD milliseconds) {
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetWindowThreadProcessId(window, nullptr));
  if (!thread) return false;
  ULONGLONG last = 0;
  ULONGLONG now = 0;
  bool readable = ThreadTime(thread, last);
  DWORD quietSince = GetTickCount();
  const bool idle = readable && WaitUntil(program, milliseconds, [&] {
                      readable = ThreadTime(thread, now);
                      if (readable && now != last) {
                        last = now;
                        quietSince = GetTickCount();
                      }
                      return !readable || GetTickCount() - quietSince >= quietMs;
                    });
  CloseHandle(thread);
  return idle && readable;
}

std::vector<std::string> ReadListLines(HWND list) {
  std::vector<std::string> lines;
  DWORD_PTR count = 0;
  if (!SendBounded(list, LB_GETCOUNT, 0, 0, count) || static_cast<LRESULT>(count) == LB_ERR) return lines;
  for (DWORD_PTR index = 0; index < count; ++index) {
    DWORD_PTR length = 0;
    if (!SendBounded(list, LB_GETTEXTLEN, index, 0, length) || static_cast<LRESULT>(length) == LB_ERR) break;
    // Room for the terminator and for a list that counts in bytes.
    std::wstring text(length * 2 + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendBounded(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]), copied)) break;
    text.resize(std::min<std::size_t>(copied, length));
    lines.push_back(Narrow(text));
  }
  return lines;
}

bool MessageDialog::Shows(int id) const { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); }

MessageDialog FindMessageDialog(DWORD processId, HWND mainWindow) {
  MessageDialog dialog;
  DialogSearch search{processId, mainWindow, nullptr};
  EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return dialog;
  dialog.window = search.found;
  dialog.title = WindowText(search.found);
  HWND text = GetDlgItem(search.found, SKINNED_MESSAGE_TEXT_ID);
  if (!text) text = GetDlgItem(search.found, PLAIN_MESSAGE_TEXT_ID);
  dialog.text = text ? WindowText(text) : std::string();
  for (int id : ANSWER_IDS) {
    const ControlState state = ReadControl(search.found, id);
    if (state.exists && state.shown) dialog.buttons.push_back(id);
  }
  std::sort(dialog.buttons.begin(), dialog.buttons.end());
  return dialog;
}

MessageDialog WaitForMessageDialog(const Program& program, HWND mainWindow, DWORD milliseconds) {
  MessageDialog dialog;
  WaitUntil(program, milliseconds, [&] {
    dialog = FindMessageDialog(program.Id(), mainWindow);
    return dialog.window != nullptr;
  });
  return dialog;
}

int AnswerThatLetsTheScanRun(const MessageDialog& dialog) {
  for (int id : {IDNO, IDCANCEL, IDOK, IDC_PLAIN_OK}) {
    if (dialog.Shows(id)) return id;
  }
  return 0;
}

bool Answer(const Program& program, const MessageDialog& dialog, int id, DWORD milliseconds) {
  if (!Click(dialog.window, id)) return false;
  return WaitUntil(program, milliseconds, [&] { return !IsWindow(dialog.window); });
}
