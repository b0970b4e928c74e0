#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <map>

// Runs test code inside the modal dialogs of this thread. Each dialog that is
// initialised while probes are queued takes the next one; the probe runs from
// the dialog's own modal loop once the dialog is up and shown, and ends the
// dialog (or makes it end). A probe that fails fatally ends its dialog with -1,
// so that a failing test never hangs in a modal loop.
class ModalProbes {
 public:
  using Probe = std::function<void(HWND dialog)>;

  ModalProbes();
  ~ModalProbes();
  ModalProbes(const ModalProbes&) = delete;
  ModalProbes& operator=(const ModalProbes&) = delete;

  void Add(Probe probe) { queued_.push_back(std::move(probe)); }
  // How many queued probes no dialog has taken yet.
  std::size_t Waiting() const { return queued_.size(); }

 private:
  static LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK RunProbe(HWND dialog, UINT, UINT_PTR timerId, DWORD);

  HHOOK hook_ = nullptr;
  std::deque<Probe> queued_;
  std::map<HWND, Probe> taken_;
};

// Posts a key press and release to the window with the keyboard focus (the
// dialog when none has it), as the keyboard would.
void PostKey(HWND dialog, UINT virtualKey);
