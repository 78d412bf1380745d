// Scores: centipawns from the side to move's point of view. A side mated at
// ply p scores p - MATE_SCORE (mated_in), a side mating at ply p scores
// MATE_SCORE - p (mate_in). NO_SCORE lies beyond every real score.
//
// Two bounds, one apart, on purpose: the searches treat a magnitude above
// MATE_BOUND as a mate (no pruning, no aspiration window, no correction),
// while the tables store and the report names a mate only above
// MATE_TABLE_BOUND. Both searches' tables and the reduced searches share the
// same conversion between root and node distances.
#pragma once

namespace kelmstrad {

constexpr int MATE_SCORE = 30000;        // a side mated at ply p scores p - MATE_SCORE
constexpr int MATE_BOUND = 29935;        // magnitudes above this are mate scores in the searches
constexpr int MATE_TABLE_BOUND = 29936;  // magnitudes above this are stored and reported as mates
constexpr int NULL_MATE_SCORE = 29936;   // a null move failing high this high returns beta
constexpr int NO_SCORE = 32000;          // -NO_SCORE is below every real score

// The score of the side to move when it is mated at `ply`.
constexpr int mated_in(int ply) { return ply - MATE_SCORE; }

// The score of the side to move when it mates at `ply`.
constexpr int mate_in(int ply) { return MATE_SCORE - ply; }

// A score as a table stores it at `ply`: mate scores count from that node.
constexpr int score_to_table(int score, int ply) {
  if (score > MATE_TABLE_BOUND) return score + ply;
  if (score < -MATE_TABLE_BOUND) return score - ply;
  return score;
}

// A stored score read back at `ply`: mate scores count from the root again.
constexpr int score_from_table(int stored, int ply) {
  if (stored > MATE_TABLE_BOUND) return stored - ply;
  if (stored < -MATE_TABLE_BOUND) return stored + ply;
  return stored;
}

// The moves to mate that "score mate N" reports for a mate score (negative
// when the side to move is mated); the report rounds a mate at an odd ply up.
constexpr int mate_moves(int score) {
  return score > 0 ? (MATE_SCORE + 1 - score) / 2 : (-MATE_SCORE - score) / 2;
}

}  // namespace kelmstrad
