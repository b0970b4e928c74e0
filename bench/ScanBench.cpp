// scan_bench: one timed walk of a folder tree, under Wine or on Windows.
//
//   scan_bench.exe list   <folder>   the bare listing: FindFirstFileA/FindNextFileA
//                                    over the folder, files first, then its
//                                    sub-folders, as the walk lists them
//   scan_bench.exe ui     <folder>   the same listing plus the walk's per-entry
//                                    calls to the window: two message pumps and a
//                                    status update per file-pass entry, one pump
//                                    per folder-pass entry, to a hidden window
//   scan_bench.exe scan   <folder>   the program's walk with its detection step,
//                                    reporting to a hidden notify window
//   scan_bench.exe engine <folder>   the same walk with no notify window
//   scan_bench.exe press [seconds]   quellor.exe's scan as a user's press: presses
//                                    SCAN of the running program, answers every
//                                    question as the UI driver does and prints
//                                    the seconds from the press to the final
//                                    status, then the report list
//   scan_bench.exe --table           the size test of every record: row, mode, size
//   scan_bench.exe --calls           the cost of one pump (and of a bare queue
//                                    check), one server round trip, one status
//                                    update (to a window and to none; to a shown
//                                    control that paints every text) and one
//                                    listing start
//
// A walk prints one line of figures (mode, files, seconds, files opened,
// detections, peak working set) and, in scan mode, one "found" line per
// detected file. Nothing is deleted: the disposal choice leaves every file.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/ProgramTexts.h"
#include "common/ResourceIds.h"
#include "common/Text.h"
#include "engine/Detection.h"
#include "engine/ScanRun.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "tools/uidriver/UiDriver.h"

namespace {

constexpr char WINDOW_CLASS[] = "QuellorBenchNotify";
constexpr char FOUND_WORDS[] = "     ";  // between a report line's path and name
constexpr int STATUS_CONTROL_ID = 1;
constexpr char DIALOG_CLASS[] = "#32770";
constexpr DWORD MS_PER_SECOND = 1000;
constexpr DWORD WINDOW_WAIT_MS = 60 * MS_PER_SECOND;
constexpr DWORD ANSWER_WAIT_MS = 10 * MS_PER_SECOND;
constexpr DWORD DEFAULT_PRESS_SECONDS = 3600;

struct Walked {
  long files = 0;
  long folders = 0;
};

bool IsFolder(const WIN32_FIND_DATAA& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsDots(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// The report lines the hidden notify window received.
std::vector<std::string> reportLines;

// The hidden window's status control, kept as the main dialog keeps its own
// (looking it up per status update would cost a server call under Wine).
HWND statusControl = nullptr;

// Stands for the main dialog: the status goes into a hidden static control,
// report lines are kept.
LRESULT CALLBACK NotifyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SCAN_STATUS) {
    SetWindowTextA(statusControl, scanState.currentFile);
    return 0;
  }
  if (message == WM_SCAN_LINE) {
    reportLines.emplace_back(scanState.reportLine);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeHiddenWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = NotifyProcedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = WINDOW_CLASS;
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, WINDOW_CLASS, "bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (window) {
    statusControl =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 10, 380, 20, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(STATUS_CONTROL_ID)), wc.hInstance, nullptr);
  }
  return window;
}

