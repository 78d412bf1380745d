// Mobility against a plain walk of the 0x88 board (each target square tested
// for enemy pawns one by one): the sums, the per-kind counts and the three
// counter charges agree, on random placements (pawns on any rank) and along
// random games, with some kinds weighted 0 and with every piece forced.
#include "eval/mobility.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "clock/counters.h"
#include "eval_support.h"
#include "random_positions.h"

namespace kelmstrad::test {
namespace {

struct Walk {
  TermPair sum;
  int mobility[6];
  uint32_t squares;  // MOB_SQUARE_COUNT
  uint32_t pieces;   // MOB_PIECE_COUNT
};

// True when a square holds no own piece and no enemy pawn attacks it.
bool counts_for(int to, Side side) {
  const Piece target = position.board[to];
  if (target != 0 && piece_side(target) == side) return false;
  const int ahead = side == WHITE ? 16 : -16;
  for (int s : {to + ahead - 1, to + ahead + 1})
    if (on_board(s) && position.board[s] == (opponent(side) | PAWN)) return false;
  return true;
}

// The walk over the piece list: knights test all eight jumps, sliders step
// until the edge or a piece.
Walk plain_walk(bool forced) {
  static constexpr int JUMPS[8] = {33, 31, 18, 14, -14, -18, -31, -33};
  static constexpr int STEPS[8] = {1, -1, 16, -16, 15, 17, -15, -17};
  Walk w{};
  for (int slot = 0; slot < 32; ++slot) {
    const int from = position.slot_square[slot];
    if (from == NO_SQUARE) continue;
    const Piece piece = position.board[from];
    const int kind = piece_kind(piece);
    if (kind < KNIGHT || kind > QUEEN) continue;
    if (!forced && eval_params.mobmg[kind] == 0 && eval_params.mobeg[kind] == 0) continue;
    ++w.pieces;
    const Side side = piece_side(piece);
    int m = 0;
    if (kind == KNIGHT) {
      w.squares += 8;
      for (int jump : JUMPS) m += on_board(from + jump) && counts_for(from + jump, side);
    } else {
      const int first = kind == BISHOP ? 4 : 0;
      const int last = kind == ROOK ? 4 : 8;
      for (int i = first; i < last; ++i) {
        for (int to = from + STEPS[i]; on_board(to); to += STEPS[i]) {
          ++w.squares;
          m += counts_for(to, side);
          if (position.board[to] != 0) break;
        }
      }
    }
    const int sign = side == WHITE ? 1 : -1;
    w.sum.mg += sign * eval_params.mobmg[kind] * m;
    w.sum.eg += sign * eval_params.mobeg[kind] * m;
    w.mobility[kind] += sign * m;
  }
  return w;
}

// Both results, forced and not, with the weights drawn for this position.
void expect_walk_equal(Random* rng) {
  for (int kind = KNIGHT; kind <= QUEEN; ++kind) {
    const bool weighted = rng->below(4) != 0;
    eval_params.mobmg[kind] = static_cast<int16_t>(weighted ? rng->below(21) - 5 : 0);
    eval_params.mobeg[kind] = static_cast<int16_t>(weighted ? rng->below(21) - 5 : 0);
  }
  for (const bool forced : {false, true}) {
    const Walk want = plain_walk(forced);
    const uint32_t squares = side_counters[MOB_SQUARE_COUNT];
    const uint32_t pieces = side_counters[MOB_PIECE_COUNT];
    const uint32_t evals = side_counters[MOB_EVAL_COUNT];
    memset(eval_features.mobility, 0x55, sizeof(eval_features.mobility));
    const TermPair got = mobility_terms(forced);
    ASSERT_EQ(got.mg, want.sum.mg) << forced;
    ASSERT_EQ(got.eg, want.sum.eg) << forced;
    for (int kind = KNIGHT; kind <= QUEEN; ++kind)
      ASSERT_EQ(eval_features.mobility[kind], want.mobility[kind]) << kind << " " << forced;
    ASSERT_EQ(side_counters[MOB_SQUARE_COUNT] - squares, want.squares) << forced;
    ASSERT_EQ(side_counters[MOB_PIECE_COUNT] - pieces, want.pieces) << forced;
    ASSERT_EQ(side_counters[MOB_EVAL_COUNT] - evals, 1u) << forced;
  }
}

TEST(Mobility, EqualsPlainWalkOnRandomPlacements) {
  EvalSettingsGuard guard;
  Random rng{4711};
  for (int round = 0; round < 400; ++round) {
    const std::string fen = random_placement(&rng);
    SCOPED_TRACE(fen);
    set_fen(fen);
    expect_walk_equal(&rng);
  }
}

TEST(Mobility, EqualsPlainWalkAlongRandomGames) {
  EvalSettingsGuard guard;
  Random rng{1234};
  for (int game = 0; game < 12; ++game)
    along_random_game(&rng, START_FEN, 150, [&rng] { expect_walk_equal(&rng); });
  set_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
