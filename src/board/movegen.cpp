#include "board/movegen.h"

#include <cstdint>

#include "board/attack.h"
#include "board/move.h"
#include "board/square_sets.h"
#include "clock/counters.h"
#include "platform/assert.h"

namespace kelmstrad {

namespace {

// Room one pass may need: fifteen pieces of at most 27 moves each, the king
// and two castling moves stay below this.
constexpr int MAX_MOVES_PER_PASS = 448;

// Appends the moves of one generation pass; `out` is the first free entry.
template <bool TACTICAL>
class Generator {
 public:
  explicit Generator(Move* out) : out_(out) {}
  // The first entry after the moves appended so far.
  Move* end() const { return out_; }

  // Appends the plain move from -> to.
  void add(int from, int to) { *out_++ = encode_move(from, to); }

  // Queen in the tactical set; knight, rook, bishop in the quiet set.
  void add_promotions(int from, int to) {
    if (TACTICAL) {
      *out_++ = encode_move(from, to, 0);
    } else {
      *out_++ = encode_move(from, to, 1);
      *out_++ = encode_move(from, to, 2);
      *out_++ = encode_move(from, to, 3);
    }
  }

  // Captures toward the a-file then the h-file, then the push(es).
  void pawn(int s, Side side, int ep_target, uint64_t capturable) {
    const Piece* b = position.board;
    const int fwd = (side == WHITE) ? 16 : -16;
    const int last_rank = (side == WHITE) ? 7 : 0;
    const int t = s + fwd;
    // No capture target: only a push to the last rank is tactical.
    if (TACTICAL && (SQUARE_SETS.pawn_capture[side >> 3][square64(s)] & capturable) == 0 &&
        square_rank(t) != last_rank)
      return;
    for (int target = t - 1; target <= t + 1; target += 2) {
      if (target & 0x88) continue;
      const Piece q = b[target];
      if (q != 0 ? piece_side(q) == side : target != ep_target) continue;
      if (square_rank(target) == last_rank) {
        add_promotions(s, target);
      } else if (TACTICAL) {
        add(s, target);
      }
    }
    // A pawn on its last rank (only a FEN puts one there) has no square ahead.
    if ((t & 0x88) || b[t] != 0) return;
    if (square_rank(t) == last_rank) {
      add_promotions(s, t);
    } else if (!TACTICAL) {
      add(s, t);
      if (square_rank(s) == ((side == WHITE) ? 1 : 6) && b[t + fwd] == 0) add(s, t + fwd);
    }
  }

  // Knight or king: one step per direction.
  void stepper(int s, Side side, const int* dirs, uint64_t targets) {
    // The tactical pass needs an enemy piece among the targets.
    if (TACTICAL && (targets & enemy_) == 0) return;
    const Piece* b = position.board;
    for (int i = 0; i < 8; ++i) {
      const int t = s + dirs[i];
      if (t & 0x88) continue;
      const Piece q = b[t];
      if (q == 0) {
        if (!TACTICAL) add(s, t);
      } else if (TACTICAL && piece_side(q) != side) {
        add(s, t);
      }
    }
  }

  // Bishop, rook or queen: the directions king_dirs[first .. last), nearest
  // square first. A ray ends at its nearest occupied square or past the board.
  void slider(int s, int first, int last) {
    const int index = square64(s);
    for (int i = first; i < last; ++i) {
      const int d = king_dirs[i];
      const uint64_t blockers = SQUARE_SETS.ray[index][i] & occupied_;
      if (TACTICAL) {
        if (blockers == 0) continue;
        const int nearest = nearest_on_ray(blockers, d);
        if ((enemy_ >> nearest) & 1) add(s, square_of_index(nearest));
      } else {
        const int end = blockers == 0 ? SQUARE_SETS.ray_end[index][i]
                                      : square_of_index(nearest_on_ray(blockers, d));
        for (int t = s + d; t != end; t += d) add(s, t);
      }
    }
  }

  // Walks the side's slots; returns the number of occupied slots.
  int pieces(Side side) {
    const uint8_t* slots = position.slot_square + side_slot_base(side);
    const int ep_victim = en_passant_victim();
    const int ep_target = (ep_victim == NO_SQUARE) ? -1 : position.ep_square;
    enemy_ = side_squares(opponent(side));
    occupied_ = side_squares(side) | enemy_;
    const uint64_t capturable = ep_target < 0 ? enemy_ : enemy_ | square_bit(ep_target);
    int occupied = 0;
    for (int i = 0; i < 16; ++i) {
      const int s = slots[i];
      if (s == NO_SQUARE) continue;
      ++occupied;
      switch (piece_kind(position.board[s])) {
        case PAWN:
          pawn(s, side, ep_target, capturable);
          break;
        case KNIGHT:
          stepper(s, side, knight_dirs, SQUARE_SETS.knight[square64(s)]);
          break;
        case BISHOP:
          slider(s, 4, 8);
          break;
        case ROOK:
          slider(s, 0, 4);
          break;
        case QUEEN:
          slider(s, 0, 8);
          break;
        case KING:
          stepper(s, side, king_dirs, SQUARE_SETS.king[square64(s)]);
          break;
        default:
          break;
      }
    }
    return occupied;
  }

 private:
  Move* out_;
  uint64_t occupied_ = 0;  // the squares of both sides
  uint64_t enemy_ = 0;     // the squares of the side not to move
};

// Counts the occupied slots of a side.
int occupied_slots(Side side) {
  const uint8_t* slots = position.slot_square + side_slot_base(side);
  int occupied = 0;
  for (int i = 0; i < 16; ++i) occupied += slots[i] != NO_SQUARE;
  return occupied;
}

// One pass of the chosen set, with its charges.
template <bool TACTICAL>
void generate_set() {
  const Side side = position.side;
  const int start = move_stack_len;
  Generator<TACTICAL> gen(move_stack + start);
  int occupied;
  // The searches stop far below the top of the stack; a runaway perft depth
  // simply finds no moves here instead of writing past it.
  if (start <= MOVE_STACK_CAPACITY - MAX_MOVES_PER_PASS) {
    occupied = gen.pieces(side);
    if (!TACTICAL) {
      const int home = (side == WHITE) ? WHITE_KING_HOME : BLACK_KING_HOME;
      if (castling_allowed(WING_SHORT)) gen.add(home, home + 2);
      if (castling_allowed(WING_LONG)) gen.add(home, home - 2);
    }
  } else {
    occupied = occupied_slots(side);
  }
  const int appended = static_cast<int>(gen.end() - (move_stack + start));
  move_stack_len = static_cast<uint16_t>(start + appended);
  op_counters[TACTICAL ? GENT : GENQ] += 1;
  op_counters[TACTICAL ? GENT_PC : GENQ_PC] += occupied;
  op_counters[TACTICAL ? GENT_MV : GENQ_MV] += appended;
}

}  // namespace

// Appends the tactical or the quiet moves of the side to move and charges the pass.
void generate_moves(bool tactical) {
  // Room for the longest list any position has (218 moves) above the top.
  ASSERT(move_stack_len + 256 <= MOVE_STACK_CAPACITY);
  if (tactical) {
    generate_set<true>();
  } else {
    generate_set<false>();
  }
}

}  // namespace kelmstrad
