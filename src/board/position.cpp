#include "board/position.h"

#include <cstring>

#include "board/accumulator.h"
#include "board/make.h"

namespace kelmstrad {

Position position;
Move move_stack[MOVE_STACK_CAPACITY];
uint16_t move_stack_len = 0;
uint8_t recapture_ring[RECAPTURE_RING_SIZE];
int32_t search_root_top = 0;

uint32_t piece_keys[16][64];
uint32_t castle_keys[16];
uint32_t ep_keys[8];
uint32_t side_key;
uint32_t key_seed = 0x9E3779B9u;

uint8_t castle_mask[128];

namespace {

// One xorshift32 step on key_seed; returns the new state.
uint32_t next_key() {
  uint32_t x = key_seed;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  key_seed = x;
  return x;
}

}  // namespace

// Fills castle_mask: 15 everywhere but the king and rook home squares.
void castle_masks_init() {
  memset(castle_mask, 15, sizeof(castle_mask));
  castle_mask[0] = 13;
  castle_mask[4] = 12;
  castle_mask[7] = 14;
  castle_mask[112] = 7;
  castle_mask[116] = 3;
  castle_mask[119] = 11;
}

// Draws all keys in their fixed order; the same keys in every run.
void keys_init() {
  key_seed = 0x9E3779B9u;
  for (auto& by_square : piece_keys)
    for (uint32_t& key : by_square) key = next_key();
  for (uint32_t& key : castle_keys) key = next_key();
  for (uint32_t& key : ep_keys) key = next_key();
  side_key = next_key();
}

namespace {

// The scalar fields keep their ranges: a side of 0 or 8, rights below 16, no
// en-passant square or one on the board, the history within its capacity.
bool scalars_are_ok() {
  if (position.side != WHITE && position.side != BLACK) return false;
  if (position.castling > 15) return false;
  if (position.ep_square != NO_EP_SQUARE && !on_board(position.ep_square)) return false;
  return position.history_top >= 0 && position.history_top <= HISTORY_CAPACITY;
}

// Every used slot points at a piece of its side standing on the board whose
// square points back at the slot; kings are in the king slots and only there.
bool slots_are_ok() {
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    if (!on_board(sq) || position.board[sq] == 0 || position.square_slot[sq] != slot) return false;
    const Piece p = position.board[sq];
    if ((slot >= 16) != (piece_side(p) == BLACK)) return false;
    if (((slot & 15) == 0) != (piece_kind(p) == KING)) return false;
  }
  return true;
}

// Off-board entries are empty, pieces are real codes, and every piece is in
// the piece list, except a side's second king: a FEN with two kings leaves
// the earlier one on the board without a slot.
bool squares_are_ok() {
  for (int sq = 0; sq < 128; ++sq) {
    const Piece p = position.board[sq];
    if (!on_board(sq)) {
      if (p != 0) return false;
      continue;
    }
    if (p == 0) continue;
    if (piece_kind(p) == 0 || piece_kind(p) == 7 || (p & ~15) != 0) return false;
    const int slot = position.square_slot[sq];
    const bool listed = slot < 32 && position.slot_square[slot] == sq;
    if (!listed && piece_kind(p) != KING) return false;
  }
  return true;
}

// The network's kept sums equal a sum from scratch, when a network plays and
// they are current (stale sums are recomputed before they are read).
bool accumulators_are_ok() {
  if (!network_active || !accumulators_current()) return true;
  int16_t sums[2][NETWORK_MAX_WIDTH];
  accumulators_sum(position, feature_weights.rows, feature_weights.biases, sums);
  return memcmp(sums, position.accumulators, sizeof(sums)) == 0;
}

}  // namespace

// Recomputes keys, scores, phase, piece sets and slot counts from the board with toggle_piece (the
// same tables make uses, root terms included) and compares them with the
// incremental fields, after the range, slot and square checks. The position
// is left exactly as it was.
bool position_is_ok() {
  if (!scalars_are_ok() || !slots_are_ok() || !squares_are_ok() || !accumulators_are_ok())
    return false;
  const uint32_t hash = position.hash;
  const uint32_t pawn_king_key = position.pawn_king_key;
  const int16_t mg_score = position.mg_score;
  const int16_t eg_score = position.eg_score;
  const uint8_t phase = position.phase;
  uint64_t piece_bits[16];
  memcpy(piece_bits, position.piece_bits, sizeof(piece_bits));
  const uint8_t white_slots = position.slot_count[0];
  const uint8_t black_slots = position.slot_count[1];
  rebuild_from_board();
  const bool ok = position.hash == hash && position.pawn_king_key == pawn_king_key &&
                  position.mg_score == mg_score && position.eg_score == eg_score &&
                  position.phase == phase &&
                  memcmp(piece_bits, position.piece_bits, sizeof(piece_bits)) == 0 &&
                  position.slot_count[0] == white_slots && position.slot_count[1] == black_slots;
  position.hash = hash;
  position.pawn_king_key = pawn_king_key;
  position.mg_score = mg_score;
  position.eg_score = eg_score;
  position.phase = phase;
  memcpy(position.piece_bits, piece_bits, sizeof(piece_bits));
  position.slot_count[0] = white_slots;
  position.slot_count[1] = black_slots;
  return ok;
}

}  // namespace kelmstrad
