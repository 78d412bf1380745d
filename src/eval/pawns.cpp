#include "eval/pawns.h"

#include <cstring>
#include <initializer_list>

#include "board/square_sets.h"
#include "eval/params.h"

namespace kelmstrad {

namespace {

constexpr int NO_WHITE_PAWN_RANK = 7;
constexpr int NO_BLACK_PAWN_RANK = 0;
// White's ranks 4 to 7 (relative ranks 3 to 6); Black's are two ranks lower.
constexpr uint64_t RELATIVE_RANKS_3_TO_6 = 0x00FFFFFFFF000000ULL;

int max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }
int min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }

// Adds a rook's open or half-open file bonus (middlegame only) and counts it.
void rook_file_term(const PawnFileTable& table, Side side, int square, TermPair* sum) {
  const int f = square_file(square) + 1;
  const int own = table.count[side_index(side)][f];
  const int enemy = table.count[side_index(opponent(side))][f];
  if (own != 0) return;
  const int sign = side == WHITE ? 1 : -1;
  if (enemy == 0) {
    sum->mg += sign * eval_params.ropen;
    eval_features.rook_open += sign;
  } else {
    sum->mg += sign * eval_params.rhalf;
    eval_features.rook_half += sign;
  }
}

// Adds the isolated-pawn penalty when no own pawn stands on a neighbouring file.
void isolated_term(const PawnFileTable& table, Side side, int square, TermPair* sum) {
  const int f = square_file(square) + 1;
  const int8_t* own = table.count[side_index(side)];
  if (own[f - 1] != 0 || own[f + 1] != 0) return;
  const int sign = side == WHITE ? 1 : -1;
  sum->mg -= sign * eval_params.isomg;
  sum->eg -= sign * eval_params.isoeg;
  eval_features.isolated += sign;
}

// Adds the passed-pawn bonus of the pawn's relative rank when it is passed.
void passed_term(const PawnFileTable& table, Side side, int square, TermPair* sum) {
  if (!pawn_is_passed(table, side, square)) return;
  const int rank = square_rank(square);
  const int relative = side == WHITE ? rank : 7 - rank;
  const int sign = side == WHITE ? 1 : -1;
  sum->mg += sign * eval_params.passmg[relative];
  sum->eg += sign * eval_params.passeg[relative];
  eval_features.passed[relative] += sign;
}

// Charges the doubled-pawn penalty once per file with two or more pawns.
void doubled_term(const PawnFileTable& table, TermPair* sum) {
  for (int f = 1; f <= 8; ++f) {
    if (table.count[0][f] >= 2) {
      sum->mg -= eval_params.dblmg;
      sum->eg -= eval_params.dbleg;
      eval_features.doubled += 1;
    }
    if (table.count[1][f] >= 2) {
      sum->mg += eval_params.dblmg;
      sum->eg += eval_params.dbleg;
      eval_features.doubled -= 1;
    }
  }
}

// Adds the bishop-pair bonus for each side with two or more bishops.
void bishop_pair_term(const PawnFileTable& table, TermPair* sum) {
  const bool white_pair = table.bishops[0] >= 2;
  const bool black_pair = table.bishops[1] >= 2;
  if (white_pair) {
    sum->mg += eval_params.pairmg;
    sum->eg += eval_params.paireg;
  }
  if (black_pair) {
    sum->mg -= eval_params.pairmg;
    sum->eg -= eval_params.paireg;
  }
  eval_features.bishop_pair = static_cast<int>(white_pair) - static_cast<int>(black_pair);
}

// True when the own pawns on the neighbouring files all stand ahead of the
// pawn (there is at least one). With an enemy pawn attacking its front square
// the pawn is backward.
bool pawn_behind_neighbours(const PawnFileTable& table, int square, Side side) {
  const int f = square_file(square) + 1;
  const int rank = square_rank(square);
  const int8_t* own = table.count[side_index(side)];
  if (own[f - 1] == 0 && own[f + 1] == 0) return false;
  if (side == WHITE) {
    const int low = table.white_low[f - 1] < table.white_low[f + 1] ? table.white_low[f - 1]
                                                                    : table.white_low[f + 1];
    return low > rank;
  }
  const int high = table.black_high[f - 1] > table.black_high[f + 1] ? table.black_high[f - 1]
                                                                     : table.black_high[f + 1];
  return high < rank;
}

