#include "board/accumulator.h"

#include <cstring>

namespace kelmstrad {

// The loaded network's first layer; all zero until a network loads.
FeatureWeights feature_weights;
// Version of feature_weights; a position's sums are current when theirs equals it.
uint32_t feature_weights_version = 0;

namespace {

constexpr int OPPONENT_INPUTS = 384;
constexpr int ROWS_PER_KIND = 64;
constexpr int W = NETWORK_MAX_WIDTH;

// The loops run over all W entries, a fixed length with no dependence
// between entries, so that the compiler turns each into vector instructions
// where the target has them. The sums are formed in int and truncated: the
// same low 16 bits as 16-bit arithmetic that wraps.

// acc += add - sub, entry by entry.
inline void add_sub(int16_t* __restrict acc, const int16_t* __restrict add,
                    const int16_t* __restrict sub) {
  for (int i = 0; i < W; ++i) acc[i] = static_cast<int16_t>(acc[i] + add[i] - sub[i]);
}

// acc += row.
inline void add_row(int16_t* __restrict acc, const int16_t* __restrict row) {
  for (int i = 0; i < W; ++i) acc[i] = static_cast<int16_t>(acc[i] + row[i]);
}

// acc -= row.
inline void sub_row(int16_t* __restrict acc, const int16_t* __restrict row) {
  for (int i = 0; i < W; ++i) acc[i] = static_cast<int16_t>(acc[i] - row[i]);
}

// The row of a piece on a 0x88 square for one view.
inline const int16_t* row_of(Piece piece, int square, Side view) {
  return feature_weights.rows[feature_index(piece, static_cast<Square>(square), view)];
}

}  // namespace

// Own pieces first, then the opponent's; Black's view flips the ranks.
int feature_index(Piece piece, Square square, Side view) {
  const int q = view == WHITE ? square64(square) : (square64(square) ^ 56);
  const int base = piece_side(piece) == view ? 0 : OPPONENT_INPUTS;
  return base + (piece_kind(piece) - 1) * ROWS_PER_KIND + q;
}

// The loader's copy; entries beyond the width stay zero so that they add nothing.
void set_feature_weights(const int16_t (*rows)[NETWORK_MAX_WIDTH], const int16_t* biases,
                         int width) {
  memset(&feature_weights, 0, sizeof(feature_weights));
  const size_t bytes = static_cast<size_t>(width) * sizeof(int16_t);
  for (int f = 0; f < NETWORK_INPUTS; ++f) memcpy(feature_weights.rows[f], rows[f], bytes);
  memcpy(feature_weights.biases, biases, bytes);
  ++feature_weights_version;
}

// One pass over the 32 slots, each piece's two rows added to the two sums.
void accumulators_sum(const Position& pos, const int16_t (*rows)[NETWORK_MAX_WIDTH],
                      const int16_t* biases, int16_t out[2][NETWORK_MAX_WIDTH]) {
  memcpy(out[0], biases, sizeof(out[0]));
  memcpy(out[1], biases, sizeof(out[1]));
  for (uint8_t sq : pos.slot_square) {
    if (sq == NO_SQUARE) continue;
    const Piece piece = pos.board[sq];
    add_row(out[0], rows[feature_index(piece, sq, WHITE)]);
    add_row(out[1], rows[feature_index(piece, sq, BLACK)]);
  }
}

// The global position's sums from scratch, marked current.
void accumulators_refresh() {
  accumulators_sum(position, feature_weights.rows, feature_weights.biases, position.accumulators);
  position.accumulator_version = feature_weights_version;
}

// Per view: the moved piece's two rows in one pass, then the captured piece
// and the castling rook. Unmake swaps what is added and what is subtracted.
void accumulators_move(Piece moved, Piece placed, int from, int to, Piece captured,
                       int capture_square, bool castling, bool undo) {
  const Piece rook = piece_side(moved) | ROOK;
  const int rook_from = to > from ? from + 3 : from - 4;
  const int rook_to = to > from ? from + 1 : from - 1;
  for (int v = 0; v < 2; ++v) {
    const Side view = v == 0 ? WHITE : BLACK;
    int16_t* acc = position.accumulators[v];
    const int16_t* arrived = row_of(placed, to, view);
    const int16_t* left = row_of(moved, from, view);
    if (undo) {
      add_sub(acc, left, arrived);
      if (captured != 0) add_row(acc, row_of(captured, capture_square, view));
      if (castling) add_sub(acc, row_of(rook, rook_from, view), row_of(rook, rook_to, view));
    } else {
      add_sub(acc, arrived, left);
      if (captured != 0) sub_row(acc, row_of(captured, capture_square, view));
      if (castling) add_sub(acc, row_of(rook, rook_to, view), row_of(rook, rook_from, view));
    }
  }
}

}  // namespace kelmstrad
