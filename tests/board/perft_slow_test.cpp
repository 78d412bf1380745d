// The deep perft counts (minutes in a Release build); run by "make test-slow".
#include <gtest/gtest.h>

#include "board/perft.h"
#include "board_support.h"

namespace kelmstrad::test {
namespace {

TEST(PerftSlow, StandardPositionsDepthFive) {
  for (const PerftCase& c : STANDARD_PERFT) {
    set_position(c.fen);
    EXPECT_EQ(perft(5), c.counts[5]) << c.name;
  }
}

TEST(PerftSlow, StartPositionDepthSix) {
  set_position(START_FEN);
  EXPECT_EQ(perft(6), 119060324u);
}

}  // namespace
}  // namespace kelmstrad::test
