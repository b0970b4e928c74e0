#include "tests/support/Samples.h"

#include <gtest/gtest.h>

std::string PlantSample(const TempTree& tree, int row, const std::string& name, SampleKind kind) {
  const std::string path = tree.Path(name);
  EXPECT_TRUE(WriteSample(variantTable[row - 1], kind, path)) << "row " << row << " into " << path;
  return path;
}
