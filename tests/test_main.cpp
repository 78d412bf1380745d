// Unit-test entry: the engine's start-up runs once before every test.
#include <gtest/gtest.h>

#include "uci/loop.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  kelmstrad::startup();
  return RUN_ALL_TESTS();
}
