// `tune pgn`: the training positions of match games, written as a data file.
// The reading is pgn_games.h's and the filters positions.h's (it says which
// positions are kept).
#pragma once

#include <string>

#include "positions.h"

namespace kelmstrad::tune {

// Reads the PGN file and writes the data file (atomically): a "#" line with
// the counts, then one "<FEN> [r]" line a position. False with a message when
// the file cannot be read or written, or holds malformed text or an illegal
// move (no file is written then).
bool write_pgn_positions(const std::string& pgn_path, const std::string& out_path, int skip,
                         ExtractCounts* counts, std::string* error);

}  // namespace kelmstrad::tune
