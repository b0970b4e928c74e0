#pragma once
#include <cstddef>

// The decision on one startup value: whether its data starts the infected
// file. The C runtime and the environment expansion only, so that the host
// fuzz build compiles it as it is.

enum class StartupVerdict {
  Keep,            // the value does not start the file (or names it bare outside a system folder)
  RemoveBareName,  // bare data naming the file, which lies in a system folder
  RemovePath,      // data, or its expansion, beginning with the file's path
};

// The part of path behind its last "\", or null when there is none or it is
// empty: then no value can be said to start the file.
const char* FileNamePart(const char* path);

// Judges a value's data as read from the registry: size bytes of any type and
// any length, of which the first REGISTRY_DATA_SIZE - 1 count, up to the first
// zero byte. infectedPath is lower-cased in place; all comparisons ignore case.
StartupVerdict JudgeStartupData(const char* bytes, std::size_t size, char* infectedPath);

// Remembers a removed value's name in removedValueName. A name too long for it
// is not remembered: a cut name could name some other value, which would then
// be deleted at later detections.
void RememberValueName(const char* name);
