// Start-up and the command loop.
//
// The main thread reads one line at a time and dispatches on its first token
// (tokens split on " \t\r\n"). While a search thread runs, only "stop",
// "ponderhit" and "isready" are handled beside it; any other command first
// stops and joins the search.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "uci/tokens.h"

namespace kelmstrad {

// Search-control flags shared with the search thread.
extern std::atomic<int> searching;       // a search was started and has not finished
extern std::atomic<int> stop_flag;       // the search must end
extern std::atomic<int> pondering;       // the search ponders
extern std::atomic<int> ponderhit;       // the opponent played the expected move
extern std::atomic<int> infinite;        // "go infinite": no own stop
extern std::atomic<int> real_time_mode;  // pace virtual time to real time
extern std::atomic<uint64_t> search_start_ticks;

extern ThreadHandle search_thread;  // the one search thread, if started
extern uint32_t random_state;       // seeds the book's random draws

// The start-up sequence: environment defaults, cost table, tables, parameters,
// keys, depth guards, start position, unbuffered output, random state.
void startup();

// Carries out one input line; false when the line was "quit".
bool process_line(const char* line);

// Reads and carries out lines until "quit" or the end of input, joins any
// search thread and returns the exit status.
int command_loop(FILE* in);

// Joins the search thread if one exists.
void join_search_thread();

// Forgets what earlier games taught the search ("ucinewgame"): the
// transposition table, history, corrections, the simulated pawn hash and the
// iteration rule's memory. The position stays.
void new_game();

}  // namespace kelmstrad
