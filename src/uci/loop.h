// Start-up and the command loop.
//
// The main thread reads one line at a time and dispatches on its first token
// (tokens split on " \t\r\n"). While a search thread runs, only "stop",
// "ponderhit" and "isready" are handled beside it; any other command first
// stops and joins the search.
#pragma once

#include <cstdio>

namespace kelmstrad {

// The start-up sequence: environment defaults, cost table, tables, parameters,
// keys, depth guards, start position, unbuffered output, random state.
void startup();

// Carries out one input line; false when the line was "quit".
bool process_line(const char* line);

// Reads and carries out lines until "quit" or the end of input, joins any
// search thread and returns the exit status.
int command_loop(FILE* in);

}  // namespace kelmstrad
