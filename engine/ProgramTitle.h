#pragma once

// The program's title: main window title, key of the single-instance check,
// default title of the message dialog and title of the engine's questions.
inline constexpr char PROGRAM_TITLE[] = "Quellor Ver 1.0";

// The trojan family this program removes, as it appears in texts.
inline constexpr char FAMILY_NAME[] = "W32/Veltrix";
// The family's base detection name: the handler's name, and the name used in
// memory-find and registry report lines.
inline constexpr char BASE_DETECTION_NAME[] = "W32/Veltrix.Trojan";
