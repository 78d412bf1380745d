// The network's first layer, kept by the board: per point of view the sum of
// the hidden biases and the feature-weight rows of every piece.
//
// Inputs: 768 per view, one per colour, kind and square. A piece of kind k
// (1..6) on square s seen from view P (White or Black) is input
//   feature_index = (own piece ? 0 : 384) + (k - 1) * 64 + q,
// q = square64(s) for White's view and square64(s) ^ 56 for Black's: each
// view sees its own pieces in 0..383 and the opponent's in 384..767, with the
// board flipped for Black.
// The sums live in the position (position.accumulators, White's view first),
// in 16-bit arithmetic that wraps, always over all NETWORK_MAX_WIDTH entries
// (a network narrower than that has zero rows and biases beyond its width).
// While network_active, make adds the rows of the pieces a move places and
// subtracts those it takes away, and unmake does the opposite; wrapping sums
// undo exactly, so the kept sums always equal a sum from scratch. They hold
// for the position when position.accumulator_version equals
// feature_weights_version: a new position (FEN) or new weights leave them
// stale until accumulators_refresh.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int NETWORK_INPUTS = 768;

// The loaded network's feature-weight rows and hidden biases, filled by the
// network loader (set_feature_weights); read by make and unmake.
struct FeatureWeights {
  alignas(64) int16_t rows[NETWORK_INPUTS][NETWORK_MAX_WIDTH];
  alignas(64) int16_t biases[NETWORK_MAX_WIDTH];
};

extern FeatureWeights feature_weights;    // the rows make and unmake add up
extern uint32_t feature_weights_version;  // raised at every set_feature_weights; 0: none yet

// The input of a piece on a 0x88 square as seen from view `view` (WHITE or BLACK).
int feature_index(Piece piece, Square square, Side view);

// Copies the first `width` entries of every row and of the biases into
// feature_weights (zero beyond them) and raises the version, so every kept
// sum is stale until refreshed.
void set_feature_weights(const int16_t (*rows)[NETWORK_MAX_WIDTH], const int16_t* biases,
                         int width);

// Both views' sums of `pos` from scratch: the biases plus the row of every
// piece in the piece list, into out[0] (White's view) and out[1] (Black's).
void accumulators_sum(const Position& pos, const int16_t (*rows)[NETWORK_MAX_WIDTH],
                      const int16_t* biases, int16_t out[2][NETWORK_MAX_WIDTH]);

// Recomputes the global position's sums from feature_weights and marks them current.
void accumulators_refresh();

// True when the global position's sums are current for feature_weights.
inline bool accumulators_current() {
  return position.accumulator_version == feature_weights_version;
}

// The change of one move to the global position's sums: `moved` leaves
// `from`, `placed` (the promoted piece, or `moved`) arrives on `to`, a
// captured piece leaves `capture_square` (captured 0: none) and castling
// moves the rook. `undo` applies the opposite change (unmake).
void accumulators_move(Piece moved, Piece placed, int from, int to, Piece captured,
                       int capture_square, bool castling, bool undo);

}  // namespace kelmstrad
