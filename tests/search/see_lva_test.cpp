// least_valuable_attacker's early answers against the plain rule (knights
// first, then the first piece of each ray, strictly cheaper replaces) on every
// square for both sides, in random placements and along random games.
#include <gtest/gtest.h>

#include "board/attack.h"
#include "random_positions.h"
#include "search/see.h"

namespace kelmstrad::test {
namespace {

// The rule written out with no shortcut.
Square plain_least_valuable_attacker(int square, Side side) {
  Square best = NO_SQUARE;
  int best_value = 1 << 20;
  for (int step : knight_dirs) {
    const int sq = square + step;
    if (on_board(sq) && position.board[sq] == (side | KNIGHT) && SEE_VALUE[KNIGHT] < best_value) {
      best = static_cast<Square>(sq);
      best_value = SEE_VALUE[KNIGHT];
    }
  }
  for (int i = 0; i < 8; ++i) {
    const int step = king_dirs[i];
    int sq = square + step;
    while (on_board(sq) && position.board[sq] == 0) sq += step;
    if (!on_board(sq)) continue;
    const Piece p = position.board[sq];
    const int kind = piece_kind(p);
    const bool adjacent = sq == square + step;
    const bool pawn_attacks = adjacent && (piece_side(p) == WHITE ? step < 0 : step > 0);
    const bool attacks = kind == QUEEN || (kind == KING && adjacent) ||
                         (kind == (i < 4 ? ROOK : BISHOP)) ||
                         (kind == PAWN && i >= 4 && pawn_attacks);
    if (piece_side(p) == side && attacks && SEE_VALUE[kind] < best_value) {
      best = static_cast<Square>(sq);
      best_value = SEE_VALUE[kind];
    }
  }
  return best;
}

void expect_same_attackers() {
  for (int square = 0; square < 128; ++square) {
    if (!on_board(square)) continue;
    for (Side side : {WHITE, BLACK})
      ASSERT_EQ(least_valuable_attacker(static_cast<Square>(square), side),
                plain_least_valuable_attacker(square, side))
          << square << " side " << int{side};
  }
}

TEST(SeeLeastValuableAttacker, EqualsPlainRule) {
  Random rng{31337};
  for (int round = 0; round < 400; ++round) {
    parse_fen(random_placement(&rng).c_str());
    expect_same_attackers();
  }
  for (int game = 0; game < 6; ++game)
    along_random_game(&rng, START_FEN, 100, expect_same_attackers);
  parse_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