// The listing the walk makes of one folder: its entries (files handed on), then
// its sub-folders, each walked in turn. withUi adds the walk's calls to the window.
void ListFolder(const std::string& folder, bool withUi, Walked& walked) {
  ++walked.folders;
  const std::string spec = folder + "\\*.*";
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(spec.c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (withUi) PumpOneMessage();
      char path[MAX_PATH];
      if (std::snprintf(path, sizeof path, "%s\\%s", folder.c_str(), entry.cFileName) < static_cast<int>(sizeof path)) {
        if (withUi) {
          ElideMiddle(path, scanState.currentFile, sizeof scanState.currentFile, STATUS_WIDTH);
          NotifyStatus();
        }
        if (!IsFolder(entry)) ++walked.files;
      }
      if (withUi) PumpOneMessage();
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  find = FindFirstFileA(spec.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (withUi) PumpOneMessage();
    if (IsFolder(entry) && !IsDots(entry.cFileName)) ListFolder(folder + "\\" + entry.cFileName, withUi, walked);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

SIZE_T PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

int Walk(const char* mode, const std::string& folder) {
  const bool list = std::strcmp(mode, "list") == 0;
  const bool ui = std::strcmp(mode, "ui") == 0;
  const bool scan = std::strcmp(mode, "scan") == 0;
  const bool engine = std::strcmp(mode, "engine") == 0;
  if (!list && !ui && !scan && !engine) return 2;
  HWND window = (ui || scan) ? MakeHiddenWindow() : nullptr;
  if ((ui || scan) && !window) {
    std::fprintf(stderr, "scan_bench: no window (is there a display?)\n");
    return 1;
  }
  scanState.notifyWindow = window;
  scanState.sweepMode = false;  // as after the memory sweep
  scanState.disposalChoice = DISPOSE_LEAVE;
  Walked walked;
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (list || ui) {
    ListFolder(folder, ui, walked);
  } else {
    WalkFolder((folder + "\\*.*").c_str());
    walked.files = scanState.filesScanned;
  }
  QueryPerformanceCounter(&end);
  const double seconds = Seconds(start, end);
  const long infected = (list || ui) ? 0 : scanState.filesInfected;
  std::printf("mode=%s files=%ld seconds=%.4f opened=%lu infected=%ld peak_ws=%lu\n", mode, walked.files, seconds,
              static_cast<unsigned long>(detectionState.filesOpened), infected,
              static_cast<unsigned long>(PeakWorkingSet()));
  for (const std::string& line : reportLines) {
    const std::size_t gap = line.find(FOUND_WORDS);
    if (gap != std::string::npos) std::printf("found %s\n", line.substr(0, gap).c_str());
  }
  if (window) DestroyWindow(window);
  return 0;
}

// What one call of the walk's per-entry work costs here, in microseconds.
int PrintCallCosts() {
  constexpr int CALLS = 20000;
  HWND window = MakeHiddenWindow();
  if (!window) return 1;
  LARGE_INTEGER start, end;
  const auto time = [&](const char* what, auto call) {
    QueryPerformanceCounter(&start);
    for (int i = 0; i < CALLS; ++i) call();
    QueryPerformanceCounter(&end);
    std::printf("call %s %.2f\n", what, Seconds(start, end) * 1e6 / CALLS);
  };
  CopyText(scanState.currentFile, sizeof scanState.currentFile, "D:\\Some Folder\\a file name.dll");
  MSG msg;
  time("PeekMessageA", [&] { PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); });
  time("GetQueueStatus", [] { GetQueueStatus(QS_ALLINPUT); });
  time("PumpOneMessage", [] { PumpOneMessage(); });
  // One bare server round trip under Wine, the floor of every call above.
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  time("WaitForSingleObject-0", [&] { WaitForSingleObject(event, 0); });
  CloseHandle(event);
  scanState.notifyWindow = window;
  time("status-to-window", [] { NotifyStatus(); });
  scanState.notifyWindow = nullptr;
  time("status-to-no-window", [] { NotifyStatus(); });
  // With the window on the screen: a pump costs the same, and a status text
  // that a shown static control paints at once costs what the status line's
  // paint at the display's pace saves per entry (less a pump).
  ShowWindow(window, SW_SHOWNA);
  UpdateWindow(window);
  time("PeekMessageA-window-shown", [&] { PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); });
  time("PumpOneMessage-window-shown", [] { PumpOneMessage(); });
  scanState.notifyWindow = window;
  // The pump puts the painted pixels on the screen.
  time("status-painted-at-once+PumpOneMessage", [] {
    NotifyStatus();
    PumpOneMessage();
  });
  scanState.notifyWindow = nullptr;
  WIN32_FIND_DATAA entry;
  time("FindFirstFileA+FindClose", [&] {
    HANDLE find = FindFirstFileA("C:\\windows\\*.*", &entry);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  });
  DestroyWindow(window);
  return 0;
}

// What the press waits for, looked at every POLL_PAUSE_MS: it reads window
// styles only and lists the dialog windows by class, so it sends the program
// no message while it scans. (Reading a control's text is a message that the
// scan's thread answers between two entries; at 200 looks a second, with a
// lookup of every top-level window, that adds about 5 % to what is measured.)
bool Shown(HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

bool OtherDialogShown(DWORD processId, HWND mainWindow) {
  HWND candidate = nullptr;
  while ((candidate = FindWindowExA(nullptr, candidate, DIALOG_CLASS, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    if (candidate != mainWindow && owner == processId && IsWindowVisible(candidate)) return true;
  }
  return false;
}

// Times the scan of the running program from the press of SCAN to the final
// status (OK shown, the searching line hidden), as a user sees it.
int PressScan(DWORD seconds) {
  const Program anyProgram;
  HWND window = WaitForVisibleWindow(anyProgram, PROGRAM_TITLE, WINDOW_WAIT_MS);
  Program program;
  if (!window || !program.Attach(window)) {
    std::fprintf(stderr, "scan_bench: the program's window did not appear\n");
    return 1;
  }
  HWND done = GetDlgItem(window, IDC_DONE);
  HWND searching = GetDlgItem(window, IDC_SEARCHING_LINE);
  LARGE_INTEGER pressed, end;
  QueryPerformanceCounter(&pressed);
  if (!done || !searching || !Click(window, IDC_SCAN)) {
    std::fprintf(stderr, "scan_bench: SCAN cannot be pressed\n");
    return 1;
  }
  const bool ended = WaitUntil(program, seconds * MS_PER_SECOND, [&] {
    if (OtherDialogShown(program.Id(), window)) {
      const MessageDialog dialog = FindMessageDialog(program.Id(), window);
      if (dialog.window) {
        const int answer = AnswerThatLetsTheScanRun(dialog);
        std::printf("Message \"%s\": %s -> button %d\n", dialog.title.c_str(), dialog.text.c_str(), answer);
        Answer(program, dialog, answer, ANSWER_WAIT_MS);
        return false;
      }
    }
    return Shown(done) && !Shown(searching);
  });
  QueryPerformanceCounter(&end);
  if (!ended) {
    std::fprintf(stderr, "scan_bench: the scan did not end in time\n");
    return 1;
  }
  std::printf("Scan time: %.3f s\n", Seconds(pressed, end));
  for (const std::string& line : ReadListLines(GetDlgItem(window, IDC_REPORT_LIST)))
    std::printf("  %s\n", line.c_str());
  return 0;
}

void PrintTable() {
  for (const VariantRecord* record = variantTable; !IsEndRecord(*record); ++record)
    std::printf("%d %ld %lu\n", static_cast<int>(record - variantTable) + 1, static_cast<long>(record->sizeMode),
                static_cast<unsigned long>(record->fileSize));
}

int Usage() {
  std::fprintf(stderr,
               "usage: scan_bench list|ui|scan|engine <folder>\n"
               "       scan_bench press [seconds]\n"
               "       scan_bench --table | --calls\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--table") == 0) {
    PrintTable();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--calls") == 0) return PrintCallCosts();
  if (argc >= 2 && std::strcmp(argv[1], "press") == 0) {
    const long seconds = argc >= 3 ? std::atol(argv[2]) : 0;
    return PressScan(seconds > 0 ? static_cast<DWORD>(seconds) : DEFAULT_PRESS_SECONDS);
  }
  if (argc != 3) return Usage();
  const int rc = Walk(argv[1], argv[2]);
  return rc == 2 ? Usage() : rc;
}
