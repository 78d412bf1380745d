// The board's legal-move lookup: exact text, promotions, castling through an
// attacked square, a pinned piece and text that names no move.
#include "board/legal.h"

#include <gtest/gtest.h>

#include "board/move.h"
#include "board_support.h"

namespace kelmstrad::test {
namespace {

TEST(Legal, FindLegalMoveNamesOnlyLegalMovesByTheirExactText) {
  // The e2 knight is pinned by the e4 rook; the g2 bishop guards f1.
  set_position("r5k1/1P6/8/8/4r3/8/4N1b1/R3K2R w KQ - 0 1");
  const uint16_t stack = move_stack_len;
  for (const char* text : {"b7b8q", "b7b8n", "b7a8r", "e1c1", "a1a8"}) {
    const Move m = find_legal_move(text);
    ASSERT_NE(m, 0) << text;
    EXPECT_STREQ(move_to_text(m), text);
  }
  for (const char* text : {"b7b8", "e1g1", "e2c3", "e1e2", "a1a9", "", "zzzz"})
    EXPECT_EQ(find_legal_move(text), 0) << text;
  EXPECT_EQ(move_stack_len, stack);
  EXPECT_EQ(legal_moves().size(), 31u);  // king 4, rooks 10 + 9, pawn 8
}

}  // namespace
}  // namespace kelmstrad::test
