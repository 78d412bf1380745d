#include "board/attack.h"

#include <cstring>

#include "board/move.h"
#include "board/square_sets.h"
#include "clock/counters.h"

namespace kelmstrad {

// One-step directions: four orthogonal, then four diagonal.
const int king_dirs[8] = {1, -1, 16, -16, 15, 17, -15, -17};
// Knight jumps.
const int knight_dirs[8] = {33, 31, 18, 14, -14, -18, -31, -33};
// Which pieces reach a square from another, by (target - source + 119).
uint8_t delta_flags[256];
// Unit step along the shared line of two squares, by (target - source + 119); 0 off any line.
int8_t delta_step[256];
// The delta_flags bit each kind attacks with (pawns use the colour bits instead).
const uint8_t kind_attack_mask[8] = {
    0, 0, FLAG_KNIGHT, FLAG_DIAGONAL, FLAG_STRAIGHT, FLAG_DIAGONAL | FLAG_STRAIGHT, FLAG_KING, 0};

namespace {

// The delta_flags bits by which each piece code attacks: the colour bit for
// pawns, kind_attack_mask for the others.
// clang-format off
constexpr uint8_t PIECE_ATTACK_BITS[16] = {
    0, FLAG_WHITE_PAWN, FLAG_KNIGHT, FLAG_DIAGONAL, FLAG_STRAIGHT, FLAG_DIAGONAL | FLAG_STRAIGHT,
    FLAG_KING, 0,
    0, FLAG_BLACK_PAWN, FLAG_KNIGHT, FLAG_DIAGONAL, FLAG_STRAIGHT, FLAG_DIAGONAL | FLAG_STRAIGHT,
    FLAG_KING, 0};
// clang-format on

// True if the piece on `from` attacks `square`; both on the board. Pawns,
// knights and kings attack by their flag alone, sliders need a clear path.
inline bool piece_attacks(int from, int square) {
  const int index = square - from + DELTA_OFFSET;
  const uint8_t hit = delta_flags[index] & PIECE_ATTACK_BITS[position.board[from] & 15];
  if (hit == 0) return false;
  if ((hit & (FLAG_DIAGONAL | FLAG_STRAIGHT)) == 0) return true;
  const int step = delta_step[index];
  int t = from + step;
  while (t != square && position.board[t] == 0) t += step;
  return t == square;
}

// True if every square strictly between from and to (on one line) is empty.
bool path_is_clear(int from, int to) {
  const int step = delta_step[to - from + DELTA_OFFSET];
  for (int t = from + step; t != to; t += step)
    if (position.board[t] != 0) return false;
  return true;
}

}  // namespace

// Fills delta_flags and delta_step from the direction tables.
void attack_tables_init() {
  memset(delta_flags, 0, sizeof(delta_flags));
  memset(delta_step, 0, sizeof(delta_step));
  for (int i = 0; i < 8; ++i) {
    delta_flags[knight_dirs[i] + DELTA_OFFSET] |= FLAG_KNIGHT;
    delta_flags[king_dirs[i] + DELTA_OFFSET] |= FLAG_KING;
  }
  delta_flags[15 + DELTA_OFFSET] |= FLAG_WHITE_PAWN;
  delta_flags[17 + DELTA_OFFSET] |= FLAG_WHITE_PAWN;
  delta_flags[-15 + DELTA_OFFSET] |= FLAG_BLACK_PAWN;
  delta_flags[-17 + DELTA_OFFSET] |= FLAG_BLACK_PAWN;
  for (int i = 0; i < 8; ++i) {
    const int d = king_dirs[i];
    for (int k = 1; k <= 7; ++k) {
      delta_flags[k * d + DELTA_OFFSET] |= (i < 4) ? FLAG_STRAIGHT : FLAG_DIAGONAL;
      delta_step[k * d + DELTA_OFFSET] = static_cast<int8_t>(d);
    }
  }
}

namespace {

// True if the path from `from` to `square` (on one line) is clear.
inline bool line_is_clear(int from, int square) {
  const int step = delta_step[square - from + DELTA_OFFSET];
  int t = from + step;
  while (t != square && position.board[t] == 0) t += step;
  return t == square;
}

// True if a slider of the set, each on a line through the square that it
// moves along, reaches the square.
inline bool slider_set_attacks(uint64_t sliders, int square) {
  for (; sliders != 0; sliders &= sliders - 1)
    if (line_is_clear(square_of_index(__builtin_ctzll(sliders)), square)) return true;
  return false;
}

}  // namespace

// True if a piece of side `by` attacks the square; a square off the board
// (a missing king's 255) is attacked by nothing. Charges nothing. Pawns by
// the two squares they attack from, the other kinds by the piece sets; the
// king is the one in the side's king slot, as a FEN's second king without a
// slot attacks nothing.
bool square_attacked(int square, Side by) {
  if (square & 0x88) return false;
  const Piece* b = position.board;
  const uint64_t* bits = position.piece_bits;
  const int index = square64(square);
  // A White pawn attacks upwards: it stands 15 or 17 below the square.
  const int pawn_base = by == WHITE ? square - 17 : square + 15;
  const Piece pawn = by | PAWN;
  if ((on_board(pawn_base) && b[pawn_base] == pawn) ||
      (on_board(pawn_base + 2) && b[pawn_base + 2] == pawn))
    return true;
  if (SQUARE_SETS.knight[index] & bits[by | KNIGHT]) return true;
  const int king = king_square(by);
  if (king != NO_SQUARE && (delta_flags[square - king + DELTA_OFFSET] & FLAG_KING)) return true;
  const uint64_t queens = bits[by | QUEEN];
  return slider_set_attacks((bits[by | BISHOP] | queens) & SQUARE_SETS.diagonal[index], square) ||
         slider_set_attacks((bits[by | ROOK] | queens) & SQUARE_SETS.straight[index], square);
}

namespace {

// Whether the first piece from the king k along its line through the vacated
// square `from` is a slider of `mover` that moves along that line.
bool line_opened(int k, int from, Side mover) {
  const int index = from - k + DELTA_OFFSET;
  const uint8_t line = delta_flags[index] & (FLAG_DIAGONAL | FLAG_STRAIGHT);
  if (line == 0) return false;
  const int step = delta_step[index];
  int t = k + step;
  while ((t & 0x88) == 0 && position.board[t] == 0) t += step;
  if (t & 0x88) return false;
  const Piece q = position.board[t];
  return piece_side(q) == mover && piece_kind(q) != PAWN &&
         (kind_attack_mask[piece_kind(q)] & line) != 0;
}

}  // namespace

// If the king stood unattacked before the last move, only a piece that moved
// can attack it now, or a slider whose line a vacated square opened: the
// moved piece, the castling rook, and the lines through the from-squares and
// an en-passant victim's square. Pieces without a slot (a FEN's second king)
// neither move nor slide, so this agrees with square_attacked.
bool king_attacked_after_move() {
  const int k = king_square(position.side);
  if (k & 0x88) return false;
  const Side mover = opponent(position.side);
  const UndoRecord& u = position.history[position.history_top - 1];
  const int from = move_from(u.move);
  const int to = move_to(u.move);
  if (piece_attacks(to, k) || line_opened(k, from, mover)) return true;
  if (u.captured != 0 && u.capture_square != to && line_opened(k, u.capture_square, mover))
    return true;
  const int home = piece_side(u.piece) == WHITE ? WHITE_KING_HOME : BLACK_KING_HOME;
  if (piece_kind(u.piece) != KING || from != home || (to != from + 2 && to != from - 2))
    return false;
  const bool short_side = to > from;
  const int rook_to = short_side ? from + 1 : from - 1;
  const int rook_from = short_side ? from + 3 : from - 4;
  return piece_attacks(rook_to, k) || line_opened(k, rook_from, mover);
}

// Charges one attack test by `by`: ATT, its context bucket and one ATT_PC per live piece of `by`.
void count_attack_test(Side by) {
  ++op_counters[ATT];
  if (attack_context < ATTACK_CONTEXTS) ++attack_bucket[attack_context];
  op_counters[ATT_PC] += position.slot_count[by >> 3];
}

// True if the side to move may castle on the wing now (the destination square
// is left to make); sets attack_context to 4 and charges up to two tests.
bool castling_allowed(int wing) {
  attack_context = CONTEXT_CASTLING;
  const Side s = position.side;
  const int right = (wing == WING_SHORT ? 1 : 2) << (s == BLACK ? 2 : 0);
  if ((position.castling & right) == 0) return false;
  const int home = (s == WHITE) ? WHITE_KING_HOME : BLACK_KING_HOME;
  // The king in the side's king slot, not a second king a FEN may have left unlisted.
  if (king_square(s) != home) return false;
  const Piece* b = position.board;
  const Piece rook = s | ROOK;
  if (wing == WING_SHORT) {
    if (b[home + 3] != rook || b[home + 1] != 0 || b[home + 2] != 0) return false;
  } else {
    if (b[home - 4] != rook || b[home - 1] != 0 || b[home - 2] != 0 || b[home - 3] != 0)
      return false;
  }
  const Side enemy = opponent(s);
  count_attack_test(enemy);
  if (square_attacked(home, enemy)) return false;
  count_attack_test(enemy);
  return !square_attacked(wing == WING_SHORT ? home + 1 : home - 1, enemy);
}

namespace {

// Discovered check: true if moving from `from` to `to` uncovers a slider of
// the mover on the enemy king k.
bool uncovers_check(int from, int to, int k, Side mover) {
  const int index = from - k + DELTA_OFFSET;
  const uint8_t line = delta_flags[index] & (FLAG_DIAGONAL | FLAG_STRAIGHT);
  if (line == 0) return false;
  const int step = delta_step[index];
  for (int t = k + step; (t & 0x88) == 0 && t != to; t += step) {
    if (t == from) continue;
    const Piece q = position.board[t];
    if (q == 0) continue;
    return piece_side(q) == mover && piece_kind(q) != PAWN &&
           (kind_attack_mask[piece_kind(q)] & line) != 0;
  }
  return false;
}

}  // namespace

// Conservative check test: true for every castling and promotion move, for a
// direct check from the to-square and for a discovered check. Charges nothing.
bool gives_check(Move move) {
  const int from = move_from(move);
  const int to = move_to(move);
  if ((from | to) & 0x88) return false;
  const Side mover = position.side;
  const int kind = piece_kind(position.board[from]);
  const int k = king_square(opponent(mover));
  if (kind == KING) {
    if (to == from + 2 || to == from - 2) return true;
  } else if (kind == PAWN) {
    if (square_rank(to) == 0 || square_rank(to) == 7) return true;
    if (k == NO_SQUARE) return false;
    const uint8_t bit = mover == WHITE ? FLAG_WHITE_PAWN : FLAG_BLACK_PAWN;
    if (delta_flags[k - to + DELTA_OFFSET] & bit) return true;
  } else if (k != NO_SQUARE) {
    const int index = k - to + DELTA_OFFSET;
    if (delta_flags[index] & kind_attack_mask[kind]) {
      if (kind == KNIGHT) return true;
      const int step = delta_step[index];
      int t = to + step;
      while (t != k && (position.board[t] == 0 || t == from)) t += step;
      if (t == k) return true;
    }
  }
  if (k == NO_SQUARE) return false;
  return uncovers_check(from, to, k, mover);
}

namespace {

// Pawn part of move_is_pseudo_legal; c is what stands on the to-square.
bool pawn_move_is_pseudo_legal(Move move, int from, int to, Piece c) {
  const Side s = position.side;
  const int fwd = (s == WHITE) ? 16 : -16;
  const int last_rank = (s == WHITE) ? 7 : 0;
  if ((move & 0x8080) != 0 && square_rank(to) != last_rank) return false;
  const int d = to - from;
  if (d == fwd) return c == 0;
  if (d == 2 * fwd)
    return c == 0 && position.board[from + fwd] == 0 && square_rank(from) == ((s == WHITE) ? 1 : 6);
  if (d == fwd - 1 || d == fwd + 1)
    return c != 0 || (to == position.ep_square && en_passant_victim() != NO_SQUARE);
  return false;
}

}  // namespace

// True if the move could be played here apart from leaving the own king
// attacked; castling also needs castling_allowed (which charges its tests).
bool move_is_pseudo_legal(Move move) {
  const int from = move_from(move);
  const int to = move_to(move);
  if ((from | to) & 0x88) return false;
  const Side s = position.side;
  const Piece p = position.board[from];
  if (p == 0 || piece_side(p) != s) return false;
  // A second king that a FEN left without a slot never moves.
  if (position.slot_square[position.square_slot[from]] != from) return false;
  const Piece c = position.board[to];
  if (c != 0 && piece_side(c) == s) return false;
  const int kind = piece_kind(p);
  if (kind == PAWN) return pawn_move_is_pseudo_legal(move, from, to, c);
  if ((move & 0x8080) != 0) return false;
  const uint8_t flags = delta_flags[to - from + DELTA_OFFSET];
  switch (kind) {
    case KING:
      if (flags & FLAG_KING) return true;
      if ((to == from + 2 || to == from - 2) &&
          from == ((s == WHITE) ? WHITE_KING_HOME : BLACK_KING_HOME))
        return castling_allowed(to > from ? WING_SHORT : WING_LONG);
      return false;
    case KNIGHT:
      return (flags & FLAG_KNIGHT) != 0;
    case BISHOP:
    case ROOK:
    case QUEEN:
      return (flags & kind_attack_mask[kind]) != 0 && path_is_clear(from, to);
    default:
      return false;
  }
}

// True for a capture, an en-passant capture or a queen promotion.
bool move_is_tactical(Move move) {
  const int from = move_from(move);
  const int to = move_to(move);
  if (position.board[to] != 0) return true;
  if (piece_kind(position.board[from]) != PAWN) return false;
  if (to == position.ep_square && en_passant_victim() != NO_SQUARE) return true;
  return (square_rank(to) == 0 || square_rank(to) == 7) && (move & 0x8080) == 0;
}

// Appends every move of the side to move whose piece attacks the square;
// returns how many. Charges nothing.
int generate_captures_to(Square square) {
  if (square & 0x88) return 0;
  const Side s = position.side;
  const uint8_t* slots = position.slot_square + side_slot_base(s);
  int appended = 0;
  for (int i = 0; i < 16; ++i) {
    const int from = slots[i];
    if (from == NO_SQUARE || !piece_attacks(from, square)) continue;
    move_stack[move_stack_len++] = encode_move(from, square);
    ++appended;
  }
  return appended;
}

}  // namespace kelmstrad
