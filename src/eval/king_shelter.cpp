#include "eval/king_shelter.h"

#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pawns.h"

namespace kelmstrad {

// Walks the king's file and its neighbours; a side without a king gets no
// penalty (such a position never comes from a legal game).
int king_shelter(Side side, const int8_t* own_counts, const int8_t* enemy_counts) {
  int* counts = eval_features.shelter_counts[side_index(side)];
  for (int term = 1; term <= 5; ++term) counts[term] = 0;
  const int king = king_square(side);
  if (king == NO_SQUARE) return 0;
  const int forward = side == WHITE ? 16 : -16;
  const int king_file = square_file(king);
  const int king_rank = square_rank(king);
  const bool at_home = side == WHITE ? king_rank <= 1 : king_rank >= 6;
  const Piece own_pawn = static_cast<Piece>(side | PAWN);
  const int32_t* ksw = eval_params.ksw;
  int64_t sum = 0;
  for (int file = king_file - 1; file <= king_file + 1; ++file) {
    if (file < 0 || file > 7) continue;
    if (at_home) {
      const int one_ahead = king + forward + (file - king_file);
      if (position.board[one_ahead] != own_pawn) {
        const int term = position.board[one_ahead + forward] == own_pawn ? 1 : 2;
        ++counts[term];
        sum += ksw[term];
      }
    }
    if (own_counts[file + 1] == 0) {
      const int term = enemy_counts[file + 1] > 0 ? 3 : 4;
      ++counts[term];
      sum += ksw[term];
    }
  }
  if (!at_home) {
    counts[5] = 1;
    sum += ksw[5];
  }
  return static_cast<int32_t>(static_cast<uint32_t>(-sum));
}

}  // namespace kelmstrad
