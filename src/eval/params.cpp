#include "eval/params.h"

#include <algorithm>
#include <cstring>

#include "board/make.h"

namespace kelmstrad {

EvalParams eval_params;
bool pawn_extras_enabled = false;
bool mobility_enabled = false;
int16_t root_terms[16][64];

namespace {

constexpr int16_t BUILTIN_MATMG[8] = {0, 82, 337, 365, 477, 1025, 0, 0};
constexpr int16_t BUILTIN_MATEG[8] = {0, 94, 281, 297, 512, 936, 0, 0};
constexpr int16_t BUILTIN_PASSMG[8] = {0, 5, 10, 15, 25, 40, 60, 0};
constexpr int16_t BUILTIN_PASSEG[8] = {0, 10, 20, 35, 60, 90, 130, 0};
constexpr int32_t BUILTIN_KSW[6] = {0, 8, 20, 10, 20, 20};

// Middlegame and endgame built-in entries of one kind on (rank, file).
void builtin_square_entry(int kind, int rank, int file, int* mg, int* eg) {
  const int c = std::min(file, 7 - file) + std::min(rank, 7 - rank);
  const bool centre_file = file == 3 || file == 4;
  *mg = 0;
  *eg = 0;
  switch (kind) {
    case PAWN:
      if (rank >= 1 && rank <= 6) {
        if (file == 2 || file == 5) *mg = 4 * (rank - 1);
        if (centre_file) *mg = 4 * (rank - 1) + ((rank == 3 || rank == 4) ? 12 : 0);
        *eg = 8 * (rank - 1);
      }
      break;
    case KNIGHT:
      *mg = 6 * c - 15;
      *eg = 5 * c - 15;
      break;
    case BISHOP:
      *mg = 3 * c - 8;
      *eg = 3 * c - 8;
      break;
    case ROOK:
      if (rank == 6)
        *mg = centre_file ? 16 : 12;
      else
        *mg = centre_file ? 4 : 0;
      break;
    case QUEEN:
      *mg = 2 * c - 5;
      *eg = 4 * c - 10;
      break;
    case KING:
      if (rank == 0)
        *mg = (file >= 3 && file <= 5) ? 0 : 20;
      else
        *mg = (rank == 1) ? -10 : -40;
      *eg = 8 * c - 20;
      break;
    default:
      break;
  }
}

}  // namespace

// Puts the built-in initial values and square tables in force.
void eval_tables_init() {
  memset(&eval_params, 0, sizeof(eval_params));
  memcpy(eval_params.matmg, BUILTIN_MATMG, sizeof(BUILTIN_MATMG));
  memcpy(eval_params.mateg, BUILTIN_MATEG, sizeof(BUILTIN_MATEG));
  memcpy(eval_params.passmg, BUILTIN_PASSMG, sizeof(BUILTIN_PASSMG));
  memcpy(eval_params.passeg, BUILTIN_PASSEG, sizeof(BUILTIN_PASSEG));
  memcpy(eval_params.ksw, BUILTIN_KSW, sizeof(BUILTIN_KSW));
  eval_params.isomg = 10;
  eval_params.isoeg = 15;
  eval_params.dblmg = 10;
  eval_params.dbleg = 20;
  eval_params.ropen = 20;
  eval_params.rhalf = 10;
  eval_params.pairmg = 30;
  eval_params.paireg = 50;
  for (int kind = PAWN; kind <= KING; ++kind) {
    for (int s = 0; s < 64; ++s) {
      int mg, eg;
      builtin_square_entry(kind, s >> 3, s & 7, &mg, &eg);
      eval_params.pstmg[kind][s] = static_cast<int8_t>(mg);
      eval_params.psteg[kind][s] = static_cast<int8_t>(eg);
    }
  }
  fill_piece_square_scores();
}

// Each piece's material, square-table entry (its mirrored square for Black)
// and root bonus, summed once so that make adds one number per piece.
void fill_piece_square_scores() {
  for (int piece = 0; piece < 16; ++piece) {
    const int k = piece_kind(piece);
    const bool white = piece_side(piece) == WHITE;
    for (int i = 0; i < 64; ++i) {
      const int r = white ? i : (i ^ 56);
      piece_square_mg[piece][i] =
          eval_params.matmg[k] + root_terms[piece][i] + eval_params.pstmg[k][r];
      piece_square_eg[piece][i] = eval_params.mateg[k] + eval_params.psteg[k][r];
    }
  }
}

}  // namespace kelmstrad
