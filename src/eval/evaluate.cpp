#include "eval/evaluate.h"

#include <cstdio>
#include <cstring>

#include "clock/counters.h"
#include "eval/endgame.h"
#include "eval/king_shelter.h"
#include "eval/mobility.h"
#include "eval/network.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "eval/terms.h"
#include "io/env.h"
#include "io/options.h"
#include "io/output.h"

namespace kelmstrad {

uint8_t phase_scale[PHASE_SCALE_SIZE];  // blend weight by clamped phase
EvalFeatures eval_features;             // white-minus-black counts of the last full evaluation
int32_t term_mg = 0;                    // middlegame term sum of the last full evaluation
int32_t term_eg = 0;                    // endgame term sum of the last full evaluation
uint32_t phstat_probes = 0;             // simulated pawn-hash probes since start-up
uint32_t phstat_misses = 0;             // simulated pawn-hash misses since start-up
bool mobility_forced = false;           // count every piece's mobility ("termfeat3")

namespace {

// One slot of the simulated pawn hash: it stores keys only, never scores.
struct PawnHashSimSlot {
  uint32_t key;
  uint8_t valid;
};

PawnHashSimSlot pawn_hash_sim[PAWN_HASH_SIM_SLOTS];  // cleared only by "ucinewgame"
uint32_t pawn_hash_sim_used = PAWN_HASH_SIM_SLOTS;   // slots probes may reach, set at first use

const int8_t NO_PAWNS[PAWN_FILE_ENTRIES] = {};

// A 64-bit sum as the signed 32-bit value it wraps to.
int32_t wrap32(int64_t x) { return static_cast<int32_t>(static_cast<uint32_t>(x)); }

// The slot count from PHSIM, read once; an unusable value is replaced and
// reported.
uint32_t pawn_hash_sim_mask() {
  static const uint32_t mask = [] {
    const int slots =
        static_cast<int>(env_power_of_two("PHSIM", PAWN_HASH_SIM_DEFAULT, 1, PAWN_HASH_SIM_SLOTS));
    pawn_hash_sim_used = static_cast<uint32_t>(slots);
    return static_cast<uint32_t>(slots - 1);
  }();
  return mask;
}

// Step 2 of the full path: a probe of the simulated pawn hash. Only the
// counters see the outcome.
void probe_pawn_hash_sim() {
  const uint32_t key = position.pawn_king_key;
  PawnHashSimSlot& slot = pawn_hash_sim[key & pawn_hash_sim_mask()];
  ++phstat_probes;
  if (slot.valid && slot.key == key) return;
  ++op_counters[PHMISS];
  ++phstat_misses;
  if (pawn_extras_enabled) ++side_counters[NE_COUNT];
  slot.key = key;
  slot.valid = 1;
}

// E + trunc(p16 * (M - E) / 16) of the incremental scores plus term sums.
int64_t blend(int64_t mg_terms, int64_t eg_terms, int p16) {
  const int64_t m = position.mg_score + mg_terms;
  const int64_t e = position.eg_score + eg_terms;
  return e + p16 * (m - e) / 16;
}

// The white-relative hand-made value as the returned score. A loaded network
// in residual or blend mode is combined here.
int hand_made_result(int v, int p16) {
  if (network_corrects_eval()) return network_combine(v, p16);
  return side_relative(v);
}

// The network-only path: the scaled output, made white-relative for the
// search-line penalty and the endgame rules, then back for the side to move.
// No tempo. Charges one NNO.
int network_only_result(int p16) {
  const int x = network_scaled_eval();
  const int v = network_path_white(position.side == WHITE ? x : -x, p16);
  return position.side == WHITE ? v : -v;
}

}  // namespace

// Fills the blend weights by phase (start-up).
void phase_scale_init() {
  for (int k = 0; k < PHASE_SCALE_SIZE; ++k)
    phase_scale[k] = static_cast<uint8_t>((16 * k + 12) / 24);
}

// Only the slots probes may reach are cleared (all of them before the first probe).
void pawn_hash_sim_clear() {
  memset(pawn_hash_sim, 0, pawn_hash_sim_used * sizeof(PawnHashSimSlot));
}

// Truncation toward zero, so the blend is symmetric between the colours. The
// 16-bit scores may have wrapped (extreme parameters or root bonuses), so the
// value is held inside the evaluation's limit like every other.
int quick_eval() { return side_relative(hold_eval_score(blend(0, 0, blend_weight()))); }

// Every file counts as pawnless for both sides; no other term.
int lean_eval_white(int p16) {
  const int64_t shelter = static_cast<int64_t>(king_shelter(WHITE, NO_PAWNS, NO_PAWNS)) -
                          king_shelter(BLACK, NO_PAWNS, NO_PAWNS);
  ++op_counters[KS];
  return hold_eval_score(blend(shelter, 0, p16));
}

// The full hand-made value, white-relative; refreshes term_mg/term_eg and the
// features, charges EVALX, KS and the counters of the terms.
int full_eval_white(int p16) {
  static const bool debug_line = env_present("EVDBG2");
  const int terms = terms_mask;
  // Step 1.
  ++op_counters[EVALX];
  // Step 2. The simulated pawn hash decides the charge, not the score.
  probe_pawn_hash_sim();
  // Steps 3-6. The file table; rook files, isolated and passed pawns, doubled
  // pawns, bishop pair. The pawn cache gives what the direct path computes.
  PawnFileTable files;
  TermPair sum = cached_pawn_structure_terms(&files, terms);
  // Step 7.
  if (pawn_extras_enabled) {
    const TermPair extras = pawn_extras(files);
    sum.mg += extras.mg;
    sum.eg += extras.eg;
  }
  // Step 8.
  ++op_counters[KS];
  // Step 9. King shelter with the real pawn counts, middlegame only.
  if (terms & TERM_KING_SHELTER)
    sum.mg += static_cast<int64_t>(king_shelter(WHITE, files.count[0], files.count[1])) -
              king_shelter(BLACK, files.count[1], files.count[0]);
  // Step 10.
  if (mobility_enabled || mobility_forced) {
    const TermPair mobility = mobility_terms(mobility_forced);
    sum.mg += mobility.mg;
    sum.eg += mobility.eg;
  }
  // Step 11. The environment-switched terms.
  switchable_terms(&sum);
  term_mg = wrap32(sum.mg);
  term_eg = wrap32(sum.eg);
  // Step 12.
  if (debug_line)
    fprintf(stderr, "evaluate: mg=%d eg=%d smg=%d seg=%d p16=%d\n", position.mg_score,
            position.eg_score, term_mg, term_eg, p16);
  // Step 13. The tapered blend, white-relative.
  const int v = hold_eval_score(blend(term_mg, term_eg, p16));
  // Step 14.
  return hold_eval_score(apply_endgame_rules(v));
}

// The network value x after the search-line penalty and the endgame rules.
int network_path_white(int x, int p16) {
  return hold_eval_score(apply_endgame_rules(search_path_network(x, p16)));
}

// The score for the side to move with the tempo; charges EVAL and the path taken.
int evaluate() {
  // Step 1.
  ++op_counters[EVAL];
  // Step 2. The network named by NNUE is loaded, and its mode fixed, on the first call.
  network_first_use();
  const int p16 = blend_weight();
  // Step 3. The network alone: network-only mode, or blend mode at p16 16.
  // It comes before the lean test.
  if (network_replaces_eval(p16)) return network_only_result(p16);
  // Step 4. Residual and blend modes do not consult the network here.
  if (lean_mode) return side_relative(lean_eval_white(p16));
  // Step 5.
  return hand_made_result(full_eval_white(p16), p16);
}

}  // namespace kelmstrad
