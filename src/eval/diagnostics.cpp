#include "eval/diagnostics.h"

#include "board/legal.h"
#include "board/position.h"
#include "clock/counters.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "eval/reduced.h"
#include "io/output.h"

namespace kelmstrad {

namespace {

// True (after saying why) when the position lacks a king.
bool refuse_evaluation() {
  const char* why = missing_king_reason();
  if (why == nullptr) return false;
  uci_print("info string no evaluation: %s\n", why);
  return true;
}

// evaluate seen from White.
int white_score() {
  const int score = evaluate();
  return position.side == WHITE ? score : -score;
}

// The passed-pawn counts by relative rank 1..6 and the five term counts.
void print_term_counts() {
  const EvalFeatures& f = eval_features;
  for (int rank = 1; rank <= 6; ++rank) uci_print(" %d", f.passed[rank]);
  uci_print(" %d %d %d %d %d", f.isolated, f.doubled, f.rook_open, f.rook_half, f.bishop_pair);
}

}  // namespace

// Prints evaluate for the side to move.
void print_eval() {
  if (refuse_evaluation()) return;
  uci_print("%d\n", evaluate());
}

// Prints evaluate from White's side.
void print_tuneeval() {
  if (refuse_evaluation()) return;
  uci_print("%d\n", white_score());
}

// Shifts right (a floor), unlike the truncating blend of quick_eval.
void print_evalskel() {
  if (refuse_evaluation()) return;
  ++op_counters[EVAL];
  const int p16 = blend_weight();
  const int k = (position.eg_score * (16 - p16) + position.mg_score * p16) >> 4;
  uci_print("%d\n", position.side == WHITE ? k + TEMPO_BONUS : TEMPO_BONUS - k);
}

// Prints skeleton_eval.
void print_evalskel2() {
  if (refuse_evaluation()) return;
  uci_print("%d\n", skeleton_eval());
}

// Prints the White-side score and the blend weight.
void print_tunefeat() {
  if (refuse_evaluation()) return;
  const int score = white_score();
  uci_print("tf %d %d\n", score, blend_weight());
}

// Prints the score, the blend weight and the term counts of this evaluation.
void print_termfeat() {
  if (refuse_evaluation()) return;
  const int score = white_score();
  uci_print("tf2 %d %d", score, blend_weight());
  print_term_counts();
  uci_print("\n");
}

// As "termfeat" with mobility forced for the call, the pawn extras and the
// shelter differences.
void print_termfeat3() {
  if (refuse_evaluation()) return;
  mobility_forced = true;
  const int score = white_score();
  mobility_forced = false;
  const EvalFeatures& f = eval_features;
  uci_print("tf3 %d %d", score, blend_weight());
  print_term_counts();
  for (int kind = KNIGHT; kind <= QUEEN; ++kind) uci_print(" %d", f.mobility[kind]);
  for (int i = 6; i <= 10; ++i) uci_print(" %d", pawn_extras_enabled ? f.pawn_extra[i] : 0);
  for (int term = 1; term <= 5; ++term)
    uci_print(" %d", f.shelter_counts[0][term] - f.shelter_counts[1][term]);
  uci_print("\n");
}

// Prints the five pawn-extra features of the position, enabled or not.
void print_nefeat() {
  if (refuse_evaluation()) return;
  PawnFileTable files;
  build_pawn_file_table(&files);
  pawn_extras(files);
  const int* f = eval_features.pawn_extra;
  uci_print("%d %d %d %d %d\n", f[6], f[7], f[8], f[9], f[10]);
}

// Prints the mobility side counters.
void print_mobstat() {
  uci_print("mobstat %lu %lu %lu\n", static_cast<unsigned long>(side_counters[MOB_SQUARE_COUNT]),
            static_cast<unsigned long>(side_counters[MOB_PIECE_COUNT]),
            static_cast<unsigned long>(side_counters[MOB_EVAL_COUNT]));
}

// Prints the simulated pawn-hash probes and misses since start-up.
void print_phstat() {
  uci_print("phstat probes %lu misses %lu\n", static_cast<unsigned long>(phstat_probes),
            static_cast<unsigned long>(phstat_misses));
}

}  // namespace kelmstrad
