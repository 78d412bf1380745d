// Pseudo-legal move generation onto the shared move stack, in two sets:
// tactical (captures, en passant, queen promotions) and quiet (the rest,
// underpromotions and castling included).
#pragma once

#include "board/position.h"

namespace kelmstrad {

// Appends the moves of the chosen set at move_stack_len and charges GENT* or GENQ*.
void generate_moves(bool tactical);

}  // namespace kelmstrad
