// The one global position.
//
// Board: 0x88 layout, square = rank * 16 + file (a1 = 0, h1 = 7, a8 = 112,
// h8 = 119); a square is on the board when (square & 0x88) == 0. Off-board
// entries of `board` stay 0.
// Pieces: kind in bits 0-2 (1 pawn .. 6 king), bit 3 set for Black, 0 empty.
// Sides: 0 White, 8 Black; a piece's owner is piece & 8, the opponent opponent(side).
// Piece list: 32 slots, White 0-15, Black 16-31; slot 0 is always the White
// king and slot 16 the Black king; 255 marks an empty slot. `square_slot` is
// only meaningful for occupied squares.
// Keys: `hash` covers pieces, castling and en passant, never the side to move;
// consumers that need a side-aware key XOR `side_key` themselves.
#pragma once

#include <cstdint>

namespace kelmstrad {

using Square = uint8_t;
using Piece = uint8_t;
using Side = uint8_t;
using Move = uint16_t;

constexpr Side WHITE = 0;
constexpr Side BLACK = 8;

constexpr uint8_t PAWN = 1;
constexpr uint8_t KNIGHT = 2;
constexpr uint8_t BISHOP = 3;
constexpr uint8_t ROOK = 4;
constexpr uint8_t QUEEN = 5;
constexpr uint8_t KING = 6;

constexpr Square NO_EP_SQUARE = 128;
constexpr Square NO_SQUARE = 255;

constexpr int HISTORY_CAPACITY = 1024;
constexpr int MOVE_STACK_CAPACITY = 4096;
constexpr int RECAPTURE_RING_SIZE = 128;
// The widest network: the length of each view's first-layer sums.
constexpr int NETWORK_MAX_WIDTH = 128;

constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

struct UndoRecord {
  Move move;
  Piece piece;
  Piece captured;
  Square capture_square;
  uint8_t capture_slot;
  uint32_t pawn_king_key;
  uint8_t castling;
  uint8_t ep_square;
  uint8_t halfmove_clock;
  uint8_t phase;
  int16_t mg_score;
  int16_t eg_score;
  uint32_t hash;
};

struct Position {
  uint8_t slot_square[32];
  uint8_t square_slot[128];
  Piece board[128];
  uint32_t hash;
  int16_t eg_score;
  int16_t mg_score;
  uint8_t phase;
  uint8_t halfmove_clock;
  Square ep_square;
  uint8_t castling;
  Side side;
  uint32_t pawn_king_key;
  // By piece code, the 64-square indices (bit rank * 8 + file) where such a
  // piece stands: what the board holds, kept by make and unmake so that a
  // reader of one kind need not walk the piece list.
  uint64_t piece_bits[16];
  // The occupied slots of White and Black (an attack test charges one per
  // live piece): the piece list's count, kept by make and unmake.
  uint8_t slot_count[2];
  UndoRecord history[HISTORY_CAPACITY];
  int32_t history_top;
  uint8_t recapture_square;
  // The network's first-layer sums, White's view then Black's, kept by make
  // and unmake while a network is loaded (board/accumulator.h); they hold for
  // this position when accumulator_version is the weights' version.
  alignas(64) int16_t accumulators[2][NETWORK_MAX_WIDTH];
  uint32_t accumulator_version;
};

extern Position position;                            // the position every part reads
extern Move move_stack[MOVE_STACK_CAPACITY];         // move lists of all plies, one above the other
extern uint16_t move_stack_len;                      // first free entry of move_stack
extern uint8_t recapture_ring[RECAPTURE_RING_SIZE];  // recapture_square saved per ply
// history_top when the current (or last) search started: the history records
// from there up are the search line. Set by the searches' common start.
extern int32_t search_root_top;

extern uint32_t piece_keys[16][64];  // by piece code and 64-square index
extern uint32_t castle_keys[16];     // by the whole castling byte
extern uint32_t ep_keys[8];          // by the file of the en-passant square
extern uint32_t side_key;            // Black to move
extern uint32_t key_seed;            // xorshift32 state after the last key drawn

constexpr uint8_t phase_weight[8] = {0, 0, 1, 1, 2, 4, 0, 0};

// Rights kept by a move touching the square: a1 13, e1 12, h1 14, a8 7, e8 3, h8 11.
extern uint8_t castle_mask[128];

constexpr int piece_kind(Piece p) { return p & 7; }
constexpr Side piece_side(Piece p) { return p & 8; }
constexpr int square_file(int sq) { return sq & 7; }
constexpr int square_rank(int sq) { return (sq >> 4) & 7; }
constexpr bool on_board(int sq) { return (sq & 0x88) == 0; }
// The 64-square index rank * 8 + file of an on-board 0x88 square.
constexpr int square64(int sq) { return (sq + (sq & 7)) >> 1; }
// First slot of a side's 16 (0 or 16): the side's king slot.
constexpr int side_slot_base(Side s) { return s * 2; }
// The other side.
constexpr Side opponent(Side s) { return static_cast<Side>(s ^ BLACK); }
// The square of side s's king (its first slot); NO_SQUARE when it has none.
inline Square king_square(Side s) { return position.slot_square[side_slot_base(s)]; }

// The bit of an on-board 0x88 square in a piece_bits set.
constexpr uint64_t square_bit(int sq) { return uint64_t{1} << square64(sq); }
// The 0x88 square of a 64-square index (the lowest bit of a set, say).
constexpr int square_of_index(int index) { return index + (index & ~7); }

// Fills the castling masks (start-up).
void castle_masks_init();

// Draws every key from xorshift32 starting at 0x9E3779B9, in the fixed order:
// piece keys by code then square, castling keys, en-passant keys, side key.
void keys_init();

// Rebuilds keys, scores, phase and piece sets from the board alone and compares them with
// the incremental fields and the slot maps, and the network's kept sums (when
// a network plays) with a sum from scratch; true when everything agrees.
bool position_is_ok();

}  // namespace kelmstrad
