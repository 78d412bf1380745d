// The pawn extras against a plain walk of the 0x88 board, pawn by pawn: the
// five features and the weighted sums agree on random placements (pawns on
// any rank, a king missing now and then) and along random games.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eval/pawns.h"
#include "eval_support.h"
#include "random_positions.h"

namespace kelmstrad::test {
namespace {

// True when `side`'s piece `p` stands on the on-board square s.
bool holds(int s, Piece p) { return on_board(s) && position.board[s] == p; }

// One pawn's share of the features, tested square by square.
void plain_pawn(const PawnFileTable& t, Side side, int square, int* features) {
  const int sign = side == WHITE ? 1 : -1;
  const Piece own = static_cast<Piece>(side | PAWN);
  const Piece enemy = static_cast<Piece>(opponent(side) | PAWN);
  const int ahead = side == WHITE ? 16 : -16;
  const int rank = square_rank(square);
  const int file = square_file(square);
  const int relative = side == WHITE ? rank : 7 - rank;
  const int front = square + ahead;
  const int own_king = king_square(side);
  const int enemy_king = king_square(opponent(side));
  if (relative >= 3 && pawn_is_passed(t, side, square) && on_board(front) &&
      own_king != NO_SQUARE && enemy_king != NO_SQUARE) {
    features[6] += sign * (relative - 2) * square_distance(own_king, front);
    features[7] += sign * (relative - 2) * square_distance(enemy_king, front);
  }
  if ((file > 0 && holds(square - 1, own)) || (file < 7 && holds(square + 1, own)))
    features[8] += sign;
  if (holds(square - ahead - 1, own) || holds(square - ahead + 1, own)) features[9] += sign;
  // Backward: every own pawn on a neighbouring file (one at least) ahead,
  // and an enemy pawn attacking the front square.
  int neighbours = 0;
  bool one_not_ahead = false;
  for (int s = 0; s < 128; ++s) {
    if (!holds(s, own) || (square_file(s) != file - 1 && square_file(s) != file + 1)) continue;
    ++neighbours;
    if (side == WHITE ? square_rank(s) <= rank : square_rank(s) >= rank) one_not_ahead = true;
  }
  if (neighbours > 0 && !one_not_ahead && on_board(front) &&
      (holds(front + ahead - 1, enemy) || holds(front + ahead + 1, enemy)))
    features[10] += sign;
}

void expect_plain_equal() {
  for (int i = 6; i <= 10; ++i) {
    eval_params.nemg[i] = static_cast<int16_t>(3 * i - 20);
    eval_params.neeg[i] = static_cast<int16_t>(17 - 2 * i);
  }
  PawnFileTable table;
  build_pawn_file_table(&table);
  int want[11] = {};
  for (int s = 0; s < 128; ++s)
    if (on_board(s) && piece_kind(position.board[s]) == PAWN)
      plain_pawn(table, piece_side(position.board[s]), s, want);
  TermPair want_sum{0, 0};
  for (int i = 6; i <= 10; ++i) {
    want_sum.mg += static_cast<int64_t>(eval_params.nemg[i]) * want[i];
    want_sum.eg += static_cast<int64_t>(eval_params.neeg[i]) * want[i];
  }
  memset(eval_features.pawn_extra, 0x55, sizeof(eval_features.pawn_extra));
  const TermPair got = pawn_extras(table);
  for (int i = 6; i <= 10; ++i) ASSERT_EQ(eval_features.pawn_extra[i], want[i]) << i;
  ASSERT_EQ(got.mg, want_sum.mg);
  ASSERT_EQ(got.eg, want_sum.eg);
}

TEST(PawnExtras, EqualsPlainWalkOnRandomPlacements) {
  EvalSettingsGuard guard;
  Random rng{99};
  for (int round = 0; round < 400; ++round) {
    std::string fen = random_placement(&rng);
    // Now and then no black king: the king distances are then left out.
    if (round % 8 == 0) fen[fen.find('k')] = '1';
    SCOPED_TRACE(fen);
    set_fen(fen);
    expect_plain_equal();
  }
}

TEST(PawnExtras, EqualsPlainWalkAlongRandomGames) {
  EvalSettingsGuard guard;
  Random rng{31337};
  for (int game = 0; game < 12; ++game) along_random_game(&rng, START_FEN, 150, expect_plain_equal);
  set_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
