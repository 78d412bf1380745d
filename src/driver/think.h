// The think thread: one per "go". It builds the root bonuses, asks the book,
// deepens iteratively over the main search on the virtual clock, reports each
// finished iteration, and answers "bestmove" once the GUI may receive it.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "driver/limits.h"
#include "platform/platform.h"

namespace kelmstrad {

// Search-control flags shared with the search thread; those the time check
// reads (stop_flag, pondering, ponderhit, ...) are in clock/search_limits.h.
extern std::atomic<int> searching;  // a search was started and has not finished
extern std::atomic<int> infinite;   // "go infinite": no own stop

extern ThreadHandle search_thread;  // the one search thread, if started

extern int32_t completed_depth;       // depth of the last finished iteration
extern Move previous_iteration_best;  // best move after the previous iteration (TMODE rule)

// Think's root preparation: with ORC set, the root bonuses of the current
// position in root_terms and the scores rebuilt with them; clears the table
// unless KEEPTT keeps it. Nothing without ORC.
void prepare_root();

// Body of the search thread; clears `searching` as its last act.
void think();

// "go": installs the limits of the request and starts the search thread.
void start_search(const GoRequest& request);

// Joins the search thread if one exists.
void join_search_thread();

// Forgets what earlier games taught the search ("ucinewgame"): the
// transposition table, history and corrections. The position stays.
void new_game();

}  // namespace kelmstrad
