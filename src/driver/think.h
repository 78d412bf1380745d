// The think thread: one per "go". It builds the root bonuses, asks the book,
// deepens iteratively over the main search on the virtual clock, reports each
// finished iteration, and answers "bestmove" once the GUI may receive it.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "uci/tokens.h"

namespace kelmstrad {

extern int32_t search_root_top;       // history_top when the search started
extern int32_t completed_depth;       // depth of the last finished iteration
extern Move previous_iteration_best;  // best move after the previous iteration (TMODE rule)

// Think's root preparation: with ORC set, the root bonuses of the current
// position in root_terms and the scores rebuilt with them; clears the table
// unless KEEPTT keeps it. Nothing without ORC.
void prepare_root();

// Body of the search thread; clears `searching` as its last act.
void think();

// "go": computes the limits from the arguments and starts the search thread.
void cmd_go(TokenReader& args);

}  // namespace kelmstrad
