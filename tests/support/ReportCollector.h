#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A real window that stands in for the main dialog in engine tests: it receives
// WM_SCAN_STATUS and WM_SCAN_LINE and keeps what the scan state held at each.
class ReportCollector {
 public:
  ReportCollector();
  ~ReportCollector();
  ReportCollector(const ReportCollector&) = delete;
  ReportCollector& operator=(const ReportCollector&) = delete;

  HWND window() const { return window_; }
  std::vector<std::string> statuses;  // currentFile at each WM_SCAN_STATUS
  std::vector<std::string> lines;     // reportLine at each WM_SCAN_LINE
  std::vector<UINT> appMessages;      // WM_APP.. messages dispatched to the window
  // Called on each status, while the walk waits for the send to return.
  std::function<void(const std::string&)> onStatus;

 private:
  static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
};
