#pragma once
#include <string>

// Writes the hand-made seeds of one of the text and data fuzz targets ("perf",
// "wininit", "startup", "paths") into folder. False for an unknown target or
// when nothing could be written.
bool WriteTextSeeds(const std::string& target, const std::string& folder);
