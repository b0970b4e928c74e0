#include "engine/ScanState.h"

#include <cstdarg>
#include <cstdio>
#include <initializer_list>

#include "common/ResourceIds.h"
#include "common/Text.h"

ScanState scanState;
char removedValueName[REMOVED_VALUE_NAME_SIZE];

void NotifyReportLine() {
  if (scanState.notifyWindow) SendMessageA(scanState.notifyWindow, WM_SCAN_LINE, 0, 0);
}

void NotifyStatus() {
  if (scanState.notifyWindow) SendMessageA(scanState.notifyWindow, WM_SCAN_STATUS, 0, 0);
}

void PaintBeforeWait() {
  if (!scanState.notifyWindow) return;
  for (int control : {IDC_STATUS_LINE, IDC_REPORT_LIST}) {
    HWND window = GetDlgItem(scanState.notifyWindow, control);
    if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
}

void SendReportLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatTextList(scanState.reportLine, sizeof scanState.reportLine, format, args);
  va_end(args);
  NotifyReportLine();
}

void SetStatusText(const char* text) {
  CopyText(scanState.currentFile, sizeof scanState.currentFile, text);
  NotifyStatus();
}
