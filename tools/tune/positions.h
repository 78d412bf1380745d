// Training positions from played games: every position in which an engine
// searched its move (book plies skipped), unless the side to move is in check,
// the move played captures or promotes, or the position is not quiet (its
// quiescence score differs from its static evaluation), labelled with the
// game's result from White's point of view.
// Line format: "<FEN, six fields> [r]" with r = 1.0, 0.5 or 0.0.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "pgn_games.h"

namespace kelmstrad::tune {

struct ExtractCounts {
  long games = 0;           // games whose positions were taken
  long skipped_games = 0;   // unfinished, or decided by a fault rather than the board
  long repeated_games = 0;  // the same start and moves as an earlier game
  long book = 0;            // positions of book plies
  long early = 0;           // before the first ply taken (extract_game's `skip`)
  long in_check = 0;
  long capture = 0;  // a capture or a promotion was played
  long not_quiet = 0;
  long kept = 0;
};

// Sets the search switches for the filters (quiescence without the table or
// the lazy stand pat). Call once after the engine's start-up.
void prepare_filters();

// True when the quiescence score of the engine's current position equals its
// static evaluation. The side to move must not be in check.
bool quiet_position();

// The label of a result tag: "1.0", "0.5", "0.0", or "" for "*".
const char* result_label(const std::string& result);

// Appends the kept positions of a game to `lines`; false with a message when
// a move cannot be played (the lines of that game are not appended). The
// positions before ply `skip` are left out. A game whose start and moves are
// in `seen` is skipped; each taken game is added.
bool extract_game(const PgnGame& game, int skip, std::set<std::string>* seen,
                  std::vector<std::string>* lines, ExtractCounts* counts, std::string* error);

}  // namespace kelmstrad::tune
