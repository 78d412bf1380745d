#include "board/legal.h"

#include <cstring>

#include "board/attack.h"
#include "board/make.h"
#include "board/move.h"

namespace kelmstrad {

std::vector<Move> legal_moves() {
  const uint16_t base = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const std::vector<Move> candidates(move_stack + base, move_stack + move_stack_len);
  move_stack_len = base;
  const uint32_t check = in_check(position.side) ? 1 : 0;
  std::vector<Move> legal;
  for (Move m : candidates) {
    in_check_hint = check;
    if (make_move(m)) {
      unmake_move();
      legal.push_back(m);
    }
  }
  return legal;
}

Move find_legal_move(const char* text) {
  for (Move m : legal_moves())
    if (strcmp(move_to_text(m), text) == 0) return m;
  return 0;
}

const char* missing_king_reason() {
  if (king_square(WHITE) == NO_SQUARE) return "White has no king";
  if (king_square(BLACK) == NO_SQUARE) return "Black has no king";
  return nullptr;
}

// Counts the pieces on the board against the slots they hold.
const char* unplayable_reason() {
  int pieces = 0;
  int slots = 0;
  for (int sq = 0; sq < 128; ++sq)
    if (on_board(sq) && position.board[sq] != 0) ++pieces;
  for (uint8_t sq : position.slot_square)
    if (sq != NO_SQUARE) ++slots;
  if (const char* why = missing_king_reason()) return why;
  if (pieces != slots) return "a side has more than one king";
  const Side waiting = opponent(position.side);
  if (square_attacked(king_square(waiting), position.side))
    return "the side not to move is in check";
  return nullptr;
}

}  // namespace kelmstrad
