// The main of every test program: a child mode when asked for one, else the tests.
#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (RunChildModeIfAsked(argc, argv, exitCode)) return exitCode;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
