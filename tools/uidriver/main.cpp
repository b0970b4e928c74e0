// quellor-uidriver: drives a running quellor.exe like a user, for the demo.
//
//   quellor-uidriver scan [seconds]        presses SCAN, answers every message
//                                          dialog, waits for the end, prints
//                                          the report and the statistics
//   quellor-uidriver close [seconds]       presses OK and waits for the end
//   quellor-uidriver hold <file> [seconds] keeps file mapped as a program's
//                                          image, as a running program's own
//                                          file is: it cannot be deleted, but
//                                          it can be moved
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/ProgramTexts.h"
#include "common/ResourceIds.h"
#include "tools/uidriver/UiDriver.h"

namespace {

constexpr DWORD WINDOW_WAIT_MS = 60 * 1000;
constexpr DWORD ANSWER_WAIT_MS = 10 * 1000;
constexpr DWORD DEFAULT_SCAN_SECONDS = 600;
constexpr DWORD DEFAULT_HOLD_SECONDS = 600;
constexpr DWORD MS_PER_SECOND = 1000;

int Usage() {
  std::fprintf(stderr,
               "usage: quellor-uidriver scan [seconds]\n"
               "       quellor-uidriver close [seconds]\n"
               "       quellor-uidriver hold <file> [seconds]\n");
  return 2;
}

int Fail(const char* what) {
  std::fprintf(stderr, "quellor-uidriver: %s\n", what);
  return 1;
}

DWORD Seconds(int argc, char** argv, int index, DWORD fallback) {
  if (argc <= index) return fallback;
  const long value = std::strtol(argv[index], nullptr, 10);
  return value > 0 ? static_cast<DWORD>(value) : fallback;
}

bool ScanEnded(HWND window) {
  return ReadControl(window, IDC_DONE).shown && !ReadControl(window, IDC_SEARCHING_LINE).shown;
}

void PrintReport(HWND window) {
  const std::vector<std::string> lines = ReadListLines(GetDlgItem(window, IDC_REPORT_LIST));
  std::size_t statistics = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == STATISTICS_HEADING) statistics = i;
  }
  std::printf("\nReport list:\n");
  if (statistics == 0) std::printf("  (no findings)\n");
  for (std::size_t i = 0; i < statistics; ++i) std::printf("  %s\n", lines[i].c_str());
  std::printf("\nStatistics:\n");
  for (std::size_t i = statistics; i < lines.size(); ++i) std::printf("  %s\n", lines[i].c_str());
  std::printf("\nStatus: %s\n", ReadControl(window, IDC_STATUS_LINE).text.c_str());
}

int Scan(DWORD seconds) {
  const Program notStartedByUs;
  HWND window = WaitForVisibleWindow(notStartedByUs, PROGRAM_TITLE, WINDOW_WAIT_MS);
  Program program;
  if (!window || !program.Attach(window)) return Fail("the program's window did not appear");
  LARGE_INTEGER pressed, end, frequency;
  QueryPerformanceCounter(&pressed);
  if (!Click(window, IDC_SCAN)) return Fail("SCAN cannot be pressed");
  std::printf("Pressed SCAN; scanning...\n");
  std::fflush(stdout);
  const bool ended = WaitUntil(program, seconds * MS_PER_SECOND, [&] {
    const MessageDialog dialog = FindMessageDialog(program.Id(), window);
    if (dialog.window) {
      const int answer = AnswerThatLetsTheScanRun(dialog);
      std::printf("Message \"%s\": %s -> button %d\n", dialog.title.c_str(), dialog.text.c_str(), answer);
      std::fflush(stdout);
      Answer(program, dialog, answer, ANSWER_WAIT_MS);
      return false;
    }
    return ScanEnded(window);
  });
  QueryPerformanceCounter(&end);
  if (!ended) return Fail(program.Running() ? "the scan did not end in time" : "the program ended during the scan");
  PrintReport(window);
  QueryPerformanceFrequency(&frequency);
  // From the press to the moment the final status was seen, message answers included.
  std::printf("Scan time: %.3f s\n",
              static_cast<double>(end.QuadPart - pressed.QuadPart) / static_cast<double>(frequency.QuadPart));
  return 0;
}

int Close(DWORD seconds) {
  HWND window = FindVisibleWindow(0, PROGRAM_TITLE);
  Program program;
  if (!window || !program.Attach(window)) return Fail("the program's window is not there");
  if (!Click(window, IDC_DONE)) return Fail("OK cannot be pressed");
  if (program.WaitForExit(seconds * MS_PER_SECOND) == STILL_ACTIVE) return Fail("the program did not end");
  std::printf("Pressed OK; the program has ended.\n");
  return 0;
}

// LoadLibraryEx's flag that maps a file as an image without running it (from
// Vista; the demo runs under Wine).
constexpr DWORD AS_IMAGE_RESOURCE = 0x00000020;

int Hold(const char* path, DWORD seconds) {
  HMODULE image = LoadLibraryExA(path, nullptr, AS_IMAGE_RESOURCE);
  if (!image) return Fail("cannot map the file to hold");
  std::printf("Holding %s\n", path);
  std::fflush(stdout);
  Sleep(seconds * MS_PER_SECOND);  // the holder's lifetime, not a wait for anything
  FreeLibrary(image);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "scan") == 0) return Scan(Seconds(argc, argv, 2, DEFAULT_SCAN_SECONDS));
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0)
    return Close(Seconds(argc, argv, 2, ANSWER_WAIT_MS / MS_PER_SECOND));
  if (argc >= 3 && std::strcmp(argv[1], "hold") == 0)
    return Hold(argv[2], Seconds(argc, argv, 3, DEFAULT_HOLD_SECONDS));
  return Usage();
}