// Adds one side's share of the five features (sign +1 White, -1 Black). The
// pawn sets answer phalanx, defended and the enemy pawn on a front square for
// all pawns at once; only the few pawns that may be passed or backward are
// looked at one by one.
void side_pawn_extras(const PawnFileTable& table, Side side, int* features) {
  const int sign = side == WHITE ? 1 : -1;
  const uint64_t own = position.piece_bits[side | PAWN];
  const uint64_t beside = ((own & ~FILE_H_SQUARES) << 1) | ((own & ~FILE_A_SQUARES) >> 1);
  features[8] += sign * count_wide_set(own & beside);
  features[9] += sign * count_wide_set(own & pawn_attack_squares(side));
  // A front square is off the board on the last rank: the shift drops it.
  const uint64_t enemy_attacks = pawn_attack_squares(opponent(side));
  const uint64_t front_attacked = side == WHITE ? enemy_attacks >> 8 : enemy_attacks << 8;
  for (uint64_t bits = own & front_attacked; bits != 0; bits &= bits - 1)
    if (pawn_behind_neighbours(table, square_of_index(__builtin_ctzll(bits)), side))
      features[10] += sign;
  // The king distances count for passers on relative ranks 3 to 6 (a front
  // square on the board) while both kings stand.
  const int own_king = king_square(side);
  const int enemy_king = king_square(opponent(side));
  if (own_king == NO_SQUARE || enemy_king == NO_SQUARE) return;
  const uint64_t advanced = side == WHITE ? RELATIVE_RANKS_3_TO_6 : RELATIVE_RANKS_3_TO_6 >> 16;
  for (uint64_t bits = own & advanced; bits != 0; bits &= bits - 1) {
    const int square = square_of_index(__builtin_ctzll(bits));
    if (!pawn_is_passed(table, side, square)) continue;
    const int rank = square_rank(square);
    const int weight = (side == WHITE ? rank : 7 - rank) - 2;
    const int front = square + (side == WHITE ? 16 : -16);
    features[6] += sign * weight * square_distance(own_king, front);
    features[7] += sign * weight * square_distance(enemy_king, front);
  }
}

}  // namespace

// Counts pawns and bishops per side and the extreme pawn ranks per file.
void build_pawn_file_table(PawnFileTable* table) {
  memset(table->count, 0, sizeof(table->count));
  memset(table->white_low, NO_WHITE_PAWN_RANK, sizeof(table->white_low));
  memset(table->black_high, NO_BLACK_PAWN_RANK, sizeof(table->black_high));
  table->bishops[0] = 0;
  table->bishops[1] = 0;
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    const Piece piece = position.board[sq];
    const int kind = piece_kind(piece);
    const int s = side_index(piece_side(piece));
    if (kind == BISHOP) {
      ++table->bishops[s];
    } else if (kind == PAWN) {
      const int f = square_file(sq) + 1;
      const int rank = square_rank(sq);
      ++table->count[s][f];
      if (s == 0 && rank < table->white_low[f]) table->white_low[f] = static_cast<int8_t>(rank);
      if (s == 1 && rank > table->black_high[f]) table->black_high[f] = static_cast<int8_t>(rank);
    }
  }
}

// A white pawn on rank r is passed when r is at least the highest black pawn
// rank on its own and both neighbouring files (a black pawn beside it does not
// stop it); mirrored for Black.
bool pawn_is_passed(const PawnFileTable& table, Side side, int square) {
  const int f = square_file(square) + 1;
  const int rank = square_rank(square);
  if (side == WHITE)
    return rank >= max3(table.black_high[f - 1], table.black_high[f], table.black_high[f + 1]);
  return rank <= min3(table.white_low[f - 1], table.white_low[f], table.white_low[f + 1]);
}

// Zeroes the structure features the pawn terms record (both paths fill them).
static void clear_structure_features() {
  memset(eval_features.passed, 0, sizeof(eval_features.passed));
  eval_features.isolated = 0;
  eval_features.doubled = 0;
  eval_features.rook_open = 0;
  eval_features.rook_half = 0;
  eval_features.bishop_pair = 0;
}

