#include "eval/mobility.h"

#include <initializer_list>

#include "board/square_sets.h"
#include "clock/counters.h"
#include "eval/params.h"

namespace kelmstrad {

namespace {

// A knight's charge: all eight jumps are examined, on the board or not.
constexpr int KNIGHT_STEPS_CHARGED = 8;

// The squares along ray I (SET_STEPS order) from the 64-square `index` up to
// and including its nearest occupied square, or to the edge. The squares
// beyond the nearest blocker are that square's own ray. A blocker is added
// on the far corner (h8 for a rising step, a1 for a falling one), whose own
// ray along I is empty, so a ray without a piece needs no branch.
template <int I>
uint64_t ray_reach(int index, uint64_t occupied) {
  constexpr int CORNER = SET_STEPS[I] > 0 ? 63 : 0;
  static_assert(SQUARE_SETS.ray[CORNER][I] == 0);
  constexpr uint64_t FAR_CORNER = uint64_t{1} << CORNER;
  const uint64_t ray = SQUARE_SETS.ray[index][I];
  const int nearest = nearest_on_ray((ray & occupied) | FAR_CORNER, SET_STEPS[I]);
  return ray ^ SQUARE_SETS.ray[nearest][I];
}

// The squares a piece of KIND on `index` steps on: a knight's targets, a
// slider's rays (orthogonal steps first in SET_STEPS, then diagonal ones).
// The rays are disjoint, so a slider's set has one square per step a walk
// along them would charge.
template <int KIND>
uint64_t piece_reach(int index, uint64_t occupied) {
  uint64_t reach = 0;
  if constexpr (KIND == KNIGHT) reach = SQUARE_SETS.knight[index];
  if constexpr (KIND == ROOK || KIND == QUEEN)
    reach |= ray_reach<0>(index, occupied) | ray_reach<1>(index, occupied) |
             ray_reach<2>(index, occupied) | ray_reach<3>(index, occupied);
  if constexpr (KIND == BISHOP || KIND == QUEEN)
    reach |= ray_reach<4>(index, occupied) | ray_reach<5>(index, occupied) |
             ray_reach<6>(index, occupied) | ray_reach<7>(index, occupied);
  return reach;
}

// Adds the weighted safe squares of side's pieces of KIND to the sums and
// the kind's count; charges each piece and its examined squares. A kind
// weighted 0 is skipped (and not charged) unless forced. `open` holds the
// squares that count when reached.
template <int KIND>
void kind_terms(Side side, uint64_t occupied, uint64_t open, bool forced, TermPair* sum) {
  const int wmg = eval_params.mobmg[KIND];
  const int weg = eval_params.mobeg[KIND];
  if (!forced && wmg == 0 && weg == 0) return;
  int m = 0;
  uint32_t charged = 0;
  for (uint64_t pieces = position.piece_bits[side | KIND]; pieces != 0; pieces &= pieces - 1) {
    const uint64_t reach = piece_reach<KIND>(__builtin_ctzll(pieces), occupied);
    ++side_counters[MOB_PIECE_COUNT];
    m += count_wide_set(reach & open);
    charged += KIND == KNIGHT ? KNIGHT_STEPS_CHARGED : count_wide_set(reach);
  }
  side_counters[MOB_SQUARE_COUNT] += charged;
  const int sign = side == WHITE ? 1 : -1;
  sum->mg += sign * wmg * m;
  sum->eg += sign * weg * m;
  eval_features.mobility[KIND] += sign * m;
}

}  // namespace

// A square counts for a side when it holds no own piece and no enemy pawn
// attacks it; an enemy piece ends a ray but counts. The per-kind counts are
// cleared on every call (not only when forced), so they never grow without
// bound; "termfeat3" sees the same values either way.
TermPair mobility_terms(bool forced) {
  TermPair sum{0, 0};
  ++side_counters[MOB_EVAL_COUNT];
  for (int& count : eval_features.mobility) count = 0;
  const uint64_t occupied = side_squares(WHITE) | side_squares(BLACK);
  for (const Side side : {WHITE, BLACK}) {
    const uint64_t open = ~side_squares(side) & ~pawn_attack_squares(opponent(side));
    kind_terms<KNIGHT>(side, occupied, open, forced, &sum);
    kind_terms<BISHOP>(side, occupied, open, forced, &sum);
    kind_terms<ROOK>(side, occupied, open, forced, &sum);
    kind_terms<QUEEN>(side, occupied, open, forced, &sum);
  }
  return sum;
}

}  // namespace kelmstrad
