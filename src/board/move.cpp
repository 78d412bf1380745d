#include "board/move.h"

#include <cstring>

#include "board/legal.h"

namespace kelmstrad {

namespace {

constexpr const char* PROMOTION_LETTERS = "qnrb";

// The text of the last conversion; valid until the next one.
char move_text[6];

}  // namespace

// Writes the move's UCI text into the shared buffer and returns it; the
// promotion letter depends on a pawn standing on the from-square now.
const char* move_to_text(Move move) {
  if (move == 0) {
    memcpy(move_text, "0000", 5);
    return move_text;
  }
  const int from = move_from(move);
  const int to = move_to(move);
  move_text[0] = static_cast<char>('a' + square_file(from));
  move_text[1] = static_cast<char>('1' + square_rank(from));
  move_text[2] = static_cast<char>('a' + square_file(to));
  move_text[3] = static_cast<char>('1' + square_rank(to));
  int length = 4;
  const bool last_rank = square_rank(to) == 0 || square_rank(to) == 7;
  if (piece_kind(position.board[from]) == PAWN && last_rank)
    move_text[length++] = PROMOTION_LETTERS[promo_index(move)];
  move_text[length] = '\0';
  return move_text;
}

// The first generated move (tactical set, then quiet set) whose text starts
// the given text, or 0; the move stack is left as it was.
Move parse_move_text(const char* text) {
  if (text == nullptr) return 0;
  return first_generated([text](Move m) {
    const char* candidate = move_to_text(m);
    return strncmp(candidate, text, strlen(candidate)) == 0;
  });
}

}  // namespace kelmstrad
