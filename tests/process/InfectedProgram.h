#pragma once
#include <string>
#include <vector>

// A runnable program that the shipped table's first record (variantTable[0],
// "W32/VelTrix.Agu.Trojan") recognises, for the tests that need a running
// infected process. It has that record's exact file size and its two
// signature windows as data before the entry point; at the entry point a few
// instructions of ours load the target library (process_target.dll beside the
// test program) and exit with what its TargetMain returns, so it takes the
// arguments process_target.exe takes. It is built for this build's machine:
// a PE32+ x86-64 image or a PE32 i386 one. Every copy is the same file of the
// same size: copies are told apart by their paths.

// The program's exit code when the library or its TargetMain cannot be had.
inline constexpr unsigned INFECTED_PROGRAM_MISSING_LIBRARY = 9;

// The target library the program loads: process_target.dll beside the
// running test program.
std::string TargetLibraryPath();

// Writes the program to path, replacing the file. False when it cannot be
// built or written.
bool WriteInfectedProgram(const std::string& path);

// The program's bytes, its entry code loading the library at libraryPath (a
// full path shorter than MAX_PATH). False, with bytes empty, when the path
// does not fit.
bool BuildInfectedProgram(const std::string& libraryPath, std::vector<unsigned char>& bytes);
