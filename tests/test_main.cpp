// Unit-test entry: the engine's start-up runs once before every test.
#include <gtest/gtest.h>
#include <signal.h>

#include "uci/loop.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  kelmstrad::startup();
  signal(SIGPIPE, SIG_IGN);  // the match tests write to engines that have died, as the tool does
  return RUN_ALL_TESTS();
}
