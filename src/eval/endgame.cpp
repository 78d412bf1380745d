#include "eval/endgame.h"

#include <bit>
#include <cstdint>
#include <initializer_list>

#include "clock/counters.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "io/env.h"

namespace kelmstrad {

namespace {

constexpr int NO_RACE = 99;
constexpr int DRAWISH_MARGIN = 350;
constexpr int DAMPING_START = 10;  // halfmove clock from which the score fades
constexpr int DAMPING_END = 110;   // ... and where it reaches 0

// Pawns, other non-king pieces and their endgame material, per side.
struct MaterialCount {
  int pawns[2];
  int pieces[2];
  int material[2];
};

// Counts pawns, pieces and their endgame material from the piece sets.
MaterialCount count_material() {
  MaterialCount c{{0, 0}, {0, 0}, {0, 0}};
  for (int s = 0; s < 2; ++s) {
    const uint64_t* bits = position.piece_bits + (s << 3);
    c.pawns[s] = std::popcount(bits[PAWN]);
    for (int kind = KNIGHT; kind <= QUEEN; ++kind) {
      const int count = std::popcount(bits[kind]);
      c.pieces[s] += count;
      c.material[s] += eval_params.mateg[kind] * count;
    }
  }
  return c;
}

// True when each side has a pawn and a piece other than pawns and kings: the
// case in which the rules leave a score alone while the clock is low, which
// is why the middlegame skips the count.
bool both_sides_have_pawn_and_piece() {
  for (const Side s : {WHITE, BLACK}) {
    const uint64_t* bits = position.piece_bits + s;
    if (bits[PAWN] == 0 || (bits[KNIGHT] | bits[BISHOP] | bits[ROOK] | bits[QUEEN]) == 0)
      return false;
  }
  return true;
}

// Moves a pawn of `side` on `square` needs to promote when nothing can stop
// it: its path must be empty and pass no enemy pawn beside it, and the enemy
// king must be too far from the promotion square. NO_RACE otherwise.
int race_moves(int square, Side side) {
  const int forward = side == WHITE ? 16 : -16;
  const Piece enemy_pawn = static_cast<Piece>(opponent(side) | PAWN);
  const int file = square_file(square);
  for (int s = square + forward; on_board(s); s += forward) {
    if (position.board[s] != 0) return NO_RACE;
    if (file > 0 && position.board[s - 1] == enemy_pawn) return NO_RACE;
    if (file < 7 && position.board[s + 1] == enemy_pawn) return NO_RACE;
  }
  const int rank = square_rank(square);
  int moves = side == WHITE ? 7 - rank : rank;
  if (moves == 6) moves = 5;  // the double step
  const int enemy_king = king_square(opponent(side));
  if (enemy_king == NO_SQUARE) return NO_RACE;
  const int promotion = file + (side == WHITE ? 0x70 : 0);
  const int distance = square_distance(enemy_king, promotion);
  const int tempo = position.side != side ? 1 : 0;
  return moves < distance - tempo ? moves : NO_RACE;
}

// The mop-up bonus of the side with pieces against the bare king `lone`.
int mop_up_bonus(int lone, int hunter, int centre_weight, int closeness_weight) {
  const int f = square_file(lone);
  const int r = square_rank(lone);
  const int centre = (f >= 4 ? f - 4 : 3 - f) + (r >= 4 ? r - 4 : 3 - r);
  const int df = f > square_file(hunter) ? f - square_file(hunter) : square_file(hunter) - f;
  const int dr = r > square_rank(hunter) ? r - square_rank(hunter) : square_rank(hunter) - r;
  const int near = 14 - (df + dr);
  return near * closeness_weight + centre * centre_weight;
}

}  // namespace

// +/-(500 - 10 moves) for the side whose fastest unstoppable pawn is faster.
int pawn_race() {
  int best[2] = {NO_RACE, NO_RACE};
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE || piece_kind(position.board[sq]) != PAWN) continue;
    const Side side = piece_side(position.board[sq]);
    const int moves = race_moves(sq, side);
    if (moves < best[side >> 3]) best[side >> 3] = moves;
  }
  const int w = best[0];
  const int b = best[1];
  if (w < NO_RACE && w < b) return 500 - 10 * w;
  if (b < NO_RACE && b < w) return -(500 - 10 * b);
  return 0;
}

// The rules in their fixed order; the damping factor stops at 0, so a clock
// past 110 plies cannot turn the score around.
int endgame_rules(int v, int bits, int centre_weight, int closeness_weight) {
  if (position.halfmove_clock <= DAMPING_START && both_sides_have_pawn_and_piece()) return v;
  const MaterialCount c = count_material();
  if (c.pieces[0] == 0) {
    if ((bits & EGK_PAWN_RACE) && c.pieces[1] == 0) v += pawn_race();
  } else if (c.pieces[1] != 0 && c.pawns[0] != 0 && c.pawns[1] != 0 &&
             position.halfmove_clock <= DAMPING_START) {
    return v;
  }
  if (bits & EGK_DRAWISH) {
    const int strong = v > 0 ? 0 : 1;
    if (c.pawns[strong] == 0 && c.material[strong] - c.material[strong ^ 1] <= DRAWISH_MARGIN)
      v /= 8;
  }
  if (bits & EGK_MOP_UP) {
    const int kings[2] = {king_square(WHITE), king_square(BLACK)};
    for (int s = 0; s < 2; ++s) {
      const int o = s ^ 1;
      if (c.pieces[s] == 0 || c.pieces[o] != 0 || c.pawns[o] != 0) continue;
      if (kings[0] == NO_SQUARE || kings[1] == NO_SQUARE) continue;
      const int bonus = mop_up_bonus(kings[o], kings[s], centre_weight, closeness_weight);
      v += s == 0 ? bonus : -bonus;
    }
  }
  if ((bits & EGK_FIFTY) && position.halfmove_clock > DAMPING_START) {
    const int factor =
        position.halfmove_clock < DAMPING_END ? DAMPING_END - position.halfmove_clock : 0;
    v = static_cast<int>(static_cast<int64_t>(factor) * v / 100);
  }
  return v;
}

// v after the EGK rules, read once with MOPC and MOPK; charges EGK.
int apply_endgame_rules(int v) {
  static const int bits = env_int("EGK", 15);
  static const int centre_weight = env_int_within("MOPC", 10, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  static const int closeness_weight =
      env_int_within("MOPK", 0, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  if (bits == 0) return v;
  ++op_counters[EGK];
  return endgame_rules(v, bits, centre_weight, closeness_weight);
}

}  // namespace kelmstrad
