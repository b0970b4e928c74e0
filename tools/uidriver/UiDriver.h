#pragma once
// Drives the program's windows from another process, as a user would: finds
// windows by title, reads controls, presses buttons and keys, answers message
// dialogs. Every wait is bounded; waits pause on the program's process handle,
// so they end at once when the program ends.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

inline constexpr DWORD POLL_PAUSE_MS = 5;
inline constexpr DWORD MESSAGE_TIMEOUT_MS = 5000;

// Starts path with the given command line in workingFolder (the caller's when
// empty); fills process (owned by the caller) and id. False when it cannot start.
bool LaunchProcess(const std::string& path, std::string commandLine, const std::string& workingFolder, HANDLE& process,
                   DWORD& id);

// A program started by the driver, or found through one of its windows.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts path in workingFolder (the caller's when empty).
  bool Start(const std::string& path, const std::string& workingFolder = "");
  // Takes hold of the process that owns window.
  bool Attach(HWND window);
  HANDLE Handle() const { return process_; }
  DWORD Id() const { return id_; }
  bool Running() const;
  // The exit code, or STILL_ACTIVE when it has not ended within milliseconds.
  DWORD WaitForExit(DWORD milliseconds) const;
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Polls condition until it holds or milliseconds have passed; pauses on the
// program's process handle (briefly between looks when there is none yet).
// True when the condition held.
bool WaitUntil(const Program& program, DWORD milliseconds, const std::function<bool()>& condition);

// A visible top-level window of the process (any process when 0) whose title
// is exactly title, or nullptr.
HWND FindVisibleWindow(DWORD processId, const std::string& title);
// Waits until such a window exists and is visible (a dialog becomes visible
// only after its initialisation).
HWND WaitForVisibleWindow(const Program& program, const std::string& title, DWORD milliseconds);
// Every top-level window titled exactly title, visible or not.
std::vector<HWND> WindowsTitled(const std::string& title);

struct ControlState {
  bool exists = false;
  bool shown = false;    // the control's own visible style
  bool enabled = false;  // the control's own enabled state
  std::string text;
};

std::string WindowText(HWND window);
ControlState ReadControl(HWND dialog, int id);

// Presses a shown and enabled button of dialog (a posted click, so that a
// modal loop the click opens does not hold the driver). False when the
// button is missing, hidden or disabled.
bool Click(HWND dialog, int id);
// Presses and releases a key at the window that has the keyboard focus in the
// dialog (the dialog itself when none of its controls has it).
bool PressKey(HWND dialog, UINT virtualKey);
// Moves the mouse pointer to a screen position as the hardware would: an
// injected absolute move (SendInput), which the platform delivers to the
// window under the pointer or to the one holding the mouse capture. True once
// the pointer is there (bounded wait).
bool MoveMouse(POINT screen);
// The centre of a control of dialog, in screen coordinates.
POINT ControlCentre(HWND dialog, int id);
// The keyboard focus, mouse capture and active window of the thread that owns
// window (all null when it cannot be read).
GUITHREADINFO ThreadInput(HWND window);
// Returns once every message posted to the dialog's thread before this call
// has been handled; uses the list box's horizontal extent as the marker.
bool WaitForPostedMessages(const Program& program, HWND list, DWORD milliseconds);

// Returns once the thread that owns window has used no processor time for
// quietMs: it waits for its next message with everything before it handled,
// its paints included (bounded by milliseconds; false when that passed first
// or the thread's times cannot be read).
bool WaitUntilThreadIdle(const Program& program, HWND window, DWORD quietMs, DWORD milliseconds);

// The lines of a list box in another process.
std::vector<std::string> ReadListLines(HWND list);

// A message dialog of the program: the skinned one (text in item 1086) or a
// plain message box of the platform.
struct MessageDialog {
  HWND window = nullptr;
  std::string title;
  std::string text;
  std::vector<int> buttons;  // ids of the shown buttons, in id order
  bool Shows(int id) const;
};

// A visible dialog of the process other than mainWindow, or a dialog with
// window nullptr.
MessageDialog FindMessageDialog(DWORD processId, HWND mainWindow);
MessageDialog WaitForMessageDialog(const Program& program, HWND mainWindow, DWORD milliseconds);
// Presses a button of the dialog and waits until the dialog window is destroyed.
bool Answer(const Program& program, const MessageDialog& dialog, int id, DWORD milliseconds);
// The answer of a run that neither restarts the machine nor stops the scan:
// No where it is offered, else Cancel, else OK (0 when none is shown).
int AnswerThatLetsTheScanRun(const MessageDialog& dialog);