// Steps 4 to 6 of the full path: the slot pass for rooks and pawns, then
// doubled pawns and the bishop pair.
TermPair pawn_structure_terms(const PawnFileTable& table, int terms) {
  TermPair sum{0, 0};
  clear_structure_features();
  for (int slot = 0; slot < 32; ++slot) {
    const int sq = position.slot_square[slot];
    if (sq == NO_SQUARE) continue;
    const Piece piece = position.board[sq];
    const Side side = piece_side(piece);
    if (piece_kind(piece) == ROOK) {
      if (terms & TERM_ROOK_FILES) rook_file_term(table, side, sq, &sum);
    } else if (piece_kind(piece) == PAWN) {
      if (terms & TERM_ISOLATED) isolated_term(table, side, sq, &sum);
      if (terms & TERM_PASSED) passed_term(table, side, sq, &sum);
    }
  }
  if (terms & TERM_DOUBLED) doubled_term(table, &sum);
  if (terms & TERM_BISHOP_PAIR) bishop_pair_term(table, &sum);
  return sum;
}

namespace {

constexpr int PAWN_CACHE_BITS = 12;
constexpr int PAWN_CACHE_SLOTS = 1 << PAWN_CACHE_BITS;

// What the pawns of one structure decide, whatever the parameters; the
// feature counts are White minus Black as in eval_features.
struct PawnCacheEntry {
  uint64_t pawns[2];  // [White, Black] pawn squares by 64-square index
  int8_t count[2][PAWN_FILE_ENTRIES];
  int8_t white_low[PAWN_FILE_ENTRIES];
  int8_t black_high[PAWN_FILE_ENTRIES];
  int8_t passed[8];
  int8_t isolated;
  int8_t doubled;
  bool any_passed;  // some passed[r] is not 0
  bool valid;
};

PawnCacheEntry pawn_cache[PAWN_CACHE_SLOTS];  // by a hash of the two pawn sets

// The cache slot of two pawn sets.
PawnCacheEntry& pawn_cache_slot(uint64_t white, uint64_t black) {
  const uint64_t h =
      white * 0x9E3779B97F4A7C15ULL ^ (black + 0x632BE59BD9B4E019ULL) * 0xC2B2AE3D27D4EB4FULL;
  return pawn_cache[h >> (64 - PAWN_CACHE_BITS)];
}

// Fills the entry's file table and feature counts from its pawn sets.
void fill_pawn_cache_entry(PawnCacheEntry* e) {
  PawnFileTable table;
  memset(table.count, 0, sizeof(table.count));
  memset(table.white_low, NO_WHITE_PAWN_RANK, sizeof(table.white_low));
  memset(table.black_high, NO_BLACK_PAWN_RANK, sizeof(table.black_high));
  for (int s = 0; s < 2; ++s) {
    for (uint64_t bits = e->pawns[s]; bits != 0; bits &= bits - 1) {
      const int index = __builtin_ctzll(bits);
      const int f = (index & 7) + 1;
      const int rank = index >> 3;
      ++table.count[s][f];
      if (s == 0 && rank < table.white_low[f]) table.white_low[f] = static_cast<int8_t>(rank);
      if (s == 1 && rank > table.black_high[f]) table.black_high[f] = static_cast<int8_t>(rank);
    }
  }
  memset(e->passed, 0, sizeof(e->passed));
  int isolated = 0;
  int doubled = 0;
  for (int s = 0; s < 2; ++s) {
    const Side side = s == 0 ? WHITE : BLACK;
    const int sign = s == 0 ? 1 : -1;
    for (uint64_t bits = e->pawns[s]; bits != 0; bits &= bits - 1) {
      const int index = __builtin_ctzll(bits);
      const int square = (index >> 3) * 16 + (index & 7);
      const int f = (index & 7) + 1;
      if (table.count[s][f - 1] == 0 && table.count[s][f + 1] == 0) isolated += sign;
      if (pawn_is_passed(table, side, square)) {
        const int relative = s == 0 ? index >> 3 : 7 - (index >> 3);
        e->passed[relative] = static_cast<int8_t>(e->passed[relative] + sign);
      }
    }
    for (int f = 1; f <= 8; ++f)
      if (table.count[s][f] >= 2) doubled += sign;
  }
  e->any_passed = false;
  for (int r = 0; r < 8; ++r) e->any_passed = e->any_passed || e->passed[r] != 0;
  e->isolated = static_cast<int8_t>(isolated);
  e->doubled = static_cast<int8_t>(doubled);
  memcpy(e->count, table.count, sizeof(e->count));
  memcpy(e->white_low, table.white_low, sizeof(e->white_low));
  memcpy(e->black_high, table.black_high, sizeof(e->black_high));
  e->valid = true;
}

}  // namespace

