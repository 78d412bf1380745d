// The static evaluation.
//
// Scores are centipawns. Term sums are white minus black (a white feature
// adds, the mirrored black feature subtracts); `evaluate` and `quick_eval`
// return the score for the side to move with a tempo of 10.
// Blend: every term has a middlegame and an endgame part, mixed by
// p16 = phase_scale[min(phase, 24)] in 0..16:
//   v = E + trunc(p16 * (M - E) / 16)   (truncated toward zero)
// with M, E = mg_score/eg_score (material and square tables, kept by make)
// plus the term sums of this evaluation.
// EvalFeatures are the white-minus-black counts of the last full evaluation,
// read by the diagnostic commands.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int TEMPO_BONUS = 10;
constexpr int PHASE_SCALE_SIZE = 25;
constexpr int PAWN_HASH_SIM_SLOTS = 65536;
constexpr int PAWN_HASH_SIM_DEFAULT = 64;
// Every evaluation, the network's included, is held inside +-EVAL_SCORE_LIMIT,
// so that no parameter table, switch or network can produce a score the
// searches take for a mate (magnitudes above 29935) or for a bound (32000),
// nor one whose sums with the search margins leave 32 bits.
constexpr int EVAL_SCORE_LIMIT = 29000;

// Term-group bits of the "Terms" option (terms_mask).
constexpr int TERM_PASSED = 1;
constexpr int TERM_ISOLATED = 2;
constexpr int TERM_DOUBLED = 4;
constexpr int TERM_ROOK_FILES = 8;
constexpr int TERM_BISHOP_PAIR = 16;
constexpr int TERM_KING_SHELTER = 32;

// A middlegame and an endgame sum.
struct TermPair {
  int64_t mg;
  int64_t eg;
};

struct EvalFeatures {
  int passed[8];             // passed pawns by relative rank (1..6 used)
  int isolated;              // isolated pawns
  int doubled;               // files with two or more pawns of one side
  int rook_open;             // rooks on files without pawns
  int rook_half;             // rooks on files with enemy pawns only
  int bishop_pair;           // +1 White has the pair, -1 Black has it
  int mobility[6];           // safe squares by kind 2..5
  int pawn_extra[11];        // features F6..F10
  int shelter_counts[2][6];  // [White, Black][shelter term 1..5], from the last king_shelter calls
};

extern uint8_t phase_scale[PHASE_SCALE_SIZE];  // blend weight by phase 0..24
extern EvalFeatures eval_features;             // counts of the last full evaluation
extern int32_t term_mg;                        // term sums of the last full evaluation
extern int32_t term_eg;
extern uint32_t phstat_probes;  // simulated pawn-hash probes since start-up
extern uint32_t phstat_misses;  // and misses
extern bool mobility_forced;    // raised around "termfeat3" only

// Fills phase_scale[k] = (16k + 12) / 24 (start-up).
void phase_scale_init();

// The blend weight 0..16 of the current position.
inline int blend_weight() {
  const int phase = position.phase < PHASE_SCALE_SIZE - 1 ? position.phase : PHASE_SCALE_SIZE - 1;
  return phase_scale[phase];
}

// The larger of the file and the rank distance of two on-board squares.
inline int square_distance(int a, int b) {
  const int df = square_file(a) > square_file(b) ? square_file(a) - square_file(b)
                                                 : square_file(b) - square_file(a);
  const int dr = square_rank(a) > square_rank(b) ? square_rank(a) - square_rank(b)
                                                 : square_rank(b) - square_rank(a);
  return df > dr ? df : dr;
}

// A score (white-relative or for the side to move) held inside +-EVAL_SCORE_LIMIT.
inline int hold_eval_score(int64_t v) {
  return v > EVAL_SCORE_LIMIT ? EVAL_SCORE_LIMIT
                              : (v < -EVAL_SCORE_LIMIT ? -EVAL_SCORE_LIMIT : static_cast<int>(v));
}

// A white-relative value as the score for the side to move, tempo included.
inline int side_relative(int v) {
  return position.side == WHITE ? v + TEMPO_BONUS : TEMPO_BONUS - v;
}

// The blend of mg_score/eg_score alone for the side to move; charges nothing.
int quick_eval();

// The static score for the side to move, tempo included; charges EVAL and
// the counters of the path it takes, and refreshes the features.
int evaluate();

// The lean path: material, square tables and king shelter without pawns;
// white-relative. Charges KS.
int lean_eval_white(int p16);

// The full hand-made path to its white-relative value (endgame rules
// included). Charges EVALX, KS and the counters of its terms.
int full_eval_white(int p16);

// The network-only value x (white-relative) after the search-line penalty in
// its network form and the endgame rules; white-relative.
int network_path_white(int x, int p16);

// Empties the simulated pawn hash ("ucinewgame" and tests).
void pawn_hash_sim_clear();

}  // namespace kelmstrad
