#include "engine/ScanState.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

ScanState scanState;
char removedValueName[REMOVED_VALUE_NAME_SIZE];

void NotifyReportLine() {
  if (scanState.notifyWindow) SendMessageA(scanState.notifyWindow, WM_SCAN_LINE, 0, 0);
}

void NotifyStatus() {
  if (scanState.notifyWindow) SendMessageA(scanState.notifyWindow, WM_SCAN_STATUS, 0, 0);
}

void SendReportLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(scanState.reportLine, sizeof scanState.reportLine, format, args);
  va_end(args);
  NotifyReportLine();
}

void SetStatusText(const char* text) {
  CopyText(scanState.currentFile, sizeof scanState.currentFile, text);
  NotifyStatus();
}

bool CopyText(char* destination, std::size_t size, const char* source) {
  if (size == 0) return false;
  std::size_t length = std::strlen(source);
  bool fits = length < size;
  if (!fits) length = size - 1;
  std::memmove(destination, source, length);
  destination[length] = '\0';
  return fits;
}

bool AppendText(char* destination, std::size_t size, const char* source) {
  std::size_t used = strnlen(destination, size);
  if (used >= size) return false;
  return CopyText(destination + used, size - used, source);
}
