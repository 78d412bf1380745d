// Training positions from games in PGN, as the match runner writes them: each
// position out of check where an engine chose a quiet move (no capture, no
// promotion) and whose quiescence search returns its static evaluation,
// labelled with the game's result. Book moves (a move comment without a score
// "+0.25/12") and the positions before ply `skip` are left out.
#pragma once

#include <string>

namespace kelmstrad::tune {

struct PgnSummary {
  int games = 0;      // games with a result read
  int positions = 0;  // positions written
};

// Reads the PGN file and writes the data file (atomically); false with a
// message when the file cannot be read or a game holds an illegal move.
bool write_pgn_positions(const std::string& pgn_path, const std::string& out_path, int skip,
                         PgnSummary* summary, std::string* error);

}  // namespace kelmstrad::tune
