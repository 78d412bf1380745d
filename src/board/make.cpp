#include "board/make.h"

#include <cstring>

#include "board/accumulator.h"
#include "board/attack.h"
#include "board/move.h"
#include "clock/counters.h"
#include "platform/assert.h"

namespace kelmstrad {

// Set by the caller before make: the side to move is in check, so every move
// pays the full legality test.
uint32_t in_check_hint = 0;

int32_t piece_square_mg[16][64];
int32_t piece_square_eg[16][64];
bool network_active = false;

namespace {

// "position ... moves" keeps the history from overflowing: above this many
// records only the last HISTORY_KEPT are kept.
constexpr int HISTORY_COMPACT_ABOVE = 951;
constexpr int HISTORY_KEPT = 128;
constexpr uint8_t HALFMOVE_CLOCK_MAX = 255;  // the largest count the byte holds

// Adds or removes one piece's share of the keys and the incremental scores.
inline void toggle(Piece piece, int square, bool adding) {
  const int i = square64(square);
  const int white = piece_side(piece) == WHITE;
  const int k = piece_kind(piece);
  const uint32_t key = piece_keys[piece][i];
  position.hash ^= key;
  if (k == PAWN || k == KING) position.pawn_king_key ^= key;
  const int mg = piece_square_mg[piece][i];
  const int eg = piece_square_eg[piece][i];
  const bool plus = (adding == static_cast<bool>(white));
  position.mg_score = static_cast<int16_t>(plus ? position.mg_score + mg : position.mg_score - mg);
  position.eg_score = static_cast<int16_t>(plus ? position.eg_score + eg : position.eg_score - eg);
}

// Removing a piece from one square and adding it on another in one step; the
// same 16-bit results as the two toggles (the material cancels).
inline void shift(Piece piece, int from, int to) {
  const int i = square64(from);
  const int j = square64(to);
  const bool white = piece_side(piece) == WHITE;
  const int k = piece_kind(piece);
  const uint32_t key = piece_keys[piece][i] ^ piece_keys[piece][j];
  position.hash ^= key;
  if (k == PAWN || k == KING) position.pawn_king_key ^= key;
  const int mg = piece_square_mg[piece][j] - piece_square_mg[piece][i];
  const int eg = piece_square_eg[piece][j] - piece_square_eg[piece][i];
  position.mg_score = static_cast<int16_t>(white ? position.mg_score + mg : position.mg_score - mg);
  position.eg_score = static_cast<int16_t>(white ? position.eg_score + eg : position.eg_score - eg);
}

// True for the king's two-square move from its home square: castling.
inline bool is_castling(Piece p, int from, int to) {
  if (piece_kind(p) != KING || (to != from + 2 && to != from - 2)) return false;
  return from == ((piece_side(p) == WHITE) ? WHITE_KING_HOME : BLACK_KING_HOME);
}

// Whether the piece on `square` is the one its slot lists. A side's second
// king (a FEN with two kings) is the exception: it stands without a slot of
// its own, so kings are not held to it.
inline bool slot_agrees(int square) {
  const Piece p = position.board[square];
  if (p == 0) return false;
  const uint8_t slot = position.square_slot[square];
  return (slot < 32 && position.slot_square[slot] == square) || piece_kind(p) == KING;
}

// Moves a piece and its slot between two squares, board and slot maps only.
inline void relocate(int from, int to) {
  ASSERT(slot_agrees(from) && position.board[to] == 0);
  const uint8_t slot = position.square_slot[from];
  const Piece p = position.board[from];
  const uint64_t change = square_bit(from) | square_bit(to);
  position.piece_bits[p] ^= change;
  position.piece_bits[piece_side(p)] ^= change;
  position.board[to] = p;
  position.board[from] = 0;
  position.square_slot[to] = slot;
  position.slot_square[slot] = static_cast<uint8_t>(to);
}

// The corner and wing squares of the castling rooks (0x88).
constexpr int A1 = 0x00, D1 = 0x03, F1 = 0x05, H1 = 0x07;
constexpr int A8 = 0x70, D8 = 0x73, F8 = 0x75, H8 = 0x77;

struct RookMove {
  int from;
  int to;
};

// The rook's move of a castling king move from its home square: short h to f,
// long a to d, on the king's rank.
inline RookMove castling_rook(int king_from, int king_to) {
  const bool white = king_from == WHITE_KING_HOME;
  if (king_to > king_from) return white ? RookMove{H1, F1} : RookMove{H8, F8};
  return white ? RookMove{A1, D1} : RookMove{A8, D8};
}

// Moves the castling rook with its keys and scores.
void castle_rook(int king_from, int king_to) {
  const RookMove rook_move = castling_rook(king_from, king_to);
  const Piece rook = position.board[rook_move.from];
  shift(rook, rook_move.from, rook_move.to);
  relocate(rook_move.from, rook_move.to);
}

// The scalars a move changes, copied between the position and an undo record
// (either way), so that saving and restoring name the same fields.
template <typename To, typename From>
inline void copy_scalars(To& to, const From& from) {
  to.pawn_king_key = from.pawn_king_key;
  to.castling = from.castling;
  to.ep_square = from.ep_square;
  to.halfmove_clock = from.halfmove_clock;
  to.phase = from.phase;
  to.mg_score = from.mg_score;
  to.eg_score = from.eg_score;
  to.hash = from.hash;
}

// Saves the move, its piece and the scalars it will change into the next undo record.
inline void save_undo(Move move, Piece p) {
  UndoRecord& u = position.history[position.history_top];
  u.move = move;
  u.piece = p;
  copy_scalars(u, position);
}

// Takes a captured piece off its square with its slot, keys, scores and phase.
inline void remove_captured(Piece c, int square, UndoRecord& u) {
  ASSERT(position.board[square] == c && slot_agrees(square));
  const uint8_t slot = position.square_slot[square];
  u.capture_slot = slot;
  position.slot_square[slot] = NO_SQUARE;
  toggle(c, square, false);
  position.phase = static_cast<uint8_t>(position.phase - phase_weight[piece_kind(c)]);
  position.piece_bits[c] ^= square_bit(square);
  position.piece_bits[piece_side(c)] ^= square_bit(square);
  --position.slot_count[piece_side(c) >> 3];
  position.board[square] = 0;
}

// Whether a slider of `enemy` stands on the line from the king k through the
// vacated square `from` with nothing between (the post-move board). When the
// king was not attacked before a move of another piece, this is the only way
// the move can leave it attacked.
inline bool uncovered_by(int k, int from, Side enemy) {
  if (k & 0x88) return false;
  const int index = from - k + DELTA_OFFSET;
  const uint8_t line = delta_flags[index] & (FLAG_DIAGONAL | FLAG_STRAIGHT);
  if (line == 0) return false;
  const int step = delta_step[index];
  int t = k + step;
  while ((t & 0x88) == 0 && position.board[t] == 0) t += step;
  if (t & 0x88) return false;
  const Piece q = position.board[t];
  return piece_side(q) == enemy && (kind_attack_mask[piece_kind(q)] & line) != 0;
}

// Charges the legality test (full or cheap) and answers whether the mover's
// king stands attacked after the move; `mover` is the side that moved. With
// KING_SAFE the caller knows the king was not attacked before the move.
template <bool KING_SAFE>
inline bool king_left_attacked(Side mover, bool full_test, int from) {
  const Side enemy = opponent(mover);
  const int king = king_square(mover);
  if (full_test) {
    const uint32_t saved = attack_context;
    attack_context = CONTEXT_MAKE;
    count_attack_test(enemy);
    attack_context = saved;
  } else {
    ++op_counters[MAKE_CHEAP];
    if (KING_SAFE) return uncovered_by(king, from, enemy);
  }
  return square_attacked(king, enemy);
}

}  // namespace

// Adds or removes one piece's share of the keys and the incremental scores.
void toggle_piece(Piece piece, Square square, bool adding) { toggle(piece, square, adding); }

// Every piece toggled onto an empty share; the phase held in 8 bits as make keeps it.
void rebuild_from_board() {
  position.hash = castle_keys[position.castling];
  if (position.ep_square != NO_EP_SQUARE) position.hash ^= ep_keys[position.ep_square & 7];
  position.pawn_king_key = 0;
  position.mg_score = 0;
  position.eg_score = 0;
  memset(position.piece_bits, 0, sizeof(position.piece_bits));
  for (int s = 0; s < 2; ++s) {
    position.slot_count[s] = 0;
    for (int slot = s * 16; slot < s * 16 + 16; ++slot)
      position.slot_count[s] += position.slot_square[slot] != NO_SQUARE;
  }
  int phase = 0;
  for (int sq = 0; sq < 128; ++sq) {
    const Piece piece = position.board[sq];
    if (!on_board(sq) || piece == 0) continue;
    toggle(piece, static_cast<Square>(sq), true);
    position.piece_bits[piece & 15] |= square_bit(sq);
    position.piece_bits[piece_side(piece)] |= square_bit(sq);
    phase += phase_weight[piece_kind(piece)];
  }
  position.phase = static_cast<uint8_t>(phase);
}

namespace {

// The body of make_move and make_move_king_safe.
template <bool KING_SAFE>
bool make_move_impl(Move move) {
  ASSERT(position.board[move_from(move)] != 0 &&
         piece_side(position.board[move_from(move)]) == position.side);
  if (position.history_top >= HISTORY_CAPACITY) return false;
  const int from = move_from(move);
  const int to = move_to(move);
  const Side s = position.side;
  const Piece p = position.board[from];
  Piece c = position.board[to];

  // Step 1. Recapture square, saved per ply.
  recapture_ring[position.history_top & (RECAPTURE_RING_SIZE - 1)] = position.recapture_square;
  position.recapture_square = (c != 0) ? static_cast<uint8_t>(to) : NO_SQUARE;

  // Step 2. Undo record; step 3: the old rights leave the key.
  save_undo(move, p);
  UndoRecord& u = position.history[position.history_top];
  const uint8_t old_rights = position.castling;
  position.hash ^= castle_keys[old_rights];

  // Step 4. The old en-passant key leaves; an en-passant capture takes the pawn behind.
  int capture_square = to;
  bool en_passant = false;
  if (position.ep_square != NO_EP_SQUARE) {
    position.hash ^= ep_keys[position.ep_square & 7];
    if (piece_kind(p) == PAWN && to == position.ep_square) {
      const int victim = en_passant_victim();
      if (victim != NO_SQUARE) {
        en_passant = true;
        capture_square = victim;
        c = position.board[victim];
      }
    }
  }

  // Step 5. The captured piece.
  u.captured = c;
  u.capture_square = static_cast<Square>(capture_square);
  if (c != 0) remove_captured(c, capture_square, u);

  // Steps 6 to 8. The piece leaves its square and arrives (promoted), then the
  // rook of castling, the rights and the en-passant square.
  relocate(from, to);
  if (piece_kind(p) == PAWN && (square_rank(to) == 0 || square_rank(to) == 7)) {
    const Piece promoted = s | promo_kinds[promo_index(move)];
    position.phase = static_cast<uint8_t>(position.phase + phase_weight[piece_kind(promoted)]);
    position.board[to] = promoted;
    position.piece_bits[p] ^= square_bit(to);
    position.piece_bits[promoted] ^= square_bit(to);
    toggle(p, from, false);
    toggle(promoted, to, true);
  } else {
    shift(p, from, to);
  }
  const bool castling = is_castling(p, from, to);
  if (castling) castle_rook(from, to);
  position.castling = old_rights & castle_mask[from] & castle_mask[to];
  if (piece_kind(p) == PAWN && (to == from + 32 || to == from - 32)) {
    position.ep_square = static_cast<Square>((from + to) / 2);
    position.hash ^= castle_keys[position.castling] ^ ep_keys[position.ep_square & 7];
  } else {
    position.ep_square = NO_EP_SQUARE;
    position.hash ^= castle_keys[position.castling];
  }

  // Step 9. Turn, clocks and charges.
  ++position.history_top;
  position.side = opponent(s);
  ++op_counters[MAKE];
  const bool resets = piece_kind(p) == PAWN || c != 0;
  // The clock stops at 255 instead of wrapping to 0: a game that long is past
  // the fifty-move rule for good, and the repetition window must not close.
  const uint8_t clock = position.halfmove_clock;
  position.halfmove_clock =
      resets ? 0 : static_cast<uint8_t>(clock < HALFMOVE_CLOCK_MAX ? clock + 1 : clock);
  if (c != 0) ++op_counters[MAKE_CAP];

  // Step 10. Network feature updates, only while a network is in use: the
  // first-layer sums follow the move (charged per changed input).
  if (network_active) {
    op_counters[NNF] += (c != 0 ? 3 : 2) + (castling ? 2 : 0);
    accumulators_move(p, position.board[to], from, to, c, capture_square, castling, false);
  }

  // Step 11. Legality by the mover's king.
  const bool full_test = piece_kind(p) == KING || en_passant || in_check_hint != 0;
  if (king_left_attacked<KING_SAFE>(s, full_test, from)) {
    unmake_move();
    return false;
  }
  ASSERT(position_is_ok());
  return true;
}

}  // namespace

// Plays a pseudo-legal move; false and nothing changed (counters apart) if it
// leaves the mover's king attacked, or if the history stack is full.
bool make_move(Move move) { return make_move_impl<false>(move); }

// make_move when the mover's king is known not to be attacked now: the same
// result and charges, a shorter legality test for moves of other pieces.
bool make_move_king_safe(Move move) { return make_move_impl<true>(move); }

// Takes back the last move made by make_move; scalars come from the record.
void unmake_move() {
  --position.history_top;
  ++op_counters[UNMAKE];
  position.recapture_square = recapture_ring[position.history_top & (RECAPTURE_RING_SIZE - 1)];
  const UndoRecord& u = position.history[position.history_top];
  position.side = opponent(position.side);
  const int from = move_from(u.move);
  const int to = move_to(u.move);
  const Piece placed = position.board[to];
  const bool castling = is_castling(u.piece, from, to);
  relocate(to, from);
  if (placed != u.piece) {
    position.piece_bits[placed] ^= square_bit(from);
    position.piece_bits[u.piece] ^= square_bit(from);
  }
  position.board[from] = u.piece;
  if (u.captured != 0) ++op_counters[UNMAKE_CAP];
  if (castling) {
    const RookMove rook_move = castling_rook(from, to);
    relocate(rook_move.to, rook_move.from);
  }
  if (u.captured != 0) {
    ASSERT(position.board[u.capture_square] == 0);
    position.board[u.capture_square] = u.captured;
    position.piece_bits[u.captured] ^= square_bit(u.capture_square);
    position.piece_bits[piece_side(u.captured)] ^= square_bit(u.capture_square);
    ++position.slot_count[piece_side(u.captured) >> 3];
    position.slot_square[u.capture_slot] = u.capture_square;
    position.square_slot[u.capture_square] = u.capture_slot;
  }
  copy_scalars(position, u);
  if (network_active)
    accumulators_move(u.piece, placed, from, to, u.captured, u.capture_square, castling, true);
  ASSERT(position_is_ok());
}

// Passes the turn; no counter is charged and the recapture ring is left alone.
void make_null_move() {
  UndoRecord& u = position.history[position.history_top++];
  u.move = 0;
  u.ep_square = position.ep_square;
  u.halfmove_clock = position.halfmove_clock;
  u.hash = position.hash;
  if (position.ep_square != NO_EP_SQUARE) position.hash ^= ep_keys[position.ep_square & 7];
  position.side = opponent(position.side);
  position.ep_square = NO_EP_SQUARE;
  position.halfmove_clock = 0;
  ASSERT(position_is_ok());
}

// Takes back the last null move.
void unmake_null_move() {
  position.side = opponent(position.side);
  const UndoRecord& u = position.history[--position.history_top];
  position.ep_square = u.ep_square;
  position.halfmove_clock = u.halfmove_clock;
  position.hash = u.hash;
  ASSERT(position_is_ok());
}

// Plays the move tokens in order until one is unknown or illegal; keeps the
// history below its capacity by dropping all but the last 128 records.
void play_position_moves(const char* const* tokens, int count) {
  for (int i = 0; i < count; ++i) {
    const Move move = parse_move_text(tokens[i]);
    if (move == 0 || !make_move(move)) return;
    if (position.history_top > HISTORY_COMPACT_ABOVE) {
      memmove(position.history, position.history + position.history_top - HISTORY_KEPT,
              HISTORY_KEPT * sizeof(UndoRecord));
      position.history_top = HISTORY_KEPT;
    }
  }
}

}  // namespace kelmstrad
