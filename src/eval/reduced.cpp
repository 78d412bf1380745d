#include "eval/reduced.h"

#include <cstdio>
#include <cstring>

#include "clock/counters.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "io/env.h"

namespace kelmstrad {

uint32_t skel_pawn_probes = 0;  // pawn-hash probes of skeleton_eval
uint32_t skel_pawn_hits = 0;    // pawn-hash hits of skeleton_eval

namespace {

constexpr uint32_t SKELETON_KEY_MIX = 0x9E3779B1u;

// One slot: the passed-pawn sums of one pawn-and-king structure.
struct SkeletonPawnSlot {
  uint32_t key;
  int16_t mg;
  int16_t eg;
  bool valid;
};

SkeletonPawnSlot skeleton_pawn_hash[SKELETON_PAWN_SLOTS];  // cleared only by "skel4"

// Passed-pawn sums of the position whatever the Terms mask says.
void passed_pawn_sums(int16_t* mg, int16_t* eg) {
  PawnFileTable files;
  build_pawn_file_table(&files);
  int sum_mg = 0;
  int sum_eg = 0;
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE || piece_kind(position.board[sq]) != PAWN) continue;
    const Side side = piece_side(position.board[sq]);
    if (!pawn_is_passed(files, side, sq)) continue;
    const int relative = side == WHITE ? square_rank(sq) : 7 - square_rank(sq);
    const int sign = side == WHITE ? 1 : -1;
    sum_mg += sign * eval_params.passmg[relative];
    sum_eg += sign * eval_params.passeg[relative];
  }
  *mg = static_cast<int16_t>(sum_mg);
  *eg = static_cast<int16_t>(sum_eg);
}

}  // namespace

// quick_eval, or the passer form when SKPASS is set.
int skeleton_eval() {
  static const bool passers_on = env_present("SKPASS");
  return passers_on ? skeleton_eval_passers() : quick_eval();
}

// The blend of the incremental scores plus hashed passer sums; charges EVAL and
// KS, advances the probe and hit counts and may print the EVDBG line.
int skeleton_eval_passers() {
  static const bool debug_line = env_present("EVDBG");
  ++op_counters[EVAL];
  ++op_counters[KS];
  const uint32_t key = position.pawn_king_key ^ SKELETON_KEY_MIX;
  ++skel_pawn_probes;
  SkeletonPawnSlot& slot = skeleton_pawn_hash[key & (SKELETON_PAWN_SLOTS - 1)];
  if (slot.valid && slot.key == key) {
    ++skel_pawn_hits;
  } else {
    passed_pawn_sums(&slot.mg, &slot.eg);
    slot.key = key;
    slot.valid = true;
  }
  const int p16 = blend_weight();
  const int m = position.mg_score + slot.mg;
  const int e = position.eg_score + slot.eg;
  const int v = e + p16 * (m - e) / 16;
  if (debug_line)
    fprintf(stderr, "full: mg=%d eg=%d smg=%d seg=%d p16=%d s=%d terms=%d\n", position.mg_score,
            position.eg_score, slot.mg, slot.eg, p16, v, 1);
  return side_relative(v);
}

// Invalidates every slot and zeroes both counters.
void skeleton_pawn_hash_clear() {
  memset(skeleton_pawn_hash, 0, sizeof(skeleton_pawn_hash));
  skel_pawn_probes = 0;
  skel_pawn_hits = 0;
}

}  // namespace kelmstrad
