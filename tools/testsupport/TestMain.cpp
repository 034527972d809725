// The main of every test program: the call log goes to a folder of the test's
// own before the first test runs.
#include "TestEnv.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testenv::PrepareLogHome();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
