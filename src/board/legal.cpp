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

}  // namespace kelmstrad
