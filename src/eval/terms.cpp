#include "eval/terms.h"

#include <initializer_list>

#include "clock/counters.h"
#include "eval/params.h"
#include "io/env.h"

namespace kelmstrad {

namespace {

constexpr int D2 = 0x13, E2 = 0x14, D4 = 0x33, E4 = 0x34;
constexpr int D5 = 0x43, E5 = 0x44, D7 = 0x63, E7 = 0x64;
constexpr int E1 = 4, E8 = 116;
constexpr int TROPISM_MIN_PHASE = 7;  // tropism counts while phase is above this
constexpr int KNIGHT_STEPS[8] = {33, 31, 18, 14, -14, -18, -31, -33};
constexpr int DIAGONAL_STEPS[4] = {15, 17, -15, -17};
constexpr int ORTHOGONAL_STEPS[4] = {1, -1, 16, -16};
constexpr int RANK_FLIP = 0x70;  // square ^ RANK_FLIP mirrors the rank

// A minor piece trapped by enemy pawns, given for White (Black's is mirrored).
struct MinorTrap {
  uint8_t kind;
  uint8_t square;
  uint8_t pawn_a;
  uint8_t pawn_b;
  bool both_pawns;  // both enemy pawns needed (bishops) or either one (knights)
  int penalty;
};

constexpr MinorTrap MINOR_TRAPS[] = {
    {BISHOP, 0x60, 0x51, 0x62, true, 150},  // a7: b6, c7
    {BISHOP, 0x67, 0x56, 0x65, true, 150},  // h7: g6, f7
    {BISHOP, 0x50, 0x41, 0x52, true, 50},   // a6: b5, c6
    {BISHOP, 0x57, 0x46, 0x55, true, 50},   // h6: g5, f6
    {KNIGHT, 0x70, 0x60, 0x62, false, 40},  // a8: a7 or c7
    {KNIGHT, 0x77, 0x67, 0x65, false, 40},  // h8: h7 or f7
};
constexpr int TRAPPED_ROOK_PENALTY = 40;

// The side that may castle for the search-line term: king at home and a right left.
bool may_castle(Side side) {
  const int king = king_square(side);
  if (side == WHITE) return king == E1 && (position.castling & 3) != 0;
  return king == E8 && (position.castling & 12) != 0;
}

// Penalty of one history entry for its mover.
int history_entry_penalty(const UndoRecord& record, int king_weight, int flank_weight,
                          const bool castle_ok[2]) {
  const int from = record.move & 0x7f;
  const int to = (record.move >> 8) & 0x7f;
  const int s = record.piece >> 3 & 1;
  switch (piece_kind(record.piece)) {
    case KING:
      return (to - from == 2 || to - from == -2) ? 0 : king_weight;
    case ROOK:
    case QUEEN:
      return castle_ok[s] ? king_weight : 0;
    case PAWN: {
      const int file = square_file(from);
      const bool flank = file <= 1 || file >= 6;
      return (flank && record.captured == 0 && castle_ok[s] && flank_weight != 0) ? flank_weight
                                                                                  : 0;
    }
    default:
      return 0;
  }
}

// True when `piece` is the first piece met from `square` along `step`.
bool first_along(int square, int step, Piece piece) {
  for (int s = square + step; on_board(s); s += step)
    if (position.board[s] != 0) return position.board[s] == piece;
  return false;
}

// True when a piece of `side` on `square` is hit for the loose-pieces term.
bool piece_is_hit(int square, int kind, Side side) {
  const Side enemy = opponent(side);
  const int from = side == WHITE ? 16 : -16;
  for (int d : {from - 1, from + 1}) {
    const int s = square + d;
    if (on_board(s) && position.board[s] == (enemy | PAWN)) return true;
  }
  if (kind != ROOK && kind != QUEEN) return false;
  for (int step : KNIGHT_STEPS) {
    const int s = square + step;
    if (on_board(s) && position.board[s] == (enemy | KNIGHT)) return true;
  }
  for (int step : DIAGONAL_STEPS)
    if (first_along(square, step, static_cast<Piece>(enemy | BISHOP))) return true;
  if (kind != QUEEN) return false;
  for (int step : ORTHOGONAL_STEPS)
    if (first_along(square, step, static_cast<Piece>(enemy | ROOK))) return true;
  return false;
}

// True when the trapped-minor pattern holds for `side` (mirrored for Black).
bool minor_trapped(const MinorTrap& trap, Side side) {
  const int flip = side == WHITE ? 0 : RANK_FLIP;
  if (position.board[trap.square ^ flip] != (side | trap.kind)) return false;
  const Piece enemy_pawn = static_cast<Piece>(opponent(side) | PAWN);
  const bool a = position.board[trap.pawn_a ^ flip] == enemy_pawn;
  const bool b = position.board[trap.pawn_b ^ flip] == enemy_pawn;
  return trap.both_pawns ? (a && b) : (a || b);
}

// True when `side`'s king on its f/g (or b/c) back-rank square shuts in an own
// rook and the right of that wing is gone. The king-side test comes first.
bool rook_trapped(Side side) {
  const int king = king_square(side);
  if (king == NO_SQUARE) return false;
  const int flip = side == WHITE ? 0 : RANK_FLIP;
  const int home = king ^ flip;  // the king's square seen from White
  const Piece rook = static_cast<Piece>(side | ROOK);
  auto rook_on = [&](int a, int b, int c) {
    return position.board[a ^ flip] == rook || position.board[b ^ flip] == rook ||
           position.board[c ^ flip] == rook;
  };
  const int short_right = side == WHITE ? 1 : 4;
  const int long_right = side == WHITE ? 2 : 8;
  if (home == 5 || home == 6) return rook_on(7, 6, 0x17) && (position.castling & short_right) == 0;
  if (home == 1 || home == 2) return rook_on(0, 1, 0x10) && (position.castling & long_right) == 0;
  return false;
}

// Penalty sum of the search line, [Black] - [White], when the term is on.
bool search_path_difference(int64_t* difference) {
  static const int king_weight = env_int_within("MHK", 40, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  static const int flank_weight = env_int_within("MHKP", 20, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  static const int min_phase = env_int("MHKG", 20);
  if ((king_weight == 0 && flank_weight == 0) || position.phase < min_phase ||
      position.history_top <= search_root_top)
    return false;
  int penalty[2];
  search_path_penalties(king_weight, flank_weight, penalty);
  *difference = static_cast<int64_t>(penalty[1]) - penalty[0];
  return true;
}

}  // namespace

// The central-pawn sum of the board, white minus black.
int central_pawn_term(int weight) {
  const Piece* b = position.board;
  int sum = 0;
  sum += (b[D4] == PAWN) + (b[E4] == PAWN) - (b[D2] == PAWN) - (b[E2] == PAWN);
  sum += (b[D7] == (BLACK | PAWN)) + (b[E7] == (BLACK | PAWN));
  sum -= (b[D5] == (BLACK | PAWN)) + (b[E5] == (BLACK | PAWN));
  return sum * weight;
}

// Fills the penalties of both sides from the search line; charges MHK per entry.
void search_path_penalties(int king, int flank_pawn, int penalty[2]) {
  penalty[0] = 0;
  penalty[1] = 0;
  const bool castle_ok[2] = {may_castle(WHITE), may_castle(BLACK)};
  const int first = search_root_top > 0 ? search_root_top : 0;
  const int top = position.history_top < HISTORY_CAPACITY ? position.history_top : HISTORY_CAPACITY;
  for (int i = first; i < top; ++i) {
    const UndoRecord& record = position.history[i];
    if (record.move == 0) continue;
    penalty[record.piece >> 3 & 1] += history_entry_penalty(record, king, flank_pawn, castle_ok);
  }
  if (top > first) op_counters[MHK] += static_cast<uint32_t>(top - first);
}

// The scaled tropism difference; charges side_counters[KTROP_COUNT] per weighted piece.
int king_tropism_term(int percent) {
  int64_t trop[2] = {0, 0};
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    const Piece piece = position.board[sq];
    const int weight = tropism_weight[piece_kind(piece)];
    if (weight == 0) continue;
    ++side_counters[KTROP_COUNT];
    const int enemy_king = king_square(opponent(piece_side(piece)));
    if (enemy_king == NO_SQUARE) continue;
    trop[piece_side(piece) >> 3] += (7 - square_distance(sq, enemy_king)) * weight;
  }
  return static_cast<int>((trop[0] - trop[1]) * percent / 100);
}

// The trapped-piece penalties of both sides, white minus black.
TermPair trapped_pieces_term() {
  TermPair sum{0, 0};
  for (Side side : {WHITE, BLACK}) {
    const int sign = side == WHITE ? -1 : 1;  // a trapped white piece costs White
    for (const MinorTrap& trap : MINOR_TRAPS) {
      if (!minor_trapped(trap, side)) continue;
      sum.mg += sign * trap.penalty;
      sum.eg += sign * trap.penalty;
    }
    if (rook_trapped(side)) sum.mg += sign * TRAPPED_ROOK_PENALTY;
  }
  return sum;
}

// The loose-pieces penalty of the side to move; charges side_counters[LOOSE_COUNT] per piece.
TermPair loose_pieces_term(int percent) {
  const Side side = position.side;
  int hit = 0;
  int cheapest = 0;
  for (int slot = side_slot_base(side); slot < side_slot_base(side) + 16; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    const int kind = piece_kind(position.board[sq]);
    if (kind < KNIGHT || kind > QUEEN) continue;
    ++side_counters[LOOSE_COUNT];
    if (!piece_is_hit(sq, kind, side)) continue;
    const int value = eval_params.matmg[kind];
    if (hit == 0 || value < cheapest) cheapest = value;
    ++hit;
  }
  TermPair sum{0, 0};
  if (hit < 2) return sum;
  const int64_t pen = static_cast<int64_t>(cheapest) * percent / 100;
  sum.mg = side == WHITE ? -pen : pen;
  sum.eg = sum.mg;
  return sum;
}

// Central pawns, search line, tropism, trapped pieces, loose pieces.
void switchable_terms(TermPair* sum) {
  static const int opk = env_int("OPK", 8);
  static const int opk_phase = env_int("OPKG", 20);
  static const int opk_weight = env_int_within("OPKW", 20, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  static const int tropism_percent =
      env_int_within("KTROP", 0, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  static const bool trap_on = env_present("TRAP");
  static const int loose_percent = env_int_within("LOOSE", 0, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  if ((opk & 8) && position.phase >= opk_phase) sum->mg += central_pawn_term(opk_weight);
  int64_t difference;
  if (search_path_difference(&difference)) sum->mg += difference;
  if (tropism_percent != 0 && position.phase > TROPISM_MIN_PHASE)
    sum->mg += king_tropism_term(tropism_percent);
  if (trap_on) {
    ++side_counters[TRAP_COUNT];
    const TermPair trapped = trapped_pieces_term();
    sum->mg += trapped.mg;
    sum->eg += trapped.eg;
  }
  if (loose_percent != 0) {
    const TermPair loose = loose_pieces_term(loose_percent);
    sum->mg += loose.mg;
    sum->eg += loose.eg;
  }
}

// v plus the search-line difference scaled by p16 / 16, truncated toward zero,
// held inside the score limit of the evaluation.
int search_path_network(int v, int p16) {
  int64_t difference;
  if (!search_path_difference(&difference)) return v;
  return hold_eval_score(v + difference * p16 / 16);
}

}  // namespace kelmstrad
