// Host (Linux) stand-in for the few Windows types and PE structures that the
// engine's file readers use, so they can be fuzzed with libFuzzer and the
// address sanitizer. Only the fuzz build includes this folder.
#pragma once
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef void* HWND;
typedef void* HANDLE;
typedef int64_t __int64;
typedef intptr_t LRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef void* HKEY;
typedef DWORD REGSAM;
typedef uint16_t WCHAR;  // UTF-16, as on Windows

#define MAX_PATH 260
// The two window messages whose numbers the engine's notifications reuse.
#define WM_ENABLE 0x000A
#define WM_SETREDRAW 0x000B
// The message-box bits of the engine's questions.
#define MB_OKCANCEL 0x1
#define MB_YESNO 0x4
#define MB_ICONQUESTION 0x20
#define MB_ICONINFORMATION 0x40
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define NO_ERROR 0u
#define IMAGE_SIZEOF_SHORT_NAME 8

typedef struct _IMAGE_FILE_HEADER {
  WORD Machine;
  WORD NumberOfSections;
  DWORD TimeDateStamp;
  DWORD PointerToSymbolTable;
  DWORD NumberOfSymbols;
  WORD SizeOfOptionalHeader;
  WORD Characteristics;
} IMAGE_FILE_HEADER;

typedef struct _IMAGE_SECTION_HEADER {
  BYTE Name[IMAGE_SIZEOF_SHORT_NAME];
  union {
    DWORD PhysicalAddress;
    DWORD VirtualSize;
  } Misc;
  DWORD VirtualAddress;
  DWORD SizeOfRawData;
  DWORD PointerToRawData;
  DWORD PointerToRelocations;
  DWORD PointerToLinenumbers;
  WORD NumberOfRelocations;
  WORD NumberOfLinenumbers;
  DWORD Characteristics;
} IMAGE_SECTION_HEADER;

// Platform calls of the engine's disposal paths; the fuzz programs define them
// as no-ops that change nothing on the host.
BOOL DeleteFileA(const char* path);
BOOL MoveFileA(const char* from, const char* to);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The immediate paint of the dialog's controls before a wait.
#define RDW_INVALIDATE 0x0001
#define RDW_ERASE 0x0004
#define RDW_UPDATENOW 0x0100
typedef struct tagRECT RECT;
typedef void* HRGN;
HWND GetDlgItem(HWND dialog, int id);
BOOL RedrawWindow(HWND window, const RECT* rectangle, HRGN region, UINT flags);

// Platform calls of the detection step's disposal, for host programs that link
// the detection step itself.
#define FILE_ATTRIBUTE_ARCHIVE 0x20
BOOL SetFileAttributesA(const char* path, DWORD attributes);
void Sleep(DWORD milliseconds);

// A file's length from its handle, which on the host is the descriptor (see
// _get_osfhandle in io.h); defined in standins/HostFileSize.cpp.
DWORD GetFileSize(HANDLE file, DWORD* high);
DWORD GetLastError();

// Text services of the performance-data parser and the startup-value decision;
// standins/HostText.cpp holds their host stand-ins.
#define CP_ACP 0
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* narrow, int narrowSize,
                        const char* defaultChar, BOOL* usedDefault);
DWORD ExpandEnvironmentStringsA(const char* source, char* destination, DWORD size);
