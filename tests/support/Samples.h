#pragma once
#include <string>

#include "tests/support/TestFiles.h"
#include "tools/samplemaker/SampleMaker.h"

// Writes the sample of a variant table row (1-based) below a test tree and
// returns its path; a failure to write it fails the running test.
std::string PlantSample(const TempTree& tree, int row, const std::string& name, SampleKind kind = SampleKind::Match);
