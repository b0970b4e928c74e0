#pragma once

// On 64-bit Windows a 32-bit program is shown a redirected file system: the
// path of the system folder (System32) leads to the 32-bit one (SysWOW64).
// The scan turns that off, so that it walks, examines, repairs and names
// every file where it really is; whatever may load a library (a dialog, the
// shell, a handler that runs nested in the scan's pump, psapi) turns it on
// again for as long as it runs, since a 32-bit library must come from the
// 32-bit folder. The switches are Wow64DisableWow64FsRedirection and
// Wow64RevertWow64FsRedirection, looked up by name; where the program runs
// without redirection (the 64-bit file, 32-bit Windows, the 9x family) both
// scopes do nothing. They belong to the one thread of the program.

// The native file system while it lives.
class NativeFileView {
 public:
  NativeFileView();
  ~NativeFileView();
  NativeFileView(const NativeFileView&) = delete;
  NativeFileView& operator=(const NativeFileView&) = delete;

 private:
  bool turnedOff_ = false;
};

// The redirected file system again, while it lives, inside a NativeFileView.
class RedirectedFileView {
 public:
  RedirectedFileView();
  ~RedirectedFileView();
  RedirectedFileView(const RedirectedFileView&) = delete;
  RedirectedFileView& operator=(const RedirectedFileView&) = delete;

 private:
  bool turnedOn_ = false;
};

// True while the thread sees the native file system under a NativeFileView.
bool FileRedirectionOff();
