#pragma once
#include <cstddef>
#include <cstdint>

// Puts the fuzzer's bytes into an anonymous file and returns a descriptor open
// at its start, as the engine's readers expect; -1 on failure.
int OpenFuzzInput(const uint8_t* data, std::size_t size);