// The pawn sets, bishops and rooks come from the piece sets make keeps; the
// pawn-only part comes from the cache, rooks and bishops are counted here as
// in the direct path (the rook terms are sums, so their order does not matter).
TermPair cached_pawn_structure_terms(PawnFileTable* table, int terms) {
  const uint64_t* bits = position.piece_bits;
  const uint64_t pawns[2] = {bits[WHITE | PAWN], bits[BLACK | PAWN]};
  PawnCacheEntry& e = pawn_cache_slot(pawns[0], pawns[1]);
  if (!e.valid || e.pawns[0] != pawns[0] || e.pawns[1] != pawns[1]) {
    e.pawns[0] = pawns[0];
    e.pawns[1] = pawns[1];
    fill_pawn_cache_entry(&e);
  }
  memcpy(table->count, e.count, sizeof(table->count));
  memcpy(table->white_low, e.white_low, sizeof(table->white_low));
  memcpy(table->black_high, e.black_high, sizeof(table->black_high));
  table->bishops[0] = count_squares(bits[WHITE | BISHOP]);
  table->bishops[1] = count_squares(bits[BLACK | BISHOP]);

  TermPair sum{0, 0};
  clear_structure_features();
  if (terms & TERM_ROOK_FILES) {
    for (const Side side : {WHITE, BLACK}) {
      for (uint64_t rooks = bits[side | ROOK]; rooks != 0; rooks &= rooks - 1) {
        const int index = __builtin_ctzll(rooks);
        rook_file_term(*table, side, (index >> 3) * 16 + (index & 7), &sum);
      }
    }
  }
  if (terms & TERM_ISOLATED) {
    eval_features.isolated = e.isolated;
    sum.mg -= static_cast<int64_t>(eval_params.isomg) * e.isolated;
    sum.eg -= static_cast<int64_t>(eval_params.isoeg) * e.isolated;
  }
  // Without passed pawns the features stay 0 and the sums do not move.
  if ((terms & TERM_PASSED) && e.any_passed) {
    for (int r = 0; r < 8; ++r) {
      eval_features.passed[r] = e.passed[r];
      sum.mg += static_cast<int64_t>(eval_params.passmg[r]) * e.passed[r];
      sum.eg += static_cast<int64_t>(eval_params.passeg[r]) * e.passed[r];
    }
  }
  if (terms & TERM_DOUBLED) {
    eval_features.doubled = e.doubled;
    sum.mg -= static_cast<int64_t>(eval_params.dblmg) * e.doubled;
    sum.eg -= static_cast<int64_t>(eval_params.dbleg) * e.doubled;
  }
  if (terms & TERM_BISHOP_PAIR) bishop_pair_term(*table, &sum);
  return sum;
}

void pawn_cache_clear() { memset(pawn_cache, 0, sizeof(pawn_cache)); }

// F6 own-king and F7 enemy-king distance of advanced passers (weighted by
// relative rank - 2), F8 phalanx, F9 defended, F10 backward pawns.
TermPair pawn_extras(const PawnFileTable& table) {
  int* features = eval_features.pawn_extra;
  memset(eval_features.pawn_extra, 0, sizeof(eval_features.pawn_extra));
  side_pawn_extras(table, WHITE, features);
  side_pawn_extras(table, BLACK, features);
  TermPair sum{0, 0};
  for (int i = 6; i <= 10; ++i) {
    sum.mg += static_cast<int64_t>(eval_params.nemg[i]) * features[i];
    sum.eg += static_cast<int64_t>(eval_params.neeg[i]) * features[i];
  }
  return sum;
}

}  // namespace kelmstrad
