#pragma once

// OS family: 0 version query failed, 1 other platform, 4 Windows 9x, 5 NT.
inline constexpr int OS_FAMILY_UNKNOWN = 0;
inline constexpr int OS_FAMILY_OTHER = 1;
inline constexpr int OS_FAMILY_9X = 4;
inline constexpr int OS_FAMILY_NT = 5;
int GetOsFamily();

// NT generation: 5 NT 4.0 and older, 6 NT 5.x, 0 otherwise (also NT 6 and later).
inline constexpr int NT_GENERATION_NONE = 0;
inline constexpr int NT_GENERATION_4 = 5;
inline constexpr int NT_GENERATION_5 = 6;
int GetNtGeneration();

// True when the program runs as a 32-bit process on 64-bit Windows (WOW64):
// asked of IsWow64Process, looked up by name (XP SP2 and later have it; no 9x
// does).
bool RunsUnderWow64();
// True on 64-bit Windows, whichever of the two files runs.
bool SystemIs64Bit();
