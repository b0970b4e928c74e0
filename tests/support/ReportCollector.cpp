#include "tests/support/ReportCollector.h"

#include "engine/ScanState.h"

namespace {
constexpr char CLASS_NAME[] = "QuellorTestReportCollector";
}

ReportCollector::ReportCollector() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = CLASS_NAME;
  RegisterClassA(&wc);  // fails harmlessly when already registered
  window_ = CreateWindowExA(0, CLASS_NAME, "collector", WS_OVERLAPPED, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ReportCollector::~ReportCollector() {
  if (window_) DestroyWindow(window_);
  // Drop what the destruction left in the queue, so the next test starts clean.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

LRESULT CALLBACK ReportCollector::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ReportCollector*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && message == WM_SCAN_STATUS) {
    self->statuses.emplace_back(scanState.currentFile);
    if (self->onStatus) self->onStatus(self->statuses.back());
    return 0;
  }
  if (self && message == WM_SCAN_LINE) {
    self->lines.emplace_back(scanState.reportLine);
    return 0;
  }
  if (self && message >= WM_APP && message <= 0xBFFF) {
    self->appMessages.push_back(message);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
