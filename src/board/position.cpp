#include "board/position.h"

#include <cstring>

#include "board/make.h"

namespace kelmstrad {

Position position;
Move move_stack[MOVE_STACK_CAPACITY];
uint16_t move_stack_len = 0;
uint8_t recapture_ring[RECAPTURE_RING_SIZE];

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

// Recomputes everything derived from the board and compares it with the
// incremental fields; the position itself is left as it was.
bool position_is_ok() {
  const Position saved = position;
  int phase = 0;
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    if (!on_board(sq) || position.board[sq] == 0 || position.square_slot[sq] != slot) return false;
    if ((slot >= 16) != (piece_side(position.board[sq]) == BLACK)) return false;
    if ((slot & 15) == 0 && piece_kind(position.board[sq]) != KING) return false;
  }
  position.hash = 0;
  position.pawn_king_key = 0;
  position.mg_score = 0;
  position.eg_score = 0;
  for (int sq = 0; sq < 128; ++sq) {
    if (!on_board(sq)) {
      if (saved.board[sq] != 0) {
        position = saved;
        return false;
      }
      continue;
    }
    const Piece p = saved.board[sq];
    if (p == 0) continue;
    toggle_piece(p, static_cast<Square>(sq), true);
    phase += phase_weight[piece_kind(p)];
  }
  position.hash ^= castle_keys[saved.castling & 15];
  if (saved.ep_square != NO_EP_SQUARE) position.hash ^= ep_keys[saved.ep_square & 7];
  const bool ok = position.hash == saved.hash && position.pawn_king_key == saved.pawn_king_key &&
                  position.mg_score == saved.mg_score && position.eg_score == saved.eg_score &&
                  phase == saved.phase;
  position = saved;
  return ok;
}

}  // namespace kelmstrad
