#include "eval/mobility.h"

#include <initializer_list>

#include "clock/counters.h"
#include "eval/params.h"

namespace kelmstrad {

namespace {

constexpr int KNIGHT_STEPS[8] = {33, 31, 18, 14, -14, -18, -31, -33};
constexpr int SLIDER_STEPS[8] = {1, -1, 16, -16, 15, 17, -15, -17};  // orthogonal, then diagonal

// True when no enemy pawn attacks the square (for a piece of `side`).
bool safe_from_pawns(int square, Side side) {
  const Piece enemy_pawn = static_cast<Piece>(opponent(side) | PAWN);
  const int from = side == WHITE ? 16 : -16;  // enemy pawns attack from one rank ahead
  for (int d : {from - 1, from + 1}) {
    const int s = square + d;
    if (on_board(s) && position.board[s] == enemy_pawn) return false;
  }
  return true;
}

// Safe knight targets not held by an own piece; examines all eight.
int knight_mobility(int square, Side side) {
  int m = 0;
  side_counters[MOB_SQUARE_COUNT] += 8;
  for (int step : KNIGHT_STEPS) {
    const int to = square + step;
    if (!on_board(to)) continue;
    const Piece target = position.board[to];
    if (target != 0 && piece_side(target) == side) continue;
    if (safe_from_pawns(to, side)) ++m;
  }
  return m;
}

// Safe squares along the rays steps[first..last); each square stepped on is
// charged, an own piece ends the ray uncounted, an enemy piece counts and ends it.
int slider_mobility(int square, Side side, int first, int last) {
  int m = 0;
  for (int i = first; i < last; ++i) {
    for (int to = square + SLIDER_STEPS[i]; on_board(to); to += SLIDER_STEPS[i]) {
      ++side_counters[MOB_SQUARE_COUNT];
      const Piece target = position.board[to];
      if (target != 0 && piece_side(target) == side) break;
      if (safe_from_pawns(to, side)) ++m;
      if (target != 0) break;
    }
  }
  return m;
}

// Safe squares of one knight, bishop, rook or queen.
int piece_mobility(int kind, int square, Side side) {
  switch (kind) {
    case KNIGHT:
      return knight_mobility(square, side);
    case BISHOP:
      return slider_mobility(square, side, 4, 8);
    case ROOK:
      return slider_mobility(square, side, 0, 4);
    default:
      return slider_mobility(square, side, 0, 8);
  }
}

}  // namespace

// The per-kind counts are cleared on every call (not only when forced), so
// they never grow without bound; "termfeat3" sees the same values either way.
TermPair mobility_terms(bool forced) {
  TermPair sum{0, 0};
  ++side_counters[MOB_EVAL_COUNT];
  for (int& count : eval_features.mobility) count = 0;
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    const Piece piece = position.board[sq];
    const int kind = piece_kind(piece);
    if (kind < KNIGHT || kind > QUEEN) continue;
    const int wmg = eval_params.mobmg[kind];
    const int weg = eval_params.mobeg[kind];
    if (!forced && wmg == 0 && weg == 0) continue;
    ++side_counters[MOB_PIECE_COUNT];
    const Side side = piece_side(piece);
    const int m = piece_mobility(kind, sq, side);
    const int sign = side == WHITE ? 1 : -1;
    sum.mg += sign * wmg * m;
    sum.eg += sign * weg * m;
    eval_features.mobility[kind] += sign * m;
  }
  return sum;
}

}  // namespace kelmstrad
