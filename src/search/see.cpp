#include "search/see.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "board/attack.h"
#include "board/move.h"
#include "board/square_sets.h"
#include "clock/counters.h"
#include "io/output.h"

namespace kelmstrad {

namespace {

constexpr int NO_VALUE = 30000;
static_assert(SEE_VALUE[PAWN] < SEE_VALUE[KNIGHT] && SEE_VALUE[KNIGHT] < SEE_VALUE[BISHOP] &&
                  SEE_VALUE[BISHOP] < SEE_VALUE[ROOK] && SEE_VALUE[ROOK] < SEE_VALUE[QUEEN] &&
                  SEE_VALUE[QUEEN] <= SEE_VALUE[KING],
              "least_valuable_attacker's early answers rely on this order");

// Is there an enemy piece of the mover on the square that it may win
// (worth more than `mover_value`, or unguarded by its own side).
bool winnable_target(int square, Side enemy, int mover_value) {
  const Piece target = position.board[square];
  if (target == 0 || piece_side(target) != enemy || piece_kind(target) == KING) return false;
  if (mover_value < SEE_VALUE[piece_kind(target)]) return true;
  count_attack_test(enemy);
  return !square_attacked(square, enemy);
}

// Threat test of a pawn arriving on `to`.
int pawn_threat(Piece pawn, int to) {
  const Side own = piece_side(pawn);
  const int rank = square_rank(to);
  if (own == WHITE ? rank >= 5 : rank <= 2) return 1;
  const int left = own == WHITE ? to + 15 : to - 17;
  for (int sq : {left, left + 2}) {
    if (!on_board(sq)) continue;
    const Piece p = position.board[sq];
    if (p != 0 && piece_side(p) != own && piece_kind(p) != PAWN && piece_kind(p) != KING) return 1;
  }
  return 0;
}

// Threat test of a slider arriving on `to` along rays [first_dir, last_dir),
// the from-square counted as empty: the nearest piece on each ray, in ray
// order. Only an enemy piece other than the king can be won (nor is anything
// charged for another), so a ray without one is skipped, and so is the whole
// test when the slider's lines hold none.
int slider_threat(int from, int to, int first_dir, int last_dir, Side enemy, int value) {
  const int index = square64(to);
  const uint64_t targets = side_squares(enemy) & ~position.piece_bits[enemy | KING];
  const uint64_t lines = (first_dir == 0 ? SQUARE_SETS.straight[index] : 0) |
                         (last_dir == 8 ? SQUARE_SETS.diagonal[index] : 0);
  if ((lines & targets) == 0) return 0;
  const uint64_t occupied = (side_squares(WHITE) | side_squares(BLACK)) & ~square_bit(from);
  for (int i = first_dir; i < last_dir; ++i) {
    const uint64_t ray = SQUARE_SETS.ray[index][i];
    if ((ray & targets) == 0) continue;
    const int sq = square_of_index(nearest_on_ray(ray & occupied, king_dirs[i]));
    if (winnable_target(sq, enemy, value)) return 1;
  }
  return 0;
}

// Least valuable attacker, but counted as one attacker lookup of the cheap test.
Square cheap_lookup(Square square, Side side) {
  ++slcalls_count;
  return least_valuable_attacker(square, side);
}

// The order in which the plain rule meets an attacker, by (attacker - target
// + 119): the knight_dirs index of a knight jump, the king_dirs index of a
// line. Among attackers of one value the lowest comes first.
constexpr std::array<uint8_t, 256> SCAN_ORDER = [] {
  constexpr int RAYS[8] = {1, -1, 16, -16, 15, 17, -15, -17};
  constexpr int JUMPS[8] = {33, 31, 18, 14, -14, -18, -31, -33};
  std::array<uint8_t, 256> order{};
  for (int i = 0; i < 8; ++i) {
    order[JUMPS[i] + DELTA_OFFSET] = static_cast<uint8_t>(i);
    for (int k = 1; k <= 7; ++k) order[k * RAYS[i] + DELTA_OFFSET] = static_cast<uint8_t>(i);
  }
  return order;
}();

}  // namespace

// The rule: knights first, then the first piece of each ray; strictly cheaper
// replaces. A pawn is the cheapest kind, so a pawn attacker (the first in ray
// order) is the answer without looking further. The other kinds come from
// the piece sets, cheapest kind first: the first of a kind that attacks is
// the answer, the first in the rule's order (SCAN_ORDER) among several, a
// slider only with nothing between, so that it is the first piece of its ray.
// A piece an exchange lifted off the board is still in its set but reads
// empty on its square, and is skipped; the square of the exchange itself is
// never its own attacker. With two kings of the side (a FEN's) the king is
// found on the board as the rule finds it.
Square least_valuable_attacker(Square square, Side side) {
  if (!on_board(square)) return NO_SQUARE;
  const Piece* b = position.board;
  // A White pawn stands below the target (rays 6 and 7, steps -15 and -17).
  const int first_pawn_ray = side == WHITE ? 6 : 4;
  for (int i = first_pawn_ray; i < first_pawn_ray + 2; ++i) {
    const int sq = square + king_dirs[i];
    if (on_board(sq) && b[sq] == (side | PAWN)) return static_cast<Square>(sq);
  }
  const int index = square64(square);
  const uint64_t reach[4] = {SQUARE_SETS.knight[index], SQUARE_SETS.diagonal[index],
                             SQUARE_SETS.straight[index],
                             SQUARE_SETS.diagonal[index] | SQUARE_SETS.straight[index]};
  for (int kind = KNIGHT; kind <= QUEEN; ++kind) {
    const Piece piece = static_cast<Piece>(side | kind);
    Square best = NO_SQUARE;
    int best_order = 8;
    for (uint64_t bits = position.piece_bits[piece] & reach[kind - KNIGHT]; bits != 0;
         bits &= bits - 1) {
      const int from = square_of_index(__builtin_ctzll(bits));
      const int order = SCAN_ORDER[from - square + DELTA_OFFSET];
      if (order >= best_order || b[from] != piece) continue;
      if (kind != KNIGHT) {
        const int step = delta_step[from - square + DELTA_OFFSET];
        int t = square + step;
        while (t != from && b[t] == 0) t += step;
        if (t != from) continue;
      }
      best = static_cast<Square>(from);
      best_order = order;
    }
    if (best != NO_SQUARE) return best;
  }
  const Piece king = static_cast<Piece>(side | KING);
  const uint64_t kings = position.piece_bits[king];
  if ((kings & (kings - 1)) == 0) {
    const int k = kings == 0 ? NO_SQUARE : square_of_index(__builtin_ctzll(kings));
    const bool beside = k != NO_SQUARE && (delta_flags[square - k + DELTA_OFFSET] & FLAG_KING);
    return beside && b[k] == king ? static_cast<Square>(k) : NO_SQUARE;
  }
  for (int step : king_dirs) {
    const int sq = square + step;
    if (on_board(sq) && b[sq] == king) return static_cast<Square>(sq);
  }
  return NO_SQUARE;
}

// Mover to the target, at most one recapture and one re-recapture looked up.
int see_sign_cheap(Move move) {
  const int from = move_from(move);
  const int to = move_to(move);
  const Piece mover = position.board[from];
  const Piece victim = position.board[to];
  const int a = SEE_VALUE[piece_kind(mover)];
  const int v = SEE_VALUE[piece_kind(victim)];
  if (a <= v) return 1;
  const Side own = piece_side(mover);
  position.board[to] = mover;
  position.board[from] = 0;
  int result = 1;
  const Square r = cheap_lookup(static_cast<Square>(to), opponent(own));
  if (r != NO_SQUARE) {
    const Piece recapturer = position.board[r];
    position.board[to] = recapturer;
    position.board[r] = 0;
    const bool defended = cheap_lookup(static_cast<Square>(to), own) != NO_SQUARE;
    result = defended && v - a + SEE_VALUE[piece_kind(recapturer)] >= 0 ? 1 : 0;
    position.board[r] = recapturer;
  }
  position.board[to] = victim;
  position.board[from] = mover;
  return result;
}

// Plays the whole exchange on the board, restores it, then lets each side
// stop where continuing would be worse.
int see_full(Move move) {
  ++op_counters[SEEF];
  const int from = move_from(move);
  const int to = move_to(move);
  const Piece mover = position.board[from];
  const Piece victim = position.board[to];
  Square squares[SEE_MAX_RECAPTURES];
  Piece pieces[SEE_MAX_RECAPTURES];
  int gain[SEE_MAX_RECAPTURES + 2];
  Side recapturing = opponent(piece_side(mover));
  position.board[to] = mover;
  position.board[from] = 0;
  gain[0] = SEE_VALUE[piece_kind(victim)];
  gain[1] = SEE_VALUE[piece_kind(mover)] - gain[0];
  int n = 0;
  while (n < SEE_MAX_RECAPTURES) {
    ++op_counters[SEEL];
    const Square r = least_valuable_attacker(static_cast<Square>(to), recapturing);
    if (r == NO_SQUARE) break;
    squares[n] = r;
    pieces[n] = position.board[r];
    position.board[to] = pieces[n];
    position.board[r] = 0;
    gain[n + 2] = SEE_VALUE[piece_kind(pieces[n])] - gain[n + 1];
    recapturing ^= BLACK;
    ++n;
  }
  for (int k = n - 1; k >= 0; --k) position.board[squares[k]] = pieces[k];
  position.board[from] = mover;
  position.board[to] = victim;
  for (int k = n; k >= 1; --k) gain[k - 1] = std::min(gain[k - 1], -gain[k]);
  return gain[0];
}

// By the mover's kind: pawns by rank and attacked pieces, knights and
// sliders by a winnable enemy piece they would attack; kings never.
int creates_threat(Move move) {
  ++op_counters[THR];
  const int from = move_from(move);
  const int to = move_to(move);
  const Piece mover = position.board[from];
  const int kind = piece_kind(mover);
  const Side enemy = opponent(piece_side(mover));
  const int value = SEE_VALUE[kind];
  switch (kind) {
    case PAWN:
      return pawn_threat(mover, to);
    case KNIGHT:
      // Only an enemy piece other than the king can be a target.
      if ((SQUARE_SETS.knight[square64(to)] & side_squares(enemy) &
           ~position.piece_bits[enemy | KING]) == 0)
        return 0;
      for (int step : knight_dirs) {
        const int sq = to + step;
        if (on_board(sq) && winnable_target(sq, enemy, value)) return 1;
      }
      return 0;
    case BISHOP:
      return slider_threat(from, to, 4, 8, enemy, value);
    case ROOK:
      return slider_threat(from, to, 0, 4, enemy, value);
    case QUEEN:
      return slider_threat(from, to, 0, 8, enemy, value);
    default:
      return 0;
  }
}

// Prints -1 for no move (missing or unknown text).
void print_see_sign(Move move) { uci_print("%d\n", move == 0 ? -1 : see_sign_cheap(move)); }

// Prints -1 for no move (missing or unknown text).
void print_see(Move move) { uci_print("%d\n", move == 0 ? -1 : (see_full(move) >= 0 ? 1 : 0)); }

// A square off the board, or a side other than 0 and 8, has no attacker.
void print_see_least(unsigned long square, int side) {
  Square found = NO_SQUARE;
  if (square < 128 && on_board(static_cast<int>(square)) && (side == WHITE || side == BLACK))
    found = least_valuable_attacker(static_cast<Square>(square), static_cast<Side>(side));
  uci_print("%02x\n", found);
}

}  // namespace kelmstrad
