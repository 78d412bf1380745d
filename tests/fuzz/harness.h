// Shared set-up of the fuzz targets: the engine started once per process,
// output to a null sink, and the state every input starts from.
#pragma once

#include <string>
#include <vector>

#include "board/legal.h"
#include "board/position.h"

namespace kelmstrad::fuzz {

// Runs the start-up once and sends the output channel to /dev/null (to
// standard output when KELMSTRAD_FUZZ_OUTPUT is set).
void start_engine_once();

// Stops and joins any search, restores the option values and costs of a fresh
// process, sets the start position and clears the tables a new game clears,
// so that every input runs from the same state whatever ran before it.
void reset_engine();

using kelmstrad::legal_moves;  // the board's legal-move list

// The UCI texts of the legal moves of the current position.
std::vector<std::string> legal_move_texts();

}  // namespace kelmstrad::fuzz
