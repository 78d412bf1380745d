#include "board/make.h"

#include "eval/params.h"

namespace kelmstrad {

// Adds or removes one piece's share of the keys and the incremental scores.
void toggle_piece(Piece piece, Square square, bool adding) {
  const int i = square64(square);
  const int white = piece_side(piece) == WHITE;
  const int r = white ? i : (i ^ 56);
  const int k = piece_kind(piece);
  const uint32_t key = piece_keys[piece][i];
  position.hash ^= key;
  if (k == PAWN || k == KING) position.pawn_king_key ^= key;
  const int mg = eval_params.matmg[k] + root_terms[piece][i] + eval_params.pstmg[k][r];
  const int eg = eval_params.mateg[k] + eval_params.psteg[k][r];
  const bool plus = (adding == static_cast<bool>(white));
  position.mg_score = static_cast<int16_t>(plus ? position.mg_score + mg : position.mg_score - mg);
  position.eg_score = static_cast<int16_t>(plus ? position.eg_score + eg : position.eg_score - eg);
}

}  // namespace kelmstrad

namespace kelmstrad {

// Interim: moves are played once make and move text exist.
void play_position_moves(const char* const*, int) {}

}  // namespace kelmstrad
