#include "process/FileRedirection.h"

#include <windows.h>

#include "common/LibraryFunction.h"
#include "process/OsProbe.h"

namespace {

using DisableFunction = BOOL(WINAPI*)(void** previous);
using RevertFunction = BOOL(WINAPI*)(void* previous);

// What the platform handed back when redirection was turned off, to turn it
// on again with; set only while it is off.
void* previousState = nullptr;
bool redirectionOff = false;

HMODULE Kernel() { return GetModuleHandleA("kernel32.dll"); }

bool TurnOff() {
  const auto disable = LibraryFunction<DisableFunction>(Kernel(), "Wow64DisableWow64FsRedirection");
  if (!disable || !disable(&previousState)) return false;
  redirectionOff = true;
  return true;
}

bool TurnOn() {
  const auto revert = LibraryFunction<RevertFunction>(Kernel(), "Wow64RevertWow64FsRedirection");
  if (!revert || !revert(previousState)) return false;
  redirectionOff = false;
  previousState = nullptr;
  return true;
}

}  // namespace

NativeFileView::NativeFileView() {
  if (!redirectionOff && RunsUnderWow64()) turnedOff_ = TurnOff();
}

NativeFileView::~NativeFileView() {
  if (turnedOff_) TurnOn();
}

RedirectedFileView::RedirectedFileView() {
  if (redirectionOff) turnedOn_ = TurnOn();
}

RedirectedFileView::~RedirectedFileView() {
  if (turnedOn_) TurnOff();
}

bool FileRedirectionOff() { return redirectionOff; }
