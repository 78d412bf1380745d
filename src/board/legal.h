// Legal-move questions about the current position: the one place that
// generates both sets (tactical, then quiet) above the current stack top,
// scans them and sets the stack back.
#pragma once

#include <vector>

#include "board/movegen.h"
#include "board/position.h"

namespace kelmstrad {

// The first generated move (tactical set, then quiet) that `accept` takes,
// or 0; the move stack is set back to where it was.
template <typename Accept>
Move first_generated(Accept accept) {
  const uint16_t base = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  Move found = 0;
  for (int i = base; i < move_stack_len && found == 0; ++i)
    if (accept(move_stack[i])) found = move_stack[i];
  move_stack_len = base;
  return found;
}

// The legal moves of the side to move in generation order (make_move is told
// whether the side is in check, as the searches tell it); the position and
// the move stack are left as found.
std::vector<Move> legal_moves();

// The legal move whose UCI text is exactly `text`, or 0.
Move find_legal_move(const char* text);

// The missing king ("White has no king", "Black has no king"), or nullptr
// when both kings stand on the board: what the evaluation needs.
const char* missing_king_reason();

// Why the position cannot be searched safely (a missing king, a piece
// without a slot, which only an extra king gives, or the side not to move
// in check), or nullptr when it can. The check by which "position" refuses a
// FEN; the tools refuse positions by it too.
const char* unplayable_reason();

}  // namespace kelmstrad
